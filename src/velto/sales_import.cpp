#include "velto/sales_import.h"

#include <cerrno>
#include <string>

#include "lib/doc_layout.h"
#include "lib/editor.h"
#include "lib/fun1.h"
#include "lib/fun3.h"
#include "lib/readl.h"
#include "platform/context.h"
#include "platform/core/text.h"
#include "platform/os/file_handle.h"
#include "platform/os/files.h"
#include "platform/os/path.h"
#include "platform/screen/screen.h"
#include "platform/settings/settings.h"
#include "platform/xbase/field.h"
#include "platform/xbase/workareas.h"
#include "velto/period.h"
#include "velto/posting.h"
#include "velto/settlement.h"

using core::Value;

namespace {

constexpr size_t kCodeWidth = 13;

bool blank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

// Length without the trailing blanks.
size_t trimmedLength(std::string_view text) {
    size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? 0 : end + 1;
}

std::string twoDigits(int n) {
    return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

// The bar-code order keeps codes, and the warehouses of one code, in descending order: its key is the
// bar code and warehouse with every byte complemented.
std::string descend(std::string_view text) {
    std::string s(text);
    for (auto& c : s) c = static_cast<char>((256 - static_cast<unsigned char>(c)) % 256);
    return s;
}

// The recipe settlement belongs to the program file whose name carries VELTORTP; a copy or link under
// another name runs without it.
bool settlementProgram() {
    return core::contains(core::upperAscii(program_invocation_short_name), "VELTORTP");
}

// A number stored to the decimals of its field, rounded the way every stored value is.
void putNumber(xbase::Table& table, const xbase::Field& field, double value) {
    table.put(field, Value::ofNumber(NEWROUND(value, field.decimals)));
}

}  // namespace

std::optional<SaleLine> parseSaleLine(std::string_view line) {
    std::string_view rest = line.size() > 2 ? line.substr(2, 120) : std::string_view();
    std::string_view fields[4];
    for (auto& field : fields) {
        size_t semi = rest.find(';');
        if (semi == std::string_view::npos) return std::nullopt;
        field = rest.substr(0, semi);
        rest.remove_prefix(semi + 1);
    }
    SaleLine sale;
    sale.code = std::string(fields[0]);
    sale.value = core::readNumber(fields[2]) / 100;
    sale.quantity = core::readNumber(fields[3]) / 1000;
    return sale;
}

std::string salesArchiveName(const os::LocalTime& t) {
    return "VELTO_SD\\DATA_OUT" + std::to_string(t.year) + twoDigits(t.month) + twoDigits(t.day) + "_" +
           twoDigits(t.hour) + twoDigits(t.minute) + twoDigits(t.second) + ".OUT";
}

// --- One import -----------------------------------------------------------------------------------------

SalesImport::SalesImport(Context& ctx) : ctx_(ctx) {
    auto& s = *ctx.settings;
    barCodes_ = ctx.areas->table("as").hasField("KOD13");
    kod13Name_ = core::contains(core::upperAscii(s.text("J_NAZWA")), "KOD13");
    psMag_ = s.text("PS_MAG");
    psMagNo_ = s.text("PS_MAG_NO");
    auto& firma = ctx.areas->table("firma");
    std::string company = core::upperAscii(firma.get("NODB").text + firma.get("NODB1").text);
    weighed28_ = barCodes_ && !core::contains(company, "KOSTRAN") &&
                 (core::contains(company, "MELKO") || FILE_X("MELKO.TXT"));
}

// The tables a row comes from and goes to, their fields, and the settings that stay the same all through
// an import: looked up once rather than for every line.
struct SalesImport::Fields {
    using Field = xbase::Field;
    explicit Fields(Context& ctx)
        : as(ctx.areas->table("as")),
          dd(ctx.areas->table("dd")),
          sd(ctx.settings->text("M_SD")),
          date(ctx.settings->date("M_DATA")),
          asMag(as.fieldOf("MAG")),
          asIndeks(as.fieldOf("INDEKS")),
          asNazwa(as.fieldOf("NAZWA")),
          asJm(as.fieldOf("JM")),
          asCena0(as.fieldOf("CENA0")),
          asPodatek0(as.fieldOf("PODATEK0")),
          asSww(as.fieldOf("SWW")),
          asPkwiu(as.layout().field("PKWIU")),
          rd(dd.fieldOf("RD")),
          rp(dd.fieldOf("R_P")),
          sz(dd.fieldOf("S_Z")),
          nrd(dd.fieldOf("NRD")),
          data(dd.fieldOf("DATA")),
          mag(dd.fieldOf("MAG")),
          lp(dd.fieldOf("LP")),
          kto(dd.fieldOf("KTO")),
          indeks(dd.fieldOf("INDEKS")),
          nazwa(dd.fieldOf("NAZWA")),
          jm(dd.fieldOf("JM")),
          cena0(dd.fieldOf("CENA0")),
          podatek0(dd.fieldOf("PODATEK0")),
          sww(dd.fieldOf("SWW")),
          cena(dd.fieldOf("CENA")),
          nb(dd.fieldOf("NB")),
          ilosc(dd.fieldOf("ILOSC")),
          wartosc(dd.fieldOf("WARTOSC")),
          podatek(dd.fieldOf("PODATEK")),
          brutto(dd.fieldOf("BRUTTO")),
          pkwiu(asPkwiu ? dd.layout().field("PKWIU") : nullptr) {}
    xbase::Table &as, &dd;
    const std::string sd;
    const core::Date date;
    const Field &asMag, &asIndeks, &asNazwa, &asJm, &asCena0, &asPodatek0, &asSww;
    const Field* asPkwiu;
    const Field &rd, &rp, &sz, &nrd, &data, &mag, &lp, &kto, &indeks, &nazwa, &jm, &cena0, &podatek0, &sww;
    const Field &cena, &nb, &ilosc, &wartosc, &podatek, &brutto;
    const Field* pkwiu;  // only when both tables have it
};

const SalesImport::Fields& SalesImport::fields() {
    if (!fields_) fields_ = std::make_unique<Fields>(ctx_);
    return *fields_;
}

SalesImport::~SalesImport() {
    closePrintout();
}

std::string SalesImport::lookupCode(std::string_view plu) const {
    std::string code(plu);
    if (code.size() < kCodeWidth) code.resize(kCodeWidth, ' ');
    // Weighed goods: the register knows them by five characters, the goods table by "28" before them.
    if (weighed28_ && trimmedLength(code) == 5) code = ("28" + code).substr(0, kCodeWidth);
    return code;
}

bool SalesImport::findGoods(const std::string& code) {
    auto& as = ctx_.areas->table("as");
    // An empty code would find whichever article has no bar code; a code longer than the bar code
    // cannot be one.
    if (blank(code) || trimmedLength(code) > kCodeWidth) return false;
    if (!barCodes_) {
        std::string mag = blank(psMag_) ? "1" : psMag_;
        return as.seekKey(mag + code.substr(0, 8), false);
    }
    if (kod13Name_ && !blank(psMag_)) return as.seekKey(descend(code + psMag_), false);
    if (!as.seekKey(descend(code), false)) return false;
    if (!kod13Name_ || blank(psMagNo_)) return true;
    // The first record of this bar code outside the warehouse to be left out.
    for (; !as.eof() && as.get("KOD13").text == code; as.skip(1))
        if (as.get("MAG").text != psMagNo_) return true;
    return false;
}

void SalesImport::openPrintout() {
    closePrintout();
    printout_ = std::fopen(os::resolve(ctx_.settings->text("PLIK")).c_str(), "wb");
}

void SalesImport::closePrintout() {
    if (printout_) std::fclose(printout_);
    printout_ = nullptr;
}

bool SalesImport::ADD_WIERSZ(std::string_view line) {
    std::optional<SaleLine> sale = parseSaleLine(line);
    if (!sale) return false;
    if (!findGoods(lookupCode(sale->code))) {
        if (printout_) {
            std::fwrite(line.data(), 1, line.size(), printout_);
            std::fputs("\r\n", printout_);
        }
        unmatched_ = true;
        return false;
    }
    const Fields& f = fields();
    xbase::Table &as = f.as, &dd = f.dd;
    // The goods record is read before the row is appended: moving the scratch table moves the goods table.
    std::string mag = as.get(f.asMag).text;
    Value indeks = as.get(f.asIndeks), nazwa = as.get(f.asNazwa), jm = as.get(f.asJm),
          cena0 = as.get(f.asCena0);
    Value podatek0 = as.get(f.asPodatek0), sww = as.get(f.asSww);
    std::optional<Value> pkwiu;
    if (f.pkwiu) pkwiu = as.get(*f.asPkwiu);
    double rate = core::readNumber(podatek0.text);  // "ZW" and "NP" read as 0
    double vat = rate + 100 == 0 ? 0 : sale->value * rate / (rate + 100);
    double price = sale->quantity == 0 ? 0 : sale->value / sale->quantity;

    ++rows_;
    goods_.push_back(as.recno());
    auto& settings = *ctx_.settings;
    const std::string lp = xbase::formatNumber(rows_, 3, 0);
    settings.set("M_MAG", Value::ofText(mag));
    settings.set("M_INDEKS", indeks);
    settings.set("P1", Value::ofText(lp));
    dd.appendBlank();
    dd.put(f.rd, Value::ofText(f.sd));
    dd.put(f.rp, Value::ofText("R"));
    dd.put(f.sz, Value::ofText("S"));
    dd.put(f.nrd, Value::ofText(nrd_));
    dd.put(f.data, Value::ofDate(f.date));
    dd.put(f.mag, Value::ofText(mag));
    dd.put(f.lp, Value::ofText(lp));
    dd.put(f.kto, Value::ofText("O"));
    dd.put(f.indeks, indeks);
    dd.put(f.nazwa, nazwa);
    dd.put(f.jm, jm);
    putNumber(dd, f.cena0, cena0.number);
    dd.put(f.podatek0, podatek0);
    dd.put(f.sww, sww);
    putNumber(dd, f.cena, price);
    dd.put(f.nb, Value::ofText("B"));
    putNumber(dd, f.ilosc, sale->quantity);
    putNumber(dd, f.wartosc, sale->value);
    putNumber(dd, f.podatek, vat);
    putNumber(dd, f.brutto, sale->value);
    if (pkwiu) dd.put(*f.pkwiu, *pkwiu);
    return true;
}

// --- The import ---------------------------------------------------------------------------------------

bool ZROB_SD_ZETO(Context& ctx, std::string_view file) {
    Procedure proc(ctx, "ZROB_SD_ZETO");
    if (!os::directoryExists("VELTO_SD")) os::makeDirectory("VELTO_SD");
    if (os::exists(file)) os::copy(file, salesArchiveName(ctx.clock->now()));
    os::FileHandle report;
    if (!report.open(file)) return false;
    bool result = ZETO_SD(ctx, report, report.size());
    report.close();
    ctx.screen->setColour("");
    return result;
}

bool ZETO_SD(Context& ctx, os::FileHandle& file, int64_t size) {
    Procedure proc(ctx, "ZETO_SD");
    auto& s = *ctx.settings;
    auto& areas = *ctx.areas;
    auto& as = areas.table("as");
    auto& dd = areas.table("dd");
    auto& slow = areas.table("slow");

    const std::string sd = s.text("M_SD");
    const std::string psMag = s.text("PS_MAG");
    s.set("M_RD", Value::ofText(sd));
    s.set("M_SPZ", Value::ofText("G"));
    s.set("M_MAG", Value::ofText(blank(psMag) ? "1" : psMag));
    s.set("P1", Value::ofText("0"));
    SalesImport import(ctx);
    if (as.hasField("KOD13")) as.setOrder(2);
    as.goTop();

    if (slow.order() == 0) slow.setOrder(1);
    if (!slow.seek(Value::ofText(sd), false)) {
        OKNO_(ctx, "Brak w parametrach dowodu " + sd);
        as.setOrder(1);
        as.goTop();
        return false;
    }
    std::string nrd = firstFreeNumber(ctx, sd, slow.get("NRD").number + 1);
    s.set("M_NRD", Value::ofText(nrd));
    import.setDocumentNumber(nrd);
    dd.zap();
    // The scratch table's relation would search the goods table at every move of the scratch table; the
    // import and the posting find the goods records themselves, and the relation is back afterwards.
    dd.clearRelations();
    auto restoreRelation = [&] {
        if (!dd.hasField("SPZ")) dd.setRelation(as, std::string(kBasicRowKey));
    };

    file.seek(0);
    import.openPrintout();
    while (file.position() < size) {
        std::string line = FREADLINE(file);
        if (!line.empty()) import.ADD_WIERSZ(line);
    }
    import.closePrintout();
    as.setOrder(1);
    as.goTop();

    s.set("M_WPLATA", Value::ofNumber(JAKA_ZETO(ctx)));
    if (import.rows() == 0) restoreRelation();
    if (import.rows() > 0) {
        REP_DOW_ZETO(ctx, &import.goodsRecords());
        restoreRelation();
        auto* velto = areas.find("velto");
        std::string description = velto ? velto->get("POPIS").text : std::string();
        if (core::contains(core::upperAscii(description), "[RTP]") && settlementProgram()) ROZLICZ_RTP(ctx);
        areas.table("dd").goTop();
    }
    if (import.anyUnmatched()) {
        OKNO_(ctx, "ZOBACZ >> Edytor wydrukow << !!!");
        MEDIT(ctx, s.text("PLIK"));
    }
    return true;
}

double JAKA_ZETO(Context& ctx) {
    auto& dd = ctx.areas->table("dd");
    double total = 0;
    for (dd.goTop(); !dd.eof(); dd.skip(1)) total += dd.get("BRUTTO").number;
    dd.goTop();
    return total;
}
