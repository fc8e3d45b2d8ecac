#pragma once
// dBASE key expressions, compiled once against a table's layout and evaluated per record. They cover
// what the index files of the stock-keeping system hold and what the program itself uses for keys and
// relations: fields, literals, + and -, comparisons, .AND./.OR./.NOT., and the functions UPPER, LOWER,
// SUBSTR, LEFT, RIGHT, STR, VAL, DTOS, DTOC, STOD, CTOD, DESCEND, TRIM, RTRIM, LTRIM, ALLTRIM, PADR, PADL,
// IIF, RECNO, DELETED, and the cheap ones common keys use: STRZERO, PADC, YEAR, MONTH, DAY, EMPTY, ROUND,
// ABS, INT, LEN, SPACE, REPLICATE, CHR, ASC, AT. Function names may be cut to four letters or more.
// DESCEND of a date gives the negated day number, so later dates sort first and the empty date last.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/core/value.h"
#include "platform/xbase/field.h"

namespace xbase {

class Expression {
  public:
    // Throws core::RuntimeError (Kind::Expression) for a syntax error, an unknown function, or a name that
    // is no field of the layout; the message quotes the expression.
    static Expression compile(std::string_view text, const Layout& layout);

    Expression();
    ~Expression();
    Expression(Expression&&) noexcept;
    Expression& operator=(Expression&&) noexcept;

    const std::string& text() const;
    // Type and size of the result, known at compile time (as INDEX ON needs them for the key size):
    // text length, number width and decimals; 8 for a date, 1 for a logical.
    core::Type type() const;
    int length() const;
    int decimals() const;

    // `record` is the whole record buffer, deletion flag at byte 0.
    core::Value evaluate(const char* record, uint32_t recno) const;
    // The key bytes an NTX entry holds for this record, exactly keySize long.
    std::string key(const char* record, uint32_t recno, int keySize, int keyDecimals) const;
    // The same into `out`, whose storage is reused (keys of every record of a table).
    void key(const char* record, uint32_t recno, int keySize, int keyDecimals, std::string& out) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// NTX key bytes of a value: text blank padded or cut to keySize; a number as STR(value, keySize,
// keyDecimals) with leading blanks as '0' and negatives complemented; a date as "YYYYMMDD"; a logical as
// 'T'/'F'. Used for keys and for SEEK with a value.
std::string keyOfValue(const core::Value& value, int keySize, int keyDecimals);

}  // namespace xbase
