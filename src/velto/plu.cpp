#include "velto/plu.h"

#include <cmath>

#include "lib/fun3.h"
#include "platform/context.h"
#include "platform/core/text.h"
#include "platform/settings/settings.h"
#include "platform/xbase/workareas.h"
#include "velto/period.h"

namespace {

std::string_view raw(const xbase::Field* f, const char* record) {
    return f ? std::string_view(record + f->offset, static_cast<size_t>(f->length)) : std::string_view();
}

double number(const xbase::Field* f, const char* record) { return f ? core::readNumber(raw(f, record)) : 0; }

// The letter each Polish letter folds to, for code page 852 and Mazovia bytes alike.
struct FoldTable {
    std::array<char, 256> to{};
    FoldTable() {
        for (int b = 0; b < 256; ++b) to[static_cast<size_t>(b)] = static_cast<char>(b);
        auto set = [&](std::initializer_list<int> bytes, char letter) {
            for (int b : bytes) to[static_cast<size_t>(b)] = letter;
        };
        set({164, 165}, 'A');
        set({134, 141, 143, 149}, 'C');
        set({144, 145, 168, 169}, 'E');
        set({136, 146, 156, 157}, 'L');
        set({227, 228}, 'N');
        set({162, 163, 224}, 'O');
        set({151, 152, 158}, 'S');
        set({160, 161, 166, 167, 171, 189, 190}, 'Z');
    }
};

bool allowed(char c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == ' ') return true;
    return std::string_view(".,-+*();:/<>$%!").find(c) != std::string_view::npos;
}

}  // namespace

std::string foldName(std::string_view name, bool keepPolishLetters) {
    if (keepPolishLetters) return std::string(name);
    static const FoldTable table;
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        char f = table.to[static_cast<unsigned char>(c)];
        if (allowed(f)) out += f;
    }
    return out;
}

std::string USUN_PL_QUELNIK(std::string_view name) { return foldName(name, FILE_X("DAJ.PL")); }

PluRules pluRules(Context& ctx, const xbase::Table& goods, std::string_view description, bool fromGoodsTable) {
    auto& s = *ctx.settings;
    PluRules r;
    static const char* const kRates[] = {"J_PTUA", "J_PTUB", "J_PTUC", "J_PTUD", "J_PTUE", "J_PTUF"};
    for (size_t i = 0; i < 6; ++i) {
        if (s.exists(kRates[i]) && s.get(kRates[i]).isText())
            r.rates[i] = s.text(kRates[i]);
        else
            r.missingRates.emplace_back(kRates[i]);
    }
    if (!s.exists("J_PTUZ")) r.missingRates.emplace_back("J_PTUZ");
    r.skipLeadingZeros = s.text("J_KOD13ZN") == "N";
    r.levels = static_cast<int>(s.number("J_POZIOM"));
    r.longForm = core::contains(description, "3000");
    r.fromGoodsTable = fromGoodsTable;
    if (fromGoodsTable && FILE_X("VOSK.TXT")) r.flags = "01100";
    r.keepPolishLetters = FILE_X("DAJ.PL");

    const auto& layout = goods.layout();
    r.kod13 = layout.field("KOD13");
    r.indeks = layout.field("INDEKS");
    r.nazwa = layout.field("NAZWA");
    r.podatek0 = layout.field("PODATEK0");
    r.cena2 = layout.field("CENA2");
    r.cena2m = layout.field("CENA2M");
    r.cena3 = layout.field("CENA3");
    r.nameWidth = r.nazwa ? r.nazwa->length : 0;

    if (r.kod13) {
        std::string company;
        if (auto* firma = ctx.areas->find("firma"))
            company = core::upperAscii(firma->get("NODB").text + firma->get("NODB1").text);
        r.cutWeighedCodes = !core::contains(company, "KOSTRAN") && (core::contains(company, "MELKO") || FILE_X("MELKO.TXT"));
    }
    return r;
}

std::string pluCode(const PluRules& rules, const char* record) {
    std::string code;
    std::string_view source = rules.kod13 ? raw(rules.kod13, record) : raw(rules.indeks, record);
    bool skipZeros = rules.kod13 && rules.skipLeadingZeros;
    for (char c : source) {
        if (c < '0' || c > '9') break;
        if (skipZeros && code.empty() && c == '0') continue;
        code += c;
    }
    // Weighed goods: "28" and five digits of the article.
    if (rules.cutWeighedCodes && code.size() == 7 && code.compare(0, 2, "28") == 0) code = code.substr(2);
    return code;
}

std::string pluRecord(const PluRules& rules, const char* record, int level, std::string& lastCode) {
    std::string code = pluCode(rules, record);
    std::string_view tax = raw(rules.podatek0, record);
    double cena2 = number(rules.cena2, record);
    if (core::readNumber(tax) > 23 || cena2 < 0 || core::readNumber(code) == 0) return {};
    if (lastCode.compare(0, code.size(), code) == 0 && lastCode.size() >= code.size()) return {};
    lastCode = code;

    double price = cena2;
    double cena2m = number(rules.cena2m, record);
    if (cena2 > 0 && cena2m > 0 && rules.levels > 1 && level > 1) {
        double step = (cena2 - cena2m) / (rules.levels - 1);
        price = NEWROUND(cena2 - (level - 1) * step, 2);
    } else if (level == 0 && rules.cena3 && number(rules.cena3, record) > 0) {
        price = number(rules.cena3, record);
    }

    char letter = 0;
    std::string department;
    for (size_t i = 0; i < 6 && !letter; ++i)
        if (!rules.rates[i].empty() && tax == rules.rates[i]) {
            letter = static_cast<char>('A' + i);
            department = "0" + std::to_string(i + 1);
        }
    if (!letter && tax == "ZW") {
        letter = 'Z';
        department = "07";
    }
    if (!letter) return {};

    std::string name = foldName(raw(rules.nazwa, record), rules.keepPolishLetters);
    // A ";" in a name would split the record into wrong fields and the register would refuse the request.
    std::erase(name, ';');
    if (rules.fromGoodsTable) {
        name.erase(0, name.find_first_not_of(' ') == std::string::npos ? name.size() : name.find_first_not_of(' '));
        if (static_cast<int>(name.size()) < rules.nameWidth) name.resize(static_cast<size_t>(rules.nameWidth), ' ');
    }
    std::string cents = std::to_string(std::llround(price * 100));

    std::string out;
    out.reserve(96);
    if (rules.longForm) {
        out += "I#00;1;" + code + ";0;" + name + ";";
    } else {
        out += "I;1;" + code + ";" + name.substr(0, 18) + ";";
    }
    out += cents + ";" + letter + ";3;" + rules.flags + ";" + department + ";00;;";
    if (rules.longForm) out += "00;0;";
    return out;
}
