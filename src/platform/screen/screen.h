#pragma once
// The 80x25 text screen: cells of (code page 852 byte, attribute), the cursor and the current colours.
// The cell model is the single source of truth; a backend (terminal or headless) is told which cells
// changed and where the cursor is. Rows 0..24 and columns 0..79, as on the console; text that runs past
// column 79 is clipped.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/screen/colour.h"

namespace screen {

inline constexpr int kRows = 25;
inline constexpr int kCols = 80;

struct Cell {
    char ch = ' ';
    Attr attr = makeAttr(colour::White, colour::Black);
    bool operator==(const Cell&) const = default;
};

struct CellChange {
    int row, col;
    Cell cell;
};

struct CursorState {
    int row = 0, col = 0;
    bool visible = true;
    bool operator==(const CursorState&) const = default;
};

// Receives what changed since the last flush. A backend must not keep a second model of the screen.
class Backend {
  public:
    virtual ~Backend() = default;
    virtual void flush(const std::vector<CellChange>& changes, const CursorState& cursor) = 0;
    // Around an outside command: the terminal is given back, then taken again.
    virtual void suspend() {}
    virtual void resume() {}
};

enum class Frame { Single, Double };

// A saved region: opaque to callers, restored where it was taken.
class SavedRegion {
  public:
    SavedRegion() = default;

  private:
    friend class Screen;
    int top_ = 0, left_ = 0, bottom_ = -1, right_ = -1;
    std::vector<Cell> cells_;
};

class Screen {
  public:
    explicit Screen(Backend* backend = nullptr);
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    void setBackend(Backend* backend);

    // Colours. An empty string restores the standard colours.
    void setColour(std::string_view colours);
    const ColourSet& colours() const { return colours_; }
    void setColours(const ColourSet& set) { colours_ = set; }
    std::string colourString() const { return screen::colourString(colours_); }
    Attr standard() const { return colours_.standard(); }
    Attr enhanced() const { return colours_.enhanced(); }

    // Colour or monochrome display; the program picks its highlight colours by it.
    bool isColour() const { return colour_; }
    void setColourDisplay(bool colour) { colour_ = colour; }

    // Text at a position, in the standard colour, an attribute or a colour string; the cursor ends after
    // the text.
    void say(int row, int col, std::string_view text);
    void say(int row, int col, std::string_view text, Attr attr);
    void say(int row, int col, std::string_view text, std::string_view colours);

    // Console output at the cursor: `newline` goes to the start of the next row, scrolling the screen up
    // at the bottom; `out` writes text at the cursor (a CR or LF in it acts as such), wrapping at column
    // 79 and scrolling.
    void newline();
    void out(std::string_view text);

    // The whole screen, or a region (inclusive corners), blanked in the standard colour (or `attr`).
    // Clearing the whole screen puts the cursor at the top left.
    void clear();
    void clear(int top, int left, int bottom, int right);
    void clear(int top, int left, int bottom, int right, Attr attr);

    // A frame from corner to corner in the standard colour (or `attr`); the inside is left as it is. A
    // frame of one row or one column is a straight line.
    void box(int top, int left, int bottom, int right, Frame frame);
    void box(int top, int left, int bottom, int right, Frame frame, Attr attr);

    SavedRegion save(int top, int left, int bottom, int right) const;
    SavedRegion saveAll() const { return save(0, 0, kRows - 1, kCols - 1); }
    void restore(const SavedRegion& region);

    // Cursor.
    int row() const { return cursor_.row; }
    int col() const { return cursor_.col; }
    void setCursor(int row, int col);
    bool cursorVisible() const { return cursor_.visible; }
    void setCursorVisible(bool visible);

    // Reading back (tests, and flows that look at the screen).
    const Cell& cell(int row, int col) const { return cells_[index(row, col)]; }
    char charAt(int row, int col) const { return cell(row, col).ch; }
    Attr attrAt(int row, int col) const { return cell(row, col).attr; }
    // The 80 characters of a row, code page 852.
    std::string rowText(int row) const;
    // The whole screen as UTF-8, one line per row, trailing blanks removed (for test messages).
    std::string dump() const;

    // Sends the changed cells and the cursor to the backend. Every drawing operation flushes at its end
    // unless a Batch is open; the keyboard flushes before it waits.
    void flush();
    // Every cell goes to the backend again at the next flush (after the terminal was suspended or
    // resized).
    void invalidate();

    // Gives the terminal to an outside command until resume(), which draws the screen again.
    void suspend();
    void resume();

    // Holds the flushes of a run of drawing operations (a whole table browser page) until it closes.
    class Batch {
      public:
        explicit Batch(Screen& screen) : screen_(screen) { ++screen_.batch_; }
        ~Batch() {
            if (--screen_.batch_ == 0) screen_.flush();
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

      private:
        Screen& screen_;
    };

    // Suspends the screen for the lifetime of the object (an outside command runs meanwhile).
    class Suspended {
      public:
        explicit Suspended(Screen& screen) : screen_(screen) { screen_.suspend(); }
        ~Suspended() { screen_.resume(); }
        Suspended(const Suspended&) = delete;
        Suspended& operator=(const Suspended&) = delete;

      private:
        Screen& screen_;
    };

    // The characters of the code page's frames, in the order top left, top, top right, right, bottom
    // right, bottom, bottom left, left.
    static std::string_view frameChars(Frame frame);

  private:
    static int index(int row, int col) { return row * kCols + col; }
    void put(int row, int col, char ch, Attr attr);
    void scrollUp();
    void changed();

    std::vector<Cell> cells_;
    std::vector<bool> dirty_;
    bool anyDirty_ = false;
    CursorState cursor_;
    CursorState flushedCursor_;
    bool cursorSent_ = false;
    ColourSet colours_ = ColourSet::defaults();
    bool colour_ = true;
    int batch_ = 0;
    Backend* backend_ = nullptr;
};

}  // namespace screen
