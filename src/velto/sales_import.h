#pragma once
// Importing the register's sales report: a dated archive copy, then every sale line matched to a goods
// record and written as one row of the station's scratch table, the document posted, and the lines that
// match nothing listed in the station's printout file for the operator.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/clock.h"

struct Context;
namespace os {
class FileHandle;
}

// One sale line of the report, as the register wrote it.
struct SaleLine {
    std::string code;     // field 1, the PLU code as the register knows it
    double value = 0;     // field 3 / 100: gross value of the sale
    double quantity = 0;  // field 4 / 1000
};

// Characters 3 to 122 of a line hold four fields, each closed by ";" (code, name, value in hundredths,
// quantity in thousandths); the first two characters and anything after the fourth ";" are not read.
// Nothing when a field is not closed within those characters.
std::optional<SaleLine> parseSaleLine(std::string_view line);

// "VELTO_SD\DATA_OUT" + yyyymmdd + "_" + hhmmss + ".OUT": where a report read at that moment is kept.
std::string salesArchiveName(const os::LocalTime& when);

// The state of one import: the matching rules fixed at its start, the row counter, the printout file.
class SalesImport {
  public:
    explicit SalesImport(Context& ctx);
    ~SalesImport();
    SalesImport(const SalesImport&) = delete;
    SalesImport& operator=(const SalesImport&) = delete;

    // The code a PLU code is looked up by: padded to 13 characters, and made "28" + code for the
    // five-character codes of weighed goods where the company asks for that.
    std::string lookupCode(std::string_view plu) const;
    // The goods record a lookup code stands for, by the installation's matching rules; the goods table
    // is left on it. False (the table somewhere else) when there is none. An empty code matches nothing.
    bool findGoods(const std::string& code);

    // The provisional document number the rows carry, right-aligned in 8.
    void setDocumentNumber(std::string nrd) { nrd_ = std::move(nrd); }
    // Empties the printout file and sends unmatched lines there from now on.
    void openPrintout();
    void closePrintout();

    // One line of the report: a row of the scratch table (true), or the line listed as unmatched, or a
    // malformed line passed over without a trace.
    bool ADD_WIERSZ(std::string_view line);

    bool anyUnmatched() const { return unmatched_; }
    int rows() const { return rows_; }
    // The goods record each row was matched to, by the row's record number.
    const std::vector<uint32_t>& goodsRecords() const { return goods_; }

  private:
    struct Fields;  // the fields a row is made of, looked up at the first row
    const Fields& fields();

    Context& ctx_;
    std::unique_ptr<Fields> fields_;
    std::string nrd_;         // the provisional document number, right-aligned in 8
    bool barCodes_ = false;   // the goods table has KOD13
    bool kod13Name_ = false;  // J_NAZWA mentions KOD13
    bool weighed28_ = false;  // five-character codes get the "28" prefix
    std::string psMag_, psMagNo_;
    int rows_ = 0;
    std::vector<uint32_t> goods_;
    bool unmatched_ = false;
    std::FILE* printout_ = nullptr;
};

// Imports one sales report file: true when it was read and its document booked (or there was nothing to
// book); false when it cannot be opened or the sales document kind is not in the dictionary.
bool ZROB_SD_ZETO(Context& ctx, std::string_view file);
// The reading and booking of a report file already open, `size` bytes long.
bool ZETO_SD(Context& ctx, os::FileHandle& file, int64_t size);
// Gross total of the scratch table's rows (deleted ones apart); leaves the table at its first row.
double JAKA_ZETO(Context& ctx);
