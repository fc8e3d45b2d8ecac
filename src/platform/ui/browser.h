#pragma once
// The table browser: the records of a table, one screen row each, in a window with column headings and
// separators, moved through with the cursor keys; a callback sees every pause and every key the
// browser does not handle itself.
//
//     ui::Browser b(ctx, table, 2, 0, 21, 45);
//     b.column("Nr", "PKASA", "!!").column("Opis stoiska kasowego", "POPIS", std::string(26, 'X'));
//     b.separators("┬─"_cp, "│"_cp, "┴─"_cp);
//     b.callback([&](ui::BrowseMode mode, int column) { ...; return ui::BrowseAction::Continue; });
//     b.run();
//
// Layout: the headings on the window's first row, the heading separator under them, the footing
// separator on the window's last row (each row only when given), the records in between. Columns stand
// side by side from the window's left edge, the column separator between them; a column is as wide as
// the widest of its heading and its mask (or its field); what passes the window's right edge is cut.
// In a separator row the part under a column separator takes the separator string's first characters
// and the rest its last character, so "┬─" starts the column lines that "│" continues and "┴─" ends.
// Numbers stand right-aligned in their column, other values left-aligned.
//
// Keys: Up and Down move by a record, PgUp and PgDn by a page, Home or Ctrl-PgUp to the first record,
// End or Ctrl-PgDn to the last, Left and Right to the previous and next column. Moving past the first
// or last record stays there and tells the callback (mode Top or Bottom). The browser walks the table
// in its controlling order; deleted records are not seen. The page is kept full: the browser starts
// with the current record on its first row unless that would leave rows empty at the end.
//
// The callback: before the browser waits for a key with none pending, it is called with the state
// (Idle; Top or Bottom when the last move hit an end; Empty for a table without records), and with
// Exception for a key the browser does not handle (the key is the keyboard's last key). It answers
// Continue, Refresh (read the records again and redraw: after the callback changed the table) or Stop
// (the browser returns, on the current record). The callback may read keys itself: a key it pushes
// back into the keyboard (Keyboard::push) is handled by the browser next, and while the callback keeps
// reading keys in its idle calls it is called again instead of the browser waiting. Keys already
// waiting (typed ahead) go to the browser: movement keys move, others come to the callback as
// Exception, so such a callback acts on the same keys in both modes. Without a callback,
// Enter and Esc end the browser.
//
// The current cell is drawn in the enhanced colour, everything else in the standard colour of the
// screen's current colours. A caller that draws its own highlight finds the current record's screen
// row in currentRow() and a column's screen columns in columnLeft() and columnWidth().
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/value.h"
#include "platform/screen/colour.h"

struct Context;
namespace xbase {
class Table;
}

namespace ui {

enum class BrowseMode { Idle = 0, Top = 1, Bottom = 2, Empty = 3, Exception = 4 };
enum class BrowseAction { Stop = 0, Continue = 1, Refresh = 2 };

struct BrowseColumn {
    std::string heading;
    std::string field;                   // a field of the table, or
    std::function<core::Value()> value;  // the value shown for the current record
    std::string picture;                 // display mask (platform/ui/picture.h); empty: the value's own
    int width = 0;                       // 0: the widest of the heading and the mask or field
};

class Browser {
  public:
    using Callback = std::function<BrowseAction(BrowseMode mode, int column)>;

    // The window's corners, inclusive.
    Browser(Context& ctx, xbase::Table& table, int top, int left, int bottom, int right);

    Browser& column(BrowseColumn column);
    Browser& column(std::string heading, std::string field, std::string picture = "");
    Browser& separators(std::string heading, std::string column, std::string footing);
    Browser& callback(Callback callback);

    // Browses until the callback answers Stop (or, without a callback, until Enter or Esc). The table
    // is left on the current record.
    void run();

    // The screen row of the current record, and the current column (1-based).
    int currentRow() const { return dataTop_ + rowPos_; }
    int currentColumn() const { return column_ + 1; }
    // The first screen row of records and their number.
    int dataTop() const { return dataTop_; }
    int dataRows() const { return dataRows_; }
    // Screen column and width of a column (1-based), as laid out by run().
    int columnLeft(int column) const;
    int columnWidth(int column) const;

  private:
    struct Placed {
        int left = 0, width = 0;
    };

    core::Value value(size_t index) const;
    void layout();
    // Text clipped at the window's right edge.
    void put(int row, int col, std::string_view text, screen::Attr attr);
    void drawSeparator(int row, const std::string& sep);
    void drawFrame();
    void drawRow(int row, bool present, bool current);
    void drawPage();
    // Moves; false when the move was refused at an end.
    bool down();
    bool up();
    bool pageDown();
    bool pageUp();
    bool empty();

    Context& ctx_;
    xbase::Table& table_;
    int top_, left_, bottom_, right_;
    std::vector<BrowseColumn> columns_;
    std::vector<Placed> placed_;
    std::string headSep_, colSep_, footSep_;
    Callback callback_;
    int dataTop_ = 0, dataRows_ = 0;
    int rowPos_ = 0;
    int column_ = 0;
};

}  // namespace ui
