// Key evaluation speed over 200,000 goods records, the work of a bulk index build: prints the time per
// expression for the whole table and keys per second. Target: "UPPER(NAZWA)+MAG" in a few tens of
// milliseconds for all 200,000 records.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/xbase/expr.h"
#include "platform/xbase/field.h"

int main() {
    const int kRecords = 200000;
    auto layout = xbase::Layout::of({{"MAG", 'C', 1},
                                     {"INDEKS", 'C', 8},
                                     {"NAZWA", 'C', 30},
                                     {"KOD13", 'C', 13},
                                     {"CENA", 'N', 14, 2},
                                     {"DATA", 'D', 8}});
    auto rl = static_cast<size_t>(layout.recordLength);
    std::vector<char> table(rl * kRecords, ' ');
    for (int i = 0; i < kRecords; ++i) {
        char* rec = table.data() + rl * static_cast<size_t>(i);
        auto put = [&](const char* name, const core::Value& v) {
            xbase::writeField(*layout.field(name), rec, v);
        };
        put("MAG", core::Value::ofText(std::to_string(i % 3 + 1)));
        put("INDEKS", core::Value::ofText(std::to_string(100000 + i)));
        put("NAZWA", core::Value::ofText("towar nr " + std::to_string(i * 7919 % kRecords)));
        put("KOD13", core::Value::ofText(std::to_string(5900000000000LL + i)));
        put("CENA", core::Value::ofNumber((i % 10000) / 100.0));
        put("DATA", core::Value::ofDate(core::Date::fromYmd(2024, 1 + i % 12, 1 + i % 28)));
    }

    const char* expressions[] = {"MAG+INDEKS",
                                 "UPPER(NAZWA)+MAG",
                                 "DESCEND(KOD13+MAG)",
                                 "MAG+INDEKS+DTOS(DATA)",
                                 "SUBSTR(NAZWA,1,17)+MAG+INDEKS",
                                 "CENA",
                                 "MAG+INDEKS+STR(CENA,10,2)"};
    std::printf("%-32s %10s %14s\n", "expression", "ms/200k", "keys/s");
    for (const char* text : expressions) {
        auto e = xbase::Expression::compile(text, layout);
        int size = e.length(), dec = e.decimals();
        size_t check = 0;
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRecords; ++i) {
            std::string key =
                e.key(table.data() + rl * static_cast<size_t>(i), static_cast<uint32_t>(i + 1), size, dec);
            check += static_cast<unsigned char>(key[0]);
        }
        double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("%-32s %10.1f %14.0f   (%zu)\n", text, ms, kRecords / ms * 1000, check % 10);
    }
    return 0;
}
