#pragma once
// The memo editor: a text of CR LF separated lines edited in a screen rectangle, with a callback that
// sees the start, every pause and every key.
//
//     ui::MemoEditor editor(ctx, 1, 1, 22, 78);
//     editor.callback([&](ui::MemoMode mode, int line, int col) { ...; return 0; });
//     ui::MemoResult r = editor.edit(text);   // r.text, r.saved
//
// The text is code page 852 bytes and is kept byte for byte: only CR LF separates lines; a lone CR or
// LF, form feeds, escape sequences and box characters are ordinary characters of a line, and a text
// ending with CR LF still does. A line longer than the line length (160) is shown wrapped over as many
// rows as it needs; the wrapping is for the eye only and adds nothing to the text. The view scrolls
// horizontally over a line's row and vertically over the rows.
//
// Keys: characters are typed in insert mode (Ins switches to overwriting and back); Enter (Ctrl-M)
// breaks the line at the cursor, Ctrl-Y deletes the current line, Del and Backspace delete a character
// and join lines at a line's end or start; Left/Right, Up/Down (by shown row), Ctrl-Left/Ctrl-Right (by
// word), Home/End (start and end of the line), PgUp/PgDn (by a window), Ctrl-Home or Ctrl-PgUp and
// Ctrl-PgDn (start and end of the text) move; Tab inserts blanks to the next multiple of four. Ctrl-W
// ends the editing keeping the edited text (Ctrl-End is the same key code); Esc abandons it, the
// result being the text as it was given. Other keys (F5, Alt+P) do nothing by themselves.
//
// The callback is called with Init when the editor starts, again and again until it answers 0 (an
// answer of 22 switches insert mode); with Idle each time the editor is about to wait for a key with
// none pending; and with Key, or KeyChanged once the text has been changed, after each key and before
// the editor acts on it (the key is the keyboard's last key). `line` is the cursor's line in the text
// from 1, `col` its column in that line from 0. Answers to key calls:
//   0        the editor acts on the key as usual;
//   1..31    the editor acts as for that key instead: 23 ends keeping the text, 27 abandons;
//   32       the key is ignored;   33  the key is typed as a character;
// An answer of 1..31 to an Idle call acts the same way (so 23 ends there too); any other answer to an
// Idle call lets the editor wait for a key. Other answers to a key call count as 0. The answer to Init is
// bounded: after 100 calls the editor starts. The text is drawn in the standard colour; the cursor is put on
// its place, its visibility is the caller's.
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct Context;

namespace ui {

enum class MemoMode { Idle = 0, Key = 1, KeyChanged = 2, Init = 3 };

inline constexpr int kMemoDefault = 0;
inline constexpr int kMemoSave = 23;  // Ctrl-W
inline constexpr int kMemoAbandon = 27;
inline constexpr int kMemoIgnore = 32;
inline constexpr int kMemoData = 33;

struct MemoResult {
    std::string text;
    bool saved = false;  // ended keeping the edited text (not abandoned with Esc)
};

class MemoEditor {
  public:
    using Callback = std::function<int(MemoMode mode, int line, int col)>;

    // The rectangle's corners, inclusive.
    MemoEditor(Context& ctx, int top, int left, int bottom, int right);

    MemoEditor& callback(Callback callback);
    MemoEditor& lineLength(int length);

    // Edits the text from its start until Ctrl-W (or the callback's 23) or Esc.
    MemoResult edit(const std::string& text);

    // The cursor's line (from 1) and column (from 0) in the text, as the callback is told.
    int line() const { return line_ + 1; }
    int column() const { return col_; }

  private:
    struct Pos {
        int line = 0, seg = 0;
    };

    int rowsOf(int line) const;
    int segOf(int line, int col) const;
    Pos cursor() const { return {line_, segOf(line_, col_)}; }
    bool nextRow(Pos& p) const;
    bool previousRow(Pos& p) const;
    void ensureVisible();
    void draw();
    // Acts on a key; false when it ends the editing (`saved_` tells how).
    bool act(int key, bool asData = false);
    void insertChar(char c);
    // Moves the cursor by shown rows (negative: up); returns the rows moved.
    int verticalMove(int rows);
    void modified();

    Context& ctx_;
    int top_, left_, bottom_, right_;
    int lineLength_ = 160;
    Callback callback_;

    std::vector<std::string> lines_;
    int line_ = 0, col_ = 0;
    int wantOffset_ = -1;  // column within the row kept over vertical moves
    Pos topRow_;
    int leftCol_ = 0;
    bool insert_ = true;
    bool changed_ = false;
    bool saved_ = false;
};

}  // namespace ui
