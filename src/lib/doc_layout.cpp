#include "lib/doc_layout.h"

#include "lib/fun3.h"
#include "platform/context.h"
#include "platform/core/text.h"
#include "platform/settings/settings.h"

namespace {

}  // namespace

const std::vector<xbase::Field>& basicRowFields() {
    static const std::vector<xbase::Field> fields{
        {"R_P", 'C', 1, 0},     {"S_Z", 'C', 1, 0},      {"RD", 'C', 3, 0},       {"NRD", 'C', 8, 0},
        {"DATA", 'D', 8, 0},    {"MAG", 'C', 1, 0},      {"LP", 'C', 3, 0},       {"KTO", 'C', 1, 0},
        {"ODB", 'C', 8, 0},     {"INDEKS", 'C', 8, 0},   {"NAZWA", 'C', 30, 0},   {"JM", 'C', 3, 0},
        {"UPUST0", 'N', 4, 1},  {"CENA0", 'N', 14, 4},   {"CENA", 'N', 14, 4},    {"NB", 'C', 1, 0},
        {"ILOSC", 'N', 15, 3},  {"WARTOSC", 'N', 14, 2}, {"PODATEK0", 'C', 2, 0}, {"PODATEK", 'N', 14, 4},
        {"BRUTTO", 'N', 16, 2}, {"SWW", 'C', 8, 0},      {"PKWIU", 'C', 10, 0},   {"CENA_N", 'N', 14, 2},
    };
    return fields;
}

std::vector<xbase::Field> extendedRowFields() {
    std::vector<xbase::Field> f;
    auto add = [&](const char* name, char type, int length, int decimals = 0) {
        f.push_back({name, type, length, decimals});
    };
    add("R_P", 'C', 1);
    add("S_Z", 'C', 1);
    add("RD", 'C', 3);
    add("NRD", 'C', 8);
    add("DATA", 'D', 8);
    add("MAG", 'C', 1);
    add("LP", 'C', 3);
    add("KTO", 'C', 1);
    add("ODB", 'C', 8);
    add("SPZ", 'C', 1);
    add("TEZ", 'N', 4);
    add("INDEKS", 'C', 8);
    add("NAZWA", 'C', 30);
    if (FILE_X("NAZWA46.TXT")) add("NAZWA1", 'C', 16);
    add("NAZWA_EX", 'C', 30);
    add("KOD_CN", 'C', 10);
    add("JM", 'C', 3);
    add("UPUST_01", 'N', 5, 1);
    add("UPUST0", 'N', 5, 1);
    add("CENA0", 'N', 16, 6);
    add("CENA", 'N', 16, 6);
    add("NB", 'C', 1);
    add("ILOSC", 'N', 14, 3);
    add("ILOSC_OPA", 'N', 14, 3);
    add("WARTOSC", 'N', 18, 2);
    add("PODATEK0", 'C', FILE_X("VAT_13_5.TXT") ? 4 : 2);
    add("PODATEK", 'N', 14, 2);
    add("BRUTTO", 'N', 18, 2);
    add("ILOSC_WZ", 'N', 14, 3);
    add("FE_CENA", 'N', 12, 2);
    add("FE_WAL", 'C', 3);
    add("FE_KURS", 'N', 12, 6);
    add("FE_NETTO", 'N', 12, 2);
    add("KOMU", 'C', 1);
    add("SWW", 'C', 8);
    add("PKWIU", 'C', 10);
    add("DOLAR_I", 'N', 14, 2);
    add("NR", 'C', 1);
    add("TRESC", 'C', 17);
    add("KOREKTA", 'N', 14, 3);
    add("FISKALNA", 'C', 1);
    add("KOD13", 'C', 13);
    add("DOST", 'C', 8);
    add("CENNIK", 'C', 1);
    add("T_W_O_K", 'C', 8);
    add("PODGRUPA", 'C', 8);
    add("PRODUCENT", 'C', 10);
    if (FILE_X("TREPIN.TXT") || FILE_X("NR_SERII.TXT")) add("NR_SERII", 'C', 13);
    if (FILE_X("NRPARTII.TXT")) add("NRPARTII", 'C', 30);
    if (FILE_X("UWAGI.DOW")) add("UWAGI", 'C', 50);
    if (FILE_X("INDEKS1.TXT")) {
        add("MAG1", 'C', 1);
        add("INDEKS1", 'C', 8);
    }
    if (FILE_X("PROWIZJA.TXT")) add("PROWIZJA", 'N', 10, 2);
    if (FILE_X("DD_WAGA.TXT")) {
        add("ATRYBUT", 'C', 8);
        add("WARTOSC0", 'N', 18, 2);
    }
    add("WAGA", 'N', 10, 3);
    add("ILOSC_EDI", 'N', 14, 3);
    add("CENA_EDI", 'N', 16, 6);
    add("JM_EDI", 'C', 3);
    add("OD_DNIA", 'D', 8);
    add("DO_DNIA", 'D', 8);
    add("CENA_PZ", 'N', 16, 6);
    add("CENAM", 'N', 14, 2);
    add("CENA_N", 'N', 14, 2);
    add("CENA_B", 'N', 14, 2);
    add("CENA2_OLD", 'N', 14, 2);
    add("CENA2_NEW", 'N', 14, 2);
    return f;
}

std::string structureText(std::string_view path, const std::vector<xbase::Field>& fields) {
    std::string text(path);
    for (const auto& f : fields)
        text += "," + f.name + "," + f.type + "," + std::to_string(f.length) + "," + std::to_string(f.decimals);
    return text;
}

std::string extendedRowKey(Context& ctx, std::string_view nodb, std::string_view nodb1) {
    const std::string priced = "mag+indeks+STR(cena,10,2)+lp";
    std::string name = core::upperAscii(nodb), both = core::upperAscii(std::string(nodb) + std::string(nodb1));
    if (core::contains(name, "RVT")) return priced;
    if (core::contains(both, "SOLDINE")) return priced;
    if (FILE_X("PESKU.TXT") || FILE_X("TYNEX.TXT")) return priced;
    if (core::contains(name, "BUT")) return priced;
    // J_RABAT_AS comes only from a parameter file written by the stock-keeping system; without it the
    // condition does not hold.
    if (ctx.settings->exists("J_RABAT_AS") && ctx.settings->get("J_RABAT_AS").isText() &&
        ctx.settings->text("J_RABAT_AS") == "N")
        return priced;
    if (FILE_X("DD_CENA.TXT")) return priced;
    return "mag+indeks+lp";
}
