#include "velto/public_settings.h"

#include <string>

#include "platform/core/cp852.h"
#include "platform/settings/settings.h"

using namespace core::literals;
using core::Value;

namespace {

const char* const kTextN[] = {
    "J_ZW_D",     "J_DRUKARKA", "J_PODATEK",  "J_ZAKUPU",   "J_UPUST",    "J_KOREKTA_", "J_SREDNIA_", "J_FA_SORT",
    "J_AUTOMAT",  "J_KANTY",    "J_AUTO_ZAP", "J_FILTR",    "J_REJ_NETT", "J_CENA_BRU", "J_ATEST_DR", "J_OPA_DRUK",
    "J_PZ",       "J_1_KOMPUT", "J_ZM_INDEK", "J_DRU_RABA", "J_RABAT_ZB", "J_EJECT",    "J_MOD_OPA",  "J_DRUK_IND",
    "J_NEC1",     "J_NEC2",     "J_ZLE_UZGO", "J_DOP_UJEM", "J_BEZ_VIEW",
};
const char* const kTextT[] = {
    "J_INF_UJEM", "J_ORYGINAL", "J_WALUTA",   "J_UZGADNIA", "J_ATEST", "J_BOGATY_R", "J_CENA_SR",  "J_DOW1_MAG",
    "J_OPA_OPA",  "J_TOCZ_KAS", "J_SPECYFIK", "J_SD_RAZEM", "J_NOWE_STA", "J_KOD13ZN", "J_KOLOR", "J_SD_Z1MAG",
};
struct Blank {
    const char* name;
    int length;
};
const Blank kBlanks[] = {
    {"J_RAPORTY", 60}, {"J_ARCHIWUM", 60}, {"J_FRIMA1", 35}, {"J_FRIMA2", 35}, {"J_FF2", 29},
    {"J_KP_R", 25},    {"J_POMINAC", 20},  {"J_FOLDER", 12}, {"J_FV_SYMBO", 3},
};
struct Text {
    const char* name;
    std::string_view value;
};
const Text kTexts[] = {
    {"J_NAZWA", " OBSŁUGA KLOVARNI "_cp},
    {"J_DAT_OPE", "01/01/94"},
    {"J_TIM_OPE", "07:34:00"},
    {"J_VAT", "23"},
    {"J_XKW", "KW "},
    {"J_XKP", "KP "},
    {"J_RD", "FV "},
    {"J_SD", "SD "},
    {"J_MAG_GLOW", "1"},
    {"J_OPA", "OPA"},
    {"J_MAG_K", "K"},
    {"J_MAG_U", "U "},
    {"J_MAG_UU", "U "},
    {"J_NAPED", "A"},
    {"J_GDZIE", "A"},
};
struct Number {
    const char* name;
    double value;
};
const Number kNumbers[] = {{"J_PP", 1}, {"J_POZIOM", 1}, {"J_PAPIER", 10}, {"J_NEC_M1", 0}, {"J_NEC_M2", 0}};

// Document working fields: filled by the booking flows before they read them.
const char* const kWorkingFalse[] = {
    "M_NRD",   "M_NODB",  "M_REGON", "M_ODBIORCA", "M_KTO",      "M_SPZ", "M_TEZ", "M_WPLATA", "M_PODATEK",
    "M_MAG",   "M_INDEKS", "M_NAZWA", "M_ILOSC",   "M_WARTOSC", "M_PP",  "M_PP0", "C_PP0",    "M0_WARTOSC",
    "M_NB",    "P1",      "P4",      "P5",
};

}  // namespace

void createPublicSettings(settings::Settings& s, core::Date today) {
    for (const char* name : kTextN) s.declarePublic(name, Value::ofText("N"));
    for (const char* name : kTextT) s.declarePublic(name, Value::ofText("T"));
    for (const auto& b : kBlanks) s.declarePublic(b.name, Value::ofText(std::string(static_cast<size_t>(b.length), ' ')));
    for (const auto& t : kTexts) s.declarePublic(t.name, Value::ofText(std::string(t.value)));
    for (const auto& n : kNumbers) s.declarePublic(n.name, Value::ofNumber(n.value));
    s.declarePublic("J_ZAOKRAGL", Value::ofLogical(false));

    s.declarePublic("STACJA", Value::ofNumber(0));
    s.declarePublic("HH", Value::ofText(""));
    s.declarePublic("PLIK", Value::ofText(""));
    s.declarePublic("M_SD", Value::ofText("SD "));
    s.declarePublic("M_DATA", Value::ofDate(today));
    s.declarePublic("JEST_KOD13", Value::ofLogical(true));
    s.declarePublic("M_ZN", Value::ofText(" "));
    s.declarePublic("M_NR", Value::ofText(" "));
    s.declarePublic("M_DRUKARKA", Value::ofText("EPSON"));

    s.declarePublic("M_RD", Value::ofText("   "));
    s.declarePublic("M_ODB", Value::ofText(std::string(8, ' ')));
    s.declarePublic("M_RESZTA", Value::ofNumber(0));
    for (const char* name : kWorkingFalse) s.declarePublic(name);
}
