#pragma once
// Field descriptors of a dBASE III table and the rules by which a record stores its values.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/value.h"

namespace xbase {

struct Field {
    std::string name;  // upper case, at most 10 characters
    char type = 'C';   // 'C', 'N', 'D', 'L'
    int length = 0;
    int decimals = 0;
    int offset = 0;  // position in the record; byte 0 of a record is the deletion flag
};

struct Layout {
    std::vector<Field> fields;
    int recordLength = 1;

    // Fills in offsets and the record length; names are upper-cased. The names are not to change after.
    static Layout of(std::vector<Field> fields);
    // Index of the field of exactly this name (letter case ignored), or -1.
    int find(std::string_view name) const;
    const Field* field(std::string_view name) const {
        int i = find(name);
        return i < 0 ? nullptr : &fields[static_cast<size_t>(i)];
    }

    // A name of up to 15 characters upper-cased in two words with its length, for finding it by hashing.
    struct Packed {
        uint64_t head = 0, tail = 0;
        bool operator==(const Packed&) const = default;
    };

  private:
    // Built by of(): the packed names and a hash table of their indexes (-1 empty). Field access by name
    // runs for every REPLACE and every field read, and a table has a few dozen fields.
    std::vector<Packed> packed_;
    std::vector<int16_t> slots_;
};

// dBASE STR(): right-aligned in `length`, rounded half away from zero to `decimals` places, asterisks when
// it does not fit.
std::string formatNumber(double value, int length, int decimals);

// The value a record holds in a field: C as stored (blanks kept), N read the dBASE way (all blanks is 0)
// with the field's width and decimals, D from "YYYYMMDD", L true for T/t/Y/y.
core::Value readField(const Field& field, const char* record);
// Stores a value in a record the way the stock-keeping system expects: C left-aligned, blank padded or cut;
// N right-aligned with the field's decimals (asterisks on overflow); D "YYYYMMDD" or blanks; L 'T'/'F'.
// A value of the wrong type is a fatal run-time error ("type mismatch") naming the field.
void writeField(const Field& field, char* record, const core::Value& value);
// The empty value of the field's type (blanks, 0, empty date, false).
core::Value emptyValue(const Field& field);

}  // namespace xbase
