#include "catalogue.h"

#include <iterator>
#include <string_view>

#include "platform/core/cp852.h"
#include "platform/core/value.h"
#include "platform/xbase/field.h"
#include "velto/period.h"

using namespace core::literals;

namespace demo {

namespace {

constexpr uint64_t kSeed = 0x4B4C4F5641524E49ULL;

// A kind of article: "Kiełbasa" with its varieties and pack sizes (no size: sold by the kilogram or as
// it is). A loose family is also sold from the barrel or the can, by the litre.
struct Family {
    std::string_view name;
    double price;  // typical purchase price of the smallest pack, or of a kilogram
    std::vector<std::string_view> kinds;
    std::vector<std::string_view> sizes;
    bool loose = false;
};

struct Category {
    std::string_view prefix;  // of INDEKS
    std::string_view group;   // PODGRUPA
    const char* vat;
    const char* sww;
    const char* pkwiu;
    bool weighed;  // sold by the kilogram
    int weight;    // share of the generated goods
    std::vector<Family> families;
};

enum { kVeg, kMeat, kDairy, kBread, kSweets, kDrinks, kDry, kGrocery, kChemistry, kTobacco, kServices };

const std::vector<Category>& categories() {
    static const std::vector<Category> all{
        {"WAR",
         "WARZYWA",
         " 5",
         "01.12",
         "01.13.51.0",
         true,
         11,
         {{"Pomidory", 6, {"malinowe", "krajowe", "koktajlowe"}, {}},
          {"Ogórki"_cp, 5, {"gruntowe", "szklarniowe", "kiszone"}, {}},
          {"Ziemniaki", 1.8, {"młode"_cp, "jadalne", "sałatkowe"_cp}, {}},
          {"Cebula", 2.2, {"żółta"_cp, "czerwona", "dymka"}, {}},
          {"Marchew", 2.4, {"myta", "krajowa"}, {}},
          {"Jabłka"_cp, 3.2, {"Ligol", "Szampion", "Gala", "Jonagold"}, {}},
          {"Gruszki", 5, {"Konferencja", "Klapsa"}, {}},
          {"Śliwki"_cp, 6, {"węgierki"_cp, "kalifornijskie"}, {}},
          {"Kapusta", 2.5, {"biała"_cp, "czerwona", "pekińska"_cp, "kiszona"}, {}},
          {"Buraki", 2.2, {"czerwone", "ćwikłowe"_cp}, {}},
          {"Papryka", 9, {"czerwona", "żółta"_cp, "zielona"}, {}},
          {"Pieczarki", 8, {"krajowe", ""}, {}},
          {"Truskawki", 12, {"krajowe", ""}, {}},
          {"Czereśnie"_cp, 16, {"krajowe", ""}, {}}}},
        {"MIE",
         "MIĘSO"_cp,
         " 5",
         "15.13",
         "10.13.14.0",
         true,
         8,
         {{"Szynka", 32, {"wędzona"_cp, "gotowana", "wiejska", "konserwowa", "z indyka"}, {}},
          {"Polędwica"_cp, 38, {"sopocka", "łososiowa"_cp, "wędzona"_cp}, {}},
          {"Kiełbasa"_cp,
           22,
           {"krakowska", "śląska"_cp, "podwawelska", "wiejska", "myśliwska"_cp, "żywiecka"_cp},
           {}},
          {"Boczek", 24, {"wędzony"_cp, "parzony"}, {}},
          {"Kabanosy", 40, {"wieprzowe", "drobiowe"}, {}},
          {"Parówki"_cp, 18, {"cielęce"_cp, "drobiowe", "wieprzowe"}, {}},
          {"Schab", 30, {"pieczony", "surowy", "wędzony"_cp}, {}},
          {"Salceson", 14, {"włoski"_cp, "ozorkowy"}, {}},
          {"Pasztet", 18, {"pieczony", "drobiowy"}, {}},
          {"Baleron", 26, {"gotowany", "wędzony"_cp}, {}}}},
        {"NAB",
         "NABIAŁ"_cp,
         " 5",
         "15.51",
         "10.51.11.0",
         false,
         12,
         {{"Mleko", 2.6, {"2%", "3,2%", "1,5%", "bez laktozy"}, {"0,5l", "1l"}, true},
          {"Jogurt", 1.8, {"naturalny", "truskawkowy", "brzoskwiniowy", "grecki"}, {"150g", "400g"}},
          {"Kefir", 2.2, {"naturalny", ""}, {"400g", "1kg"}},
          {"Śmietana"_cp, 2.6, {"12%", "18%", "30%"}, {"200g", "400g"}},
          {"Masło"_cp, 5.5, {"ekstra", "osełkowe"_cp, "klarowane"}, {"200g"}},
          {"Twaróg"_cp, 4.2, {"półtłusty"_cp, "tłusty"_cp, "chudy"}, {"250g"}},
          {"Ser żółty"_cp, 5.4, {"gouda", "edamski", "królewski"_cp}, {"150g", "250g"}},
          {"Maślanka"_cp, 3.2, {"naturalna"}, {"1kg"}},
          {"Serek wiejski", 2.4, {"", "lekki"}, {"200g"}},
          {"Jaja", 9, {"ściółkowe M"_cp, "wiejskie L"}, {"10szt"}}}},
        {"PIE",
         "PIECZYWO",
         " 5",
         "15.81",
         "10.71.11.0",
         false,
         9,
         {{"Chleb",
           3.5,
           {"razowy", "żytni"_cp, "wiejski", "orkiszowy", "wieloziarnisty", "tostowy"},
           {"500g", "700g", "1kg"}},
          {"Bułka"_cp,
           0.45,
           {"pszenna", "grahamka", "z makiem", "kajzerka", "maślana"_cp},
           {"50g", "60g", "100g"}},
          {"Bagietka", 2.6, {"francuska", "czosnkowa"}, {"250g", "300g"}},
          {"Rogal", 1.2, {"maślany"_cp, "świętomarciński"_cp}, {"80g", "200g"}},
          {"Chałka"_cp, 3.8, {"z rodzynkami", "krojona"}, {"400g"}},
          {"Drożdżówka"_cp, 1.8, {"z serem", "z budyniem", "z kruszonką"_cp}, {"100g"}},
          {"Pączek"_cp, 1.6, {"z różą"_cp, "z budyniem"}, {"80g"}}}},
        {"SLO",
         "SŁODYCZE"_cp,
         " 8",
         "15.84",
         "10.82.22.0",
         false,
         11,
         {{"Czekolada", 4.2, {"mleczna", "gorzka", "biała"_cp, "z orzechami"}, {"100g"}},
          {"Baton", 1.8, {"orzechowy", "kokosowy", "czekoladowy"}, {"45g", "50g"}},
          {"Cukierki", 4.5, {"owocowe", "czekoladowe", "miętowe"_cp}, {"100g", "250g", "1kg"}},
          {"Krówki"_cp, 6, {"mleczne", "kakaowe"}, {"250g", "1kg"}},
          {"Herbatniki", 2.8, {"maślane"_cp, "kakaowe"}, {"100g", "200g"}},
          {"Wafle", 2.5, {"orzechowe", "kakaowe", "śmietankowe"_cp}, {"140g"}},
          {"Ciastka", 3.9, {"owsiane", "kruche", "z nadzieniem"}, {"150g", "200g"}},
          {"Pierniki", 4.5, {"w czekoladzie", "z nadzieniem"}, {"160g"}},
          {"Żelki"_cp, 3.4, {"owocowe", "kwaśne"_cp}, {"100g"}},
          {"Lizaki", 5, {"owocowe"}, {"100g"}}}},
        {"NAP",
         "NAPOJE",
         "23",
         "15.98",
         "11.07.19.0",
         false,
         12,
         {{"Woda", 1.1, {"mineralna", "źródlana"_cp, "gazowana"}, {"0,5l", "1,5l", "5l"}},
          {"Sok", 2.4, {"jabłkowy"_cp, "pomarańczowy"_cp, "wielowocowy", "marchwiowy"}, {"0,33l", "1l"}},
          {"Nektar", 3.2, {"wiśniowy"_cp, "z czarnej porzeczki"}, {"1l"}},
          {"Napój"_cp, 2.2, {"cytrynowy", "izotoniczny", "energetyczny"}, {"0,25l", "0,5l"}},
          {"Lemoniada", 2.5, {"cytrynowa", "malinowa"}, {"0,5l"}},
          {"Oranżada"_cp, 1.6, {"czerwona", "żółta"_cp}, {"0,33l", "1,25l"}},
          {"Kompot", 3.5, {"truskawkowy", "wiśniowy"_cp}, {"1l"}},
          {"Piwo", 2.8, {"jasne", "ciemne", "pszeniczne", "bezalkoholowe"}, {"0,5l"}, true},
          {"Herbata mrożona"_cp, 2.3, {"brzoskwiniowa", "cytrynowa"}, {"0,5l", "1,5l"}}}},
        {"SYP",
         "SYPKIE",
         " 5",
         "15.61",
         "10.61.21.0",
         false,
         7,
         {{"Mąka"_cp, 2.6, {"pszenna", "tortowa", "żytnia"_cp, "orkiszowa"}, {"1kg", "2kg"}},
          {"Cukier", 3.1, {"biały"_cp, "trzcinowy", "puder"}, {"500g", "1kg"}},
          {"Ryż"_cp, 3.8, {"biały"_cp, "brązowy"_cp, "jaśminowy"_cp, "basmati"}, {"400g", "1kg"}},
          {"Kasza", 3.5, {"gryczana", "jęczmienna"_cp, "jaglana", "manna"}, {"400g", "1kg"}},
          {"Płatki"_cp, 3.2, {"owsiane", "kukurydziane", "jęczmienne"_cp}, {"400g", "500g"}},
          {"Makaron", 3.4, {"świderki"_cp, "nitki", "spaghetti", "penne", "muszelki"}, {"400g", "500g"}},
          {"Sól"_cp, 1.4, {"kamienna", "jodowana", "morska"}, {"1kg"}},
          {"Groch", 2.8, {"łuskany"_cp, "połówki"_cp}, {"500g"}},
          {"Fasola", 5.2, {"biała"_cp, "jaś"_cp}, {"500g"}}}},
        {"KOL",
         "KOLONIAL",
         " 5",
         "15.87",
         "10.84.12.0",
         false,
         8,
         {{"Majonez", 6.5, {"stołowy"_cp, "lekki"}, {"300ml", "500ml"}},
          {"Ketchup", 5.2, {"łagodny"_cp, "pikantny"}, {"480g"}},
          {"Musztarda", 2.4, {"sarepska", "stołowa"_cp, "francuska"}, {"180g"}},
          {"Olej", 7.2, {"rzepakowy", "słonecznikowy"_cp}, {"1l", "3l"}},
          {"Herbata", 5.8, {"czarna", "zielona", "owocowa", "miętowa"_cp}, {"20szt", "100szt"}},
          {"Kawa", 11, {"mielona", "rozpuszczalna", "ziarnista"}, {"100g", "250g", "500g"}},
          {"Przyprawa", 1.3, {"do kurczaka", "do ziemniaków"_cp, "gyros"}, {"20g"}},
          {"Konserwa", 6.8, {"rybna", "turystyczna", "szynkowa"}, {"300g"}},
          {"Dżem"_cp, 5.6, {"truskawkowy", "wiśniowy"_cp, "brzoskwiniowy"}, {"280g"}}}},
        {"CHE",
         "CHEMIA",
         "23",
         "24.51",
         "20.41.32.0",
         false,
         8,
         {{"Płyn do naczyń"_cp, 4.8, {"cytrynowy", "miętowy"_cp, "balsam"}, {"500ml", "1l"}},
          {"Proszek do prania", 19, {"kolor", "biały"_cp}, {"1,5kg", "3kg"}},
          {"Szampon", 9, {"rumiankowy", "pokrzywowy", "przeciwłupieżowy"_cp}, {"400ml"}},
          {"Mydło"_cp, 2.2, {"kremowe", "antybakteryjne"}, {"100g"}},
          {"Pasta do zębów"_cp, 6.5, {"miętowa"_cp, "wybielająca"_cp}, {"75ml"}},
          {"Gąbki kuchenne"_cp, 2.8, {""}, {"5szt", "10szt"}},
          {"Płyn do podłóg"_cp, 7.4, {"cytrynowy", "lawendowy"}, {"1l"}},
          {"Papier toaletowy", 6.4, {"biały"_cp, "trzywarstwowy"}, {"4szt", "8szt"}},
          {"Ręczniki papierowe"_cp, 5.2, {""}, {"2szt"}}}},
        {"TYT",
         "TYTOŃ"_cp,
         "23",
         "16.00",
         "12.00.11.0",
         false,
         3,
         {{"Papierosy", 13, {"mocne", "lekkie", "mentolowe"}, {"20szt"}},
          {"Tytoń"_cp, 16, {"fajkowy", "papierosowy"}, {"50g"}},
          {"Zapałki"_cp, 1.2, {""}, {"10szt"}},
          {"Bibułki"_cp, 1.8, {""}, {"50szt"}},
          {"Gilzy", 4.5, {""}, {"200szt"}}}},
        {"USL",
         "USŁUGI"_cp,
         "ZW",
         "",
         "",
         false,
         3,
         {{"Doładowanie telefonu"_cp, 8, {""}, {"10zł"_cp, "25zł"_cp, "50zł"_cp}},
          {"Usługa ksero"_cp, 0.3, {""}, {"A4", "A3"}},
          {"Usługa pakowania prezentu"_cp, 4, {""}, {}},
          {"Opłata pocztowa"_cp, 6, {"list", "paczka"}, {}},
          {"Karta podarunkowa", 40, {""}, {"50zł"_cp, "100zł"_cp}}}},
    };
    return all;
}

struct Packaging {
    std::string_view name;
    double deposit;
};

// Returnable packaging kept in warehouse "K": it has prices and codes like any article, and the
// sending of goods must pass it over by its warehouse alone.
const std::vector<Packaging>& packagingKinds() {
    static const std::vector<Packaging> all{
        {"Butelka zwrotna 0,5l", 0.50},
        {"Butelka zwrotna 0,33l", 0.40},
        {"Butelka zwrotna 0,7l", 1.00},
        {"Skrzynka na butelki", 15.00},
        {"Keg 30l", 200.00},
        {"Paleta EUR", 40.00},
        {"Transporter plastikowy", 12.00},
    };
    return all;
}

struct FixedArticle {
    int category;
    std::string_view name;
    const char* jm;
    double cena0;
    double ilosc;
};

// The recipe ingredients, on positive stock so that the settlement has something to take.
const FixedArticle kIngredients[] = {
    {kBread, "Bułka pszenna 60g"_cp, "szt", 0.38, 240},
    {kMeat, "Szynka wiejska wędzona"_cp, "kg", 28.50, 12.450},
    {kDairy, "Masło ekstra 200g"_cp, "szt", 5.49, 60},
    {kVeg, "Pomidory malinowe", "kg", 7.20, 35.200},
    {kVeg, "Ziemniaki młode"_cp, "kg", 2.10, 150},
    {kVeg, "Marchew myta", "kg", 2.40, 80},
    {kVeg, "Ogórki kiszone"_cp, "kg", 6.50, 20.500},
    {kGrocery, "Majonez dekoracyjny 500ml", "szt", 7.80, 24},
    {kDairy, "Jaja wiejskie L 10szt", "szt", 9.20, 45},
    {kGrocery, "Herbata ekspresowa 100szt", "szt", 8.90, 30},
    {kVeg, "Cytryny", "kg", 6.90, 18.300},
    {kDry, "Cukier biały 1kg"_cp, "szt", 3.10, 200},
    {kGrocery, "Kawa mielona 250g", "szt", 12.40, 36},
    {kDairy, "Mleko świeże 3,2%"_cp, "l", 2.60, 40},
    {kDrinks, "Woda mineralna 1,5l", "szt", 1.20, 300},
};

struct ProductSpec {
    std::string_view name;
    const char* jm;
    double batch;
    double margin;
    std::vector<RecipeRow> rows;  // positions among the fixed articles
};

// Products made in the shop's kitchen; the set is made of two other products.
const std::vector<ProductSpec>& productSpecs() {
    constexpr size_t n = std::size(kIngredients);
    static const std::vector<ProductSpec> all{
        {"Kanapka z szynką"_cp, "szt", 1, 2.2, {{0, 1}, {1, 0.05}, {2, 0.05}, {3, 0.04}}},
        {"Sałatka jarzynowa"_cp, "kg", 10, 1.8, {{4, 4}, {5, 2}, {6, 1.5}, {7, 3}, {8, 1.2}}},
        {"Herbata z cytryną"_cp, "szt", 1, 4, {{9, 0.01}, {10, 0.015}, {11, 0.01}}},
        {"Kawa z mlekiem", "szt", 1, 3.5, {{12, 0.028}, {13, 0.1}, {11, 0.01}}},
        {"Lemoniada domowa", "l", 5, 2.5, {{10, 0.6}, {11, 0.4}, {14, 3}}},
        {"ZESTAW ŚNIADANIOWY"_cp, "szt", 1, 1.05, {{n, 2}, {n + 3, 1}}},
    };
    return all;
}

double rateOf(const std::string& podatek0) {
    return core::readNumber(podatek0);
}

std::string withCheckDigit(const std::string& digits) {
    // EAN: from the right, the data digits weigh 3, 1, 3, ...
    int sum = 0, weight = 3;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it, weight = 4 - weight)
        sum += (*it - '0') * weight;
    return digits + static_cast<char>('0' + (10 - sum % 10) % 10);
}

std::string digits(uint64_t value, int width) {
    std::string s(static_cast<size_t>(width), '0');
    for (int i = width - 1; i >= 0; --i, value /= 10)
        s[static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
    return s;
}

std::string upperName(std::string s) {
    for (auto& c : s) c = core::cp852Upper(c);
    return s;
}

}  // namespace

Catalogue::Catalogue(core::Date periodStart, core::Date today)
    : rng_(kSeed), periodStart_(periodStart), today_(today) {
    addFixed();
}

void Catalogue::addFixed() {
    const auto& cats = categories();
    for (const auto& ingredient : kIngredients) {
        const Category& c = cats[static_cast<size_t>(ingredient.category)];
        Article a;
        a.indeks = nextIndeks(c.prefix);
        a.nazwa = std::string(ingredient.name);
        a.jm = ingredient.jm;
        a.kod13 = nextCode(a.jm == "kg");
        a.podatek0 = c.vat;
        a.sww = c.sww;
        a.pkwiu = c.pkwiu;
        a.podgrupa = std::string(c.group);
        fillPrices(a, ingredient.cena0, 1.3);
        fillHistory(a);
        a.ilosc = ingredient.ilosc;
        fixed_.push_back(a);
    }
    const auto& products = productSpecs();
    for (const auto& product : products) {
        // Costed as the cost update does it, where the recipe rows carry UPUST0: the ingredients' net
        // sales prices with their allowance, per unit of product.
        double sum = 0;
        for (const auto& row : product.rows) {
            const Article& in = fixed_[row.ingredient];
            sum += NEWROUND(row.norma * in.cena * (1 + in.upust0 / 100), 2);
        }
        double cost = NEWROUND(sum / product.batch, 4);
        recipes_.push_back({fixed_.size(), product.batch, product.rows, cost});
        Article p;
        p.indeks = nextIndeks("WYR");
        p.nazwa = std::string(product.name);
        p.jm = product.jm;
        p.kod13 = nextCode(false);
        p.podatek0 = " 8";
        p.pkwiu = "56.10.19.0";
        p.podgrupa = "GASTRO";
        fillPrices(p, cost, product.margin);
        p.ilosc = 0;  // made to order
        fixed_.push_back(p);
    }
}

std::string Catalogue::nextIndeks(std::string_view prefix) {
    int* counter = nullptr;
    for (auto& [p, n] : counters_)
        if (p == prefix) counter = &n;
    if (!counter) counter = &counters_.emplace_back(std::string(prefix), 0).second;
    int n = ++*counter;
    // Five digits after the three letters; a category past 99999 articles goes on with two letters and
    // six digits, as the stock-keeping system's operators do.
    if (n <= 99999) return std::string(prefix) + digits(static_cast<uint64_t>(n), 5);
    return std::string(prefix.substr(0, 2)) + digits(static_cast<uint64_t>(n), 6);
}

std::string Catalogue::nextCode(bool weighed) {
    // The counters run through their range in a scrambled order (the multipliers are prime to 10), so
    // that neighbouring articles do not get neighbouring codes and no code repeats.
    if (weighed && weighedCodes_ < 100000)
        return "28" + digits((static_cast<uint64_t>(weighedCodes_++) * 59049 + 12345) % 100000, 5);
    return withCheckDigit("590" +
                          digits((static_cast<uint64_t>(ean13_++) * 387420489 + 104729) % 1000000000, 9));
}

void Catalogue::fillPrices(Article& a, double cena0, double margin) {
    a.cena0 = NEWROUND(cena0, 4);
    a.cena = NEWROUND(a.cena0 * margin, 2);
    a.cena2 = NEWROUND(a.cena * (1 + rateOf(a.podatek0) / 100), 2);
    a.cena2m = NEWROUND(a.cena2 * 0.95, 2);
    a.cena3 = a.cena2;
    a.cenam = NEWROUND(a.cena * 0.945, 2);
}

void Catalogue::fillHistory(Article& a) {
    const bool kg = a.jm == "kg" || a.jm == "l";
    auto quantity = [&](double lo, double hi) {
        return kg ? NEWROUND(rng_.between(lo, hi), 3)
                  : static_cast<double>(rng_.between(static_cast<int>(lo), static_cast<int>(hi)));
    };
    a.bri = NEWROUND(rng_.between(0.0, 500.0), 1);
    a.briSd = NEWROUND(rng_.between(0.0, 100.0), 1);
    a.cenaPz = NEWROUND(a.cena0 * rng_.between(1.0, 1.03), 6);
    if (rng_.chance(0.65)) {  // received in an earlier period
        a.dataPz = periodStart_ + -rng_.between(1, 90);
        a.iloscPz = quantity(1, 100);
        a.rdPz = "PZ ";
        a.nrdPz = xbase::formatNumber(rng_.between(1, 499), 8, 0);
    }
    if (rng_.chance(0.6)) {  // sold in this period
        a.dataSd = periodStart_ + rng_.below(today_ - periodStart_ + 1);
        a.iloscSd = quantity(1, 50);
    }
    if (rng_.chance(0.05)) a.rezerwa0 = rng_.between(1, 8);
}

Article Catalogue::generated() {
    const auto& cats = categories();
    int total = 0;
    for (const auto& c : cats) total += c.weight;
    int r = rng_.below(total);
    size_t ci = 0;
    while (r >= cats[ci].weight) r -= cats[ci++].weight;
    const Category& c = cats[ci];

    Article a;
    const int where = rng_.below(100);
    a.mag = where < 85 ? "1" : where < 95 ? "2" : "3";
    a.indeks = nextIndeks(c.prefix);
    const Family& f = rng_.pick(c.families);
    const bool loose = f.loose && rng_.chance(0.3);
    a.jm = c.weighed ? "kg" : loose ? "l" : "szt";
    std::string name(f.name);
    std::string_view kind = rng_.pick(f.kinds);
    if (!kind.empty()) name += " " + std::string(kind);
    const size_t size =
        f.sizes.empty() ? 0 : static_cast<size_t>(rng_.below(static_cast<int>(f.sizes.size())));
    if (!loose && !f.sizes.empty()) name += " " + std::string(f.sizes[size]);
    if (rng_.chance(0.08)) name = upperName(name);  // typed with Caps Lock on
    a.nazwa = name.substr(0, 30);

    a.podatek0 = c.vat;
    if (ci == kServices && rng_.chance(0.15)) a.podatek0 = "NP";
    if (ci != kServices && rng_.chance(0.02)) a.podatek0 = " 0";
    a.sww = c.sww;
    a.pkwiu = c.pkwiu;
    a.podgrupa = std::string(c.group);

    const int code = rng_.below(100);
    if (c.weighed) {
        a.kod13 = code < 45 ? nextCode(true) : code < 75 ? "" : nextCode(false);
    } else if (ci == kServices) {
        a.kod13 = code < 60 ? "" : nextCode(false);
    } else if (code < 80 || ean8_ >= 100000) {
        a.kod13 = code < 92 ? nextCode(false) : "";
    } else if (code < 92) {
        a.kod13 = withCheckDigit("59" + digits((static_cast<uint64_t>(ean8_++) * 59049 + 7919) % 100000, 5));
    }

    // Bigger packs cost more; the loose litre is priced like a bottle and a half.
    double base = f.price * rng_.between(0.8, 1.25);
    if (loose)
        base *= 1.6;
    else if (!f.sizes.empty())
        base *= 1 + 0.7 * static_cast<double>(size);
    fillPrices(a, base, rng_.between(1.12, 1.45));
    if (rng_.chance(0.4)) a.cena3 = 0;
    if (rng_.chance(0.012)) a.cena = a.cena2 = a.cena2m = a.cena3 = a.cenam = 0;  // not priced yet
    if (rng_.chance(0.15)) {
        static const double allowances[] = {2.5, 5, 10, 15};
        a.upust0 = allowances[rng_.below(4)];
    }
    fillHistory(a);

    const int stock = rng_.below(100);
    if (stock < 8) {
        a.ilosc = 0;
    } else if (stock < 11) {
        a.ilosc = -rng_.between(1, 10);
    } else {
        a.ilosc = a.jm == "szt" ? rng_.between(1, 300) : NEWROUND(rng_.between(0.5, 200.0), 3);
    }
    return a;
}

Article Catalogue::packaging() {
    const Packaging& p = rng_.pick(packagingKinds());
    Article a;
    a.mag = "K";
    a.indeks = nextIndeks("OPA");
    a.nazwa = std::string(p.name);
    a.jm = "szt";
    a.kod13 = rng_.chance(0.5) ? nextCode(false) : "";
    a.podatek0 = "ZW";
    a.podgrupa = "KAUCJE";
    fillPrices(a, p.deposit, 1);
    fillHistory(a);
    a.ilosc = rng_.between(0, 500);
    return a;
}

Article Catalogue::copyOf(const Article& original) {
    Article a = original;  // only the catalogue fields and the stock of a copy are written
    const int where = rng_.below(100);
    a.mag = where < 55 ? "2" : where < 80 ? "3" : "U";
    a.copy = true;
    a.deleted = false;
    a.ilosc = a.jm == "szt" ? rng_.between(0, 40) : NEWROUND(rng_.between(0.0, 20.0), 3);
    return a;
}

Article Catalogue::next() {
    if (served_ < fixed_.size()) return fixed_[served_++];
    const size_t generatedSoFar = served_++ - fixed_.size();
    if (lastCopyable_ && rng_.chance(0.10)) {
        lastCopyable_ = false;
        return copyOf(last_);
    }
    const bool isPackaging = rng_.chance(0.012);
    Article a = isPackaging ? packaging() : generated();
    // A few records are deleted: always one near the start, so that even a small shop has one.
    a.deleted = generatedSoFar == 3 || rng_.chance(0.006);
    last_ = a;
    lastCopyable_ = !isPackaging && a.mag == "1";
    return a;
}

}  // namespace demo
