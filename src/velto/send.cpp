#include "velto/send.h"

#include <algorithm>

#include "lib/fun1.h"
#include "platform/context.h"
#include "platform/core/cp852.h"
#include "platform/core/error.h"
#include "platform/core/text.h"
#include "platform/os/path.h"
#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"
#include "platform/settings/settings.h"
#include "platform/ui/form.h"
#include "platform/xbase/dbf.h"
#include "platform/xbase/workareas.h"
#include "velto/exchange.h"
#include "velto/flows.h"
#include "velto/plu.h"
#include "velto/plu_registry.h"
#include "velto/send_choice.h"
#include "velto/send_copies.h"
#include "velto/send_documents.h"
#include "velto/send_exchange.h"

using namespace core::literals;
using core::Value;

namespace {

constexpr uint32_t kBlock = 1024;  // records per read

bool blank(std::string_view s) {
    return s.find_first_not_of(' ') == std::string_view::npos;
}

std::string pad(std::string_view s, size_t width) {
    std::string out(s);
    out.resize(width, ' ');
    return out;
}

// The selected register's description, as the register table's current row holds it.
std::string registerDescription(Context& ctx) {
    if (auto* velto = ctx.areas->find("velto")) return velto->get("POPIS").text;
    return ctx.settings->exists("OPIS") ? ctx.settings->text("OPIS") : std::string();
}

// The dialog over the main menu. False after Esc.
bool sendDialog(Context& ctx) {
    auto& scr = *ctx.screen;
    auto& s = *ctx.settings;
    const bool kod13 = s.logical("JEST_KOD13");
    const int levels = static_cast<int>(s.number("J_POZIOM"));
    scr.setCursorVisible(true);

    ui::Form form(ctx);
    scr.say(5, 10, std::string(51, ' '));
    scr.say(5, 10, "Rd:");
    form.field(5, 14, ui::bindSetting(s, "M_RD"), "!!!").valid([&] { return FUN_RD(ctx, form); });
    scr.say(5, 19, "Nrd:");
    form.field(5, 24, ui::bindSetting(s, "M_NRD"), std::string(37, '!'));
    scr.say(5, 62, "od znaku:");
    form.field(5, 72, ui::bindSetting(s, "M_ZN"), "!");

    scr.say(7, 10, pad(" 1. Przesłanie danych do kasy"_cp, 50));
    const std::string psMag = s.text("PS_MAG");
    if (kod13) {
        if (blank(s.text("M_MAGAZYN"))) s.set("M_MAGAZYN", Value::ofText(pad(psMag, 10)));
        scr.say(7, 10, " 1. Przesłanie danych do kasy z magazynu"_cp);
        form.field(7, 51, ui::bindSetting(s, "M_MAGAZYN"), std::string(10, '!'));
    } else {
        s.set("M_MAGAZYN", Value::ofText(blank(psMag) ? std::string("123456789") : pad(psMag, 10)));
    }
    scr.say(8, 10, " 2. Wyslac tylko wtedy gdy ilosc > 0    ");
    form.field(8, 51, ui::bindSetting(s, "JEST_ILOSC"), "!").valid([&] {
        const std::string& v = s.text("JEST_ILOSC");
        return v == "T" || v == "N";
    });
    if (levels > 1) {
        scr.say(10, 10, " 3. Z ktorego poziomu cen sprzedazy ?   ");
        form.field(10, 51, ui::bindSetting(s, "M_POZIOM"), "9");
        scr.say(11, 10, std::string(50, ' '));
        scr.say(11, 10, "    0,1 - najwyzszy,  " + xbase::formatNumber(levels, 1, 0) + " - najnizszy");
    }
    // The cursor starts past the document fields; the operator reaches them by moving up.
    for (int i = 0; i < 3; ++i) ctx.keyboard->push(screen::key::Enter);
    bool done = form.read();
    scr.setCursorVisible(false);
    return done;
}

}  // namespace

bool FUN_RD(Context& ctx, ui::Form& form) {
    const std::string& rd = ctx.settings->text("M_RD");
    if (blank(rd)) return false;
    if (rd == "GZ ") form.finish();
    return true;
}

NrdField readNrd(std::string_view nrd) {
    NrdField f;
    std::string_view typed = nrd.substr(0, nrd.find_last_not_of(' ') + 1);
    if (typed.size() == 10 && typed[2] == '.' && typed[5] == '.') {
        f.isDate = true;
        f.since = core::Date::fromDisplay(typed);
        return f;
    }
    if (blank(nrd)) return f;
    f.documents = "," + core::trimBlanks(nrd) + ",";
    for (char& c : f.documents)
        if (std::string_view(" .;/\\:|").find(c) != std::string_view::npos) c = ',';
    return f;
}

std::string missingRatesMessage(const std::vector<std::string>& missing) {
    std::string letters;
    for (const auto& name : missing) {
        if (!letters.empty()) letters += ",";
        letters += name.substr(5);
    }
    return "Brak stawek VAT (J_PTU): " + letters;
}

void Progress::RYSUNEK(Context& ctx, uint32_t recno, uint32_t count) {
    if (count == 0) return;
    // The share in hundredths, rounded half up as STR() rounds it, and the bar of whole 35ths.
    const uint64_t r = recno, c = count;
    std::string percent = std::to_string((200 * r + c) / (2 * c)) + "% ";
    int bar = static_cast<int>(35 * r / c);
    if (percent == percent_ && bar == bar_) return;
    auto& scr = *ctx.screen;
    screen::Screen::Batch batch(scr);
    if (percent != percent_) scr.say(17, 33, percent);
    if (bar != bar_) {
        std::string cells;
        for (int i = 0; i < bar; ++i) cells += "█"_cp;
        scr.say(18, 33, cells);
    }
    percent_ = percent;
    bar_ = bar;
}

bool sendFromGoodsTable(Context& ctx, Sending& sending) {
    auto& goods = ctx.areas->table("as");
    const int station = static_cast<int>(ctx.settings->number("STACJA"));
    WorkingCopies copies = makeWorkingCopies(ctx, goods, sending.rules.longForm, station);

    ctx.screen->clear();
    OKNO_(ctx, "Tworze plik ....", "...");
    ExchangeWriter out(ctx, false);
    out.write(kRequestPlu);

    std::string file = copies.sorted + ".dbf";
    auto ass = xbase::DbfFile::open(os::resolve(file), xbase::SharedFile::Mode::Exclusive, file);
    if (!ass) throw core::RuntimeError(core::RuntimeError::Kind::Other, "working copy held elsewhere", file);
    const size_t rl = static_cast<size_t>(ass->recordLength());
    const SendChoice& choice = sending.choice;
    const GoodsView& view = sending.goods;
    std::string lastCode;  // lasts for the whole run
    uint32_t written = 0;
    Progress progress;
    std::vector<char> block(kBlock * rl);
    for (uint32_t from = 1; from <= copies.records; from += kBlock) {
        uint32_t n = std::min(kBlock, copies.records - from + 1);
        ass->readRecords(from, n, block.data());
        for (uint32_t i = 0; i < n; ++i) {
            const char* record = block.data() + i * rl;
            progress.RYSUNEK(ctx, from + i, copies.records);
            if (view.number(view.cena2, record) <= 0) continue;
            if (!articleWanted(choice, view, record)) continue;
            SinceDate since = sinceDate(choice, view, record);
            if (since == SinceDate::Skip) continue;
            std::string plu = pluRecord(sending.rules, record, choice.level, lastCode);
            if (plu.empty()) continue;
            auto change = sending.registry.remember(choice.kasa, view.registryCode(record), plu);
            if (change == PluRegistry::Change::Same && since != SinceDate::Pass) continue;
            out.write(plu);
            ++written;
        }
    }
    out.close();
    sending.registry.close();
    ass.reset();
    goods.setOrder(1);
    goods.goTop();
    OKNO_(ctx, "W pliku jest " + xbase::formatNumber(written, 4, 0) + " pozycji", 3);
    return true;
}

bool TWORZ_U(Context& ctx) {
    Procedure proc(ctx, "TWORZ_U");
    auto& s = *ctx.settings;
    xbase::Table& goods = ctx.areas->table("as");
    const std::string description = registerDescription(ctx);
    // Without the tax rates no record can be built: say which are missing rather than send nothing.
    PluRules rules = pluRules(ctx, goods, description, true);
    if (!rules.missingRates.empty()) {
        OKNO_(ctx, missingRatesMessage(rules.missingRates), 3);
        return false;
    }

    s.declarePrivate("M_RD", Value::ofText("PZ "));
    s.declarePrivate("M_NRD", Value::ofText(std::string(37, ' ')));
    s.declarePrivate("M_ZN", Value::ofText(" "));
    s.declarePrivate("JEST_ILOSC", Value::ofText("N"));
    s.declarePrivate("M_POZIOM", Value::ofNumber(0, 1));
    if (!sendDialog(ctx)) return false;

    if (s.logical("JEST_KOD13")) {
        std::string magazyn = core::trimBlanks(s.text("M_MAGAZYN"));
        std::string question = magazyn.empty() ? std::string("Na pewno z wszystkich magazynow")
                                               : "Na pewno z magazynu " + magazyn;
        if (!OKNO(ctx, question, "T")) return false;
    }
    NrdField nrd = readNrd(s.text("M_NRD"));
    if (nrd.isDate) s.set("M_NRD", Value::ofText(std::string(37, ' ')));

    auto registry = PluRegistry::open(ctx, goods.recordCount());
    if (!registry) return false;
    Sending sending{readSendChoice(ctx), rules, GoodsView(goods.layout()), *registry};
    sending.choice.since = nrd.since;
    bool result;
    if (s.text("M_RD") == "GZ ") {
        sending.rules = pluRules(ctx, goods, description, false);
        result = GAZETKA1(ctx, sending);
    } else if (!nrd.documents.empty()) {
        sending.rules = pluRules(ctx, goods, description, false);
        result = VELTO_PZ(ctx, sending, nrd.documents);
    } else {
        result = sendFromGoodsTable(ctx, sending);
    }
    registry->close();
    return result;
}
