#pragma once
// What the demo shop sells: one goods record after another, from a fixed seed. The catalogue begins
// with a few fixed articles (the ingredients of the recipes, then the recipe products themselves),
// followed by generated groceries, drinks, household goods and services across the warehouses "1", "2"
// and "3", returnable packaging in "K" and returns in "U". Texts are code page 852.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/core/date.h"
#include "rng.h"

namespace demo {

struct Article {
    std::string mag = "1";
    std::string indeks, nazwa, jm, kod13, podatek0, sww, pkwiu, podgrupa;
    double cena0 = 0, cena = 0, cena2 = 0, cena2m = 0, cena3 = 0, cenam = 0;
    double ilosc = 0, upust0 = 0;
    // A copy of an article kept in a further warehouse carries only the catalogue fields and its stock;
    // the counters and dates below stay blank there, as the stock-keeping system leaves them.
    bool copy = false;
    double bri = 0, briSd = 0, rezerwa0 = 0, cenaPz = 0;
    core::Date dataPz, dataSd;  // empty: never received / never sold
    double iloscPz = 0, iloscSd = 0;
    std::string rdPz, nrdPz;
    bool deleted = false;
};

// One ingredient row of a recipe: the position of the ingredient among the fixed articles.
struct RecipeRow {
    size_t ingredient;
    double norma;
};

struct Recipe {
    size_t product;  // position of the product among the fixed articles
    double batch;    // the quantity of product one batch of the rows makes
    std::vector<RecipeRow> rows;
    double cost;  // the product's cost of one unit, as the cost update computes it
};

class Catalogue {
  public:
    // Dates of the receipt and sales history fall before the period's first day and between it and today.
    Catalogue(core::Date periodStart, core::Date today);

    // The articles every demo shop has, in the order they are written first.
    const std::vector<Article>& fixed() const { return fixed_; }
    const std::vector<Recipe>& recipes() const { return recipes_; }

    // The next goods record: the fixed articles first, then generated ones.
    Article next();

  private:
    Article generated();
    Article packaging();
    Article copyOf(const Article& original);
    std::string nextIndeks(std::string_view prefix);
    std::string nextCode(bool weighed);
    void fillPrices(Article& a, double cena0, double margin);
    void fillHistory(Article& a);
    void addFixed();

    Rng rng_;
    core::Date periodStart_, today_;
    std::vector<Article> fixed_;
    std::vector<Recipe> recipes_;
    size_t served_ = 0;
    Article last_;
    bool lastCopyable_ = false;
    std::vector<std::pair<std::string, int>> counters_;  // per INDEKS prefix
    int ean13_ = 0, ean8_ = 0, weighedCodes_ = 0;
};

}  // namespace demo
