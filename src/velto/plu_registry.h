#pragma once
// The PLU registry "velto\as2000.dbf": for every register and article, the first 80 characters of the PLU
// record last sent, so that a sending writes only new and changed articles. Its index "velto\as2000.ntx"
// ("pkasa+DESCEND(kod13)") is built anew by every sending.
//
// A sending reads the registry into memory once, looks articles up there and writes its changes at the end,
// so that a goods table of any size costs one sequential read and one write. The changes stay pending
// until the register has taken them: before the table is touched, the old text of every changed row goes
// to the undo file "velto\as2000.cof" beside it, and the outcome of the transmission either drops that
// file (sent) or plays it back (not sent: the changed rows get their old text again and the rows the
// sending added get an empty one), so that the next sending sends those articles again.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct Context;
namespace xbase {
class DbfFile;
struct Field;
}  // namespace xbase

inline constexpr std::string_view kRegistryTable = "velto\\as2000.dbf";
inline constexpr std::string_view kRegistryIndex = "velto\\as2000.ntx";
inline constexpr std::string_view kRegistryUndo = "velto\\as2000.cof";
inline constexpr std::string_view kRegistryKey = "pkasa+DESCEND(kod13)";
inline constexpr std::string_view kRegistryStructure =
    "velto\\AS2000,PKASA     ,C, 2,  0,KOD13     ,C,13,  0,TEKST     ,C,80,  0";

class PluRegistry {
  public:
    enum class Change { Same, Changed, Added };

    // Opens the registry for one sending: plays back an earlier sending that was never settled, creates
    // the table when it is missing or has no PKASA field, erases the index and reads the rows (with
    // "PROSZE CZEKAC ..." on the screen). Null after "PROBLEMY Z velto\as2000.dbf" when the table cannot
    // be held exclusively at the first attempt. `articles` is how many articles the sending may add at most
    // (address space only; memory is taken as rows are added).
    static std::unique_ptr<PluRegistry> open(Context& ctx, size_t articles = 0);
    ~PluRegistry();  // without close() (an error unwinds) nothing of the sending is written
    PluRegistry(const PluRegistry&) = delete;
    PluRegistry& operator=(const PluRegistry&) = delete;

    // The record as last sent to register `kasa` (NR_KASY) for the article `kod13` (the goods' KOD13, or
    // INDEKS where the goods table has no KOD13). TEKST takes the record's first 80 characters; Same when
    // it held them already. A long record whose changing fields run past those 80 characters (a name
    // field wider than 30) can never be told unchanged, so it is never Same.
    Change remember(std::string_view kasa, std::string_view kod13, std::string_view record);

    // Rows of the table, the added ones included.
    uint32_t rows();

    // Writes the undo file, then the changed and added rows, then the index. A sending that changed
    // nothing leaves nothing pending.
    void close();

  private:
    PluRegistry(Context& ctx, std::unique_ptr<xbase::DbfFile> dbf);
    void load();
    char* row(uint32_t recno) { return rows_.data() + static_cast<size_t>(recno - 1) * rl_; }
    uint64_t hash(const char* kasa, const char* kod13) const;
    uint32_t find(const std::string& kasa, const std::string& kod13) const;
    void insert(uint32_t recno);
    void grow();
    void buildIndex();

    Context& ctx_;
    std::unique_ptr<xbase::DbfFile> dbf_;
    const xbase::Field *pkasa_ = nullptr, *kod13_ = nullptr, *tekst_ = nullptr;
    size_t rl_ = 0;
    std::vector<char> rows_;  // every record, back to back, as it will be written
    uint32_t existing_ = 0;   // rows read from the table; the rest were added by this sending
    uint32_t count_ = 0;
    std::vector<uint32_t> slots_;   // open-addressing table of record numbers by register and code
    std::vector<uint8_t> changed_;  // per existing row
    std::vector<uint32_t> changedRows_;
    std::FILE* undo_ = nullptr;
    uint32_t undoEntries_ = 0;
    size_t articles_ = 0;
    bool loaded_ = false;
    bool closed_ = false;
};

// After a transmission: keeps the last sending's changes when the register took them, else plays them
// back so that the next sending sends those articles again. Nothing to do when nothing is pending.
void settleSending(Context& ctx, bool sent);

// The registry closed and erased with its index and anything pending: the next sending sends every
// article again.
void erasePluRegistry(Context& ctx);
