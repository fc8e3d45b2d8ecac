#pragma once
// The keyboard: a queue of keys read from a source (the terminal, or keys fed in by a test) with the
// console's inkey numbering. Waits go through an os::Clock, so on virtual time a wait of N seconds
// passes at once.
#include <deque>
#include <functional>
#include <stdexcept>

namespace os {
class Clock;
}

namespace screen {

namespace key {
inline constexpr int None = 0;
inline constexpr int Home = 1, CtrlRight = 2, PgDn = 3, Right = 4, Up = 5, End = 6, Del = 7;
inline constexpr int Backspace = 8, Tab = 9, Enter = 13, PgUp = 18, Left = 19, Ins = 22, CtrlEnd = 23;
inline constexpr int Down = 24, CtrlLeft = 26, Esc = 27, F1 = 28, CtrlHome = 29, CtrlPgDn = 30;
inline constexpr int CtrlPgUp = 31, ShiftTab = 271;
inline constexpr int F2 = -1, F3 = -2, F4 = -3, F5 = -4, F6 = -5, F7 = -6, F8 = -7, F9 = -8, F10 = -9;
inline constexpr int F11 = -40, F12 = -41;

// F1..F12 (n = 1..12).
constexpr int function(int n) {
    return n == 1 ? F1 : n <= 10 ? 1 - n : n == 11 ? F11 : F12;
}
// Shift, Ctrl and Alt with F1..F10.
constexpr int shiftFunction(int n) {
    return -9 - n;
}
constexpr int ctrlFunction(int n) {
    return -19 - n;
}
constexpr int altFunction(int n) {
    return -29 - n;
}

// Alt with a letter or digit, by the keyboard's scan code (Alt+P 281, Alt+A 286, Alt+C 302); 0 for
// other characters.
constexpr int alt(char c) {
    constexpr const char* rows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    constexpr int firsts[] = {272, 286, 300};
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c >= '1' && c <= '9') return 376 + (c - '1');
    if (c == '0') return 385;
    for (int r = 0; r < 3; ++r)
        for (int i = 0; rows[r][i]; ++i)
            if (rows[r][i] == c) return firsts[r] + i;
    return 0;
}
inline constexpr int AltC = alt('C');

// Ctrl with a letter is its control code (Ctrl+A 1 .. Ctrl+Z 26), shared with the keys above.
constexpr int ctrl(char c) {
    return (c & 0x1F);
}

// A printable character: its code page 852 byte value (32..255).
constexpr int character(char c) {
    return static_cast<unsigned char>(c);
}
}  // namespace key

// Where keys come from.
class KeySource {
  public:
    virtual ~KeySource() = default;
    // A key that is ready now, or 0. Never waits.
    virtual int poll() = 0;
    // Lets time pass until a key may be ready or `seconds` have passed (negative: no limit).
    virtual void wait(os::Clock& clock, double seconds) = 0;
    // Drops the keys typed and not yet read.
    virtual void discard() {}
};

// A wait for ever with nothing left to give (the keys fed in by a test ran out).
class KeysExhausted : public std::runtime_error {
  public:
    KeysExhausted() : std::runtime_error("no more keys: the keyboard would wait for ever") {}
};

class Keyboard {
  public:
    Keyboard(KeySource& source, os::Clock& clock);

    // The next key, waiting up to `timeoutSeconds` (0: no wait, negative: for ever); 0 when none came.
    // A key ends the wait and is consumed.
    int inkey(double timeoutSeconds = 0);
    // The last key inkey returned.
    int lastKey() const { return lastKey_; }
    void setLastKey(int key) { lastKey_ = key; }
    // The next key without consuming it, or 0 (no wait).
    int nextKey();
    // Stuffs keys in front of what is typed (typeahead): three queued Enters answer three prompts.
    void push(int key) { typeahead_.push_back(key); }
    // Drops the typeahead and whatever was typed and not read.
    void clear();

    // Called before every wait (the console flushes the screen there).
    void onIdle(std::function<void()> idle) { idle_ = std::move(idle); }

    os::Clock& clock() { return clock_; }

  private:
    KeySource& source_;
    os::Clock& clock_;
    std::deque<int> typeahead_;
    int lastKey_ = 0;
    std::function<void()> idle_;
};

}  // namespace screen
