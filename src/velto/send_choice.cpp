#include "velto/send_choice.h"

#include "platform/context.h"
#include "platform/core/text.h"
#include "platform/settings/settings.h"
#include "platform/xbase/field.h"

namespace {

bool blank(std::string_view s) {
    return s.find_first_not_of(' ') == std::string_view::npos;
}

}  // namespace

SendChoice readSendChoice(Context& ctx) {
    auto& s = *ctx.settings;
    SendChoice c;
    c.rd = s.text("M_RD");
    c.magazyn = core::trimBlanks(s.text("M_MAGAZYN"));
    c.onlyInStock = s.text("JEST_ILOSC") == "T";
    const std::string& zn = s.text("M_ZN");
    c.fromLetter = zn.empty() ? ' ' : zn[0];
    c.level = static_cast<int>(s.number("M_POZIOM"));
    c.kasa = s.text("NR_KASY");
    c.magK = s.text("J_MAG_K");
    c.magU = s.text("J_MAG_U");
    return c;
}

GoodsView::GoodsView(const xbase::Layout& layout)
    : mag(layout.field("MAG")),
      indeks(layout.field("INDEKS")),
      nazwa(layout.field("NAZWA")),
      kod13(layout.field("KOD13")),
      ilosc(layout.field("ILOSC")),
      cena2(layout.field("CENA2")),
      rdPz(layout.field("RD_PZ")),
      nrdPz(layout.field("NRD_PZ")),
      dataPz(layout.field("DATA_PZ")) {}

std::string_view GoodsView::text(const xbase::Field* f, const char* record) const {
    return f ? std::string_view(record + f->offset, static_cast<size_t>(f->length)) : std::string_view();
}

double GoodsView::number(const xbase::Field* f, const char* record) const {
    return core::readNumber(text(f, record));
}

std::string_view GoodsView::registryCode(const char* record) const {
    return text(kod13 ? kod13 : indeks, record);
}

bool articleWanted(const SendChoice& choice, const GoodsView& goods, const char* record) {
    if (choice.onlyInStock && goods.number(goods.ilosc, record) <= 0) return false;
    std::string_view mag = goods.text(goods.mag, record);
    if (!choice.magazyn.empty() && choice.magazyn.find(mag) == std::string::npos) return false;
    if (mag == choice.magK || choice.magU.find(mag) != std::string::npos) return false;
    std::string_view name = goods.text(goods.nazwa, record);
    if (blank(name)) return false;
    if (choice.fromLetter != ' ' &&
        static_cast<unsigned char>(name[0]) < static_cast<unsigned char>(choice.fromLetter))
        return false;
    return true;
}

SinceDate sinceDate(const SendChoice& choice, const GoodsView& goods, const char* record) {
    if (choice.since.empty() || !goods.rdPz || !goods.nrdPz || !goods.dataPz) return SinceDate::Off;
    if (!blank(choice.rd) && goods.text(goods.rdPz, record) != choice.rd) return SinceDate::Skip;
    core::Date received = core::Date::fromDtos(goods.text(goods.dataPz, record));
    if (received.empty() || received < choice.since) return SinceDate::Skip;
    return SinceDate::Pass;
}
