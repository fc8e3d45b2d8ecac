#include "platform/screen/terminal.h"

// curses names its screen type `struct screen`, which would clash with this namespace.
#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#define screen curses_screen
#include <curses.h>
#undef screen
#include <langinfo.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/core/cp852.h"

namespace screen {

namespace {

// The console shows the control bytes as symbols.
constexpr char32_t kControlGlyphs[32] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9,
    0x2642, 0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7,
    0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
};

char32_t glyph(char ch) {
    auto b = static_cast<unsigned char>(ch);
    if (b < 0x20) return kControlGlyphs[b];
    if (b == 0x7F) return 0x2302;
    return core::cp852ToUnicode(b);
}

// Text-mode colour numbers (blue first) to the terminal's (red first).
constexpr int kTerminalColour[8] = {0, 4, 2, 6, 1, 5, 3, 7};

std::string sgr(Attr attr) {
    int fg = foregroundOf(attr);
    std::string s = "\033[0;" + std::to_string((fg & colour::Bright ? 90 : 30) + kTerminalColour[fg & 7]) +
                    ";" + std::to_string(40 + kTerminalColour[backgroundOf(attr)]);
    if (blinks(attr)) s += ";5";
    return s + "m";
}

}  // namespace

Terminal::Terminal() = default;

std::unique_ptr<Terminal> Terminal::open() {
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO))
        throw TerminalError("VELTO: program wymaga terminala (standardowe wejscie i wyjscie)");
    winsize ws{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 &&
        (ws.ws_col < kCols || ws.ws_row < kRows))
        throw TerminalError("VELTO: terminal musi miec co najmniej 80 kolumn i 25 wierszy (ma " +
                            std::to_string(ws.ws_col) + "x" + std::to_string(ws.ws_row) + ")");

    // Only the character type: numbers must keep their decimal point everywhere else in the program.
    std::setlocale(LC_CTYPE, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");

    std::unique_ptr<Terminal> t(new Terminal());
    SCREEN* s = newterm(nullptr, stdout, stdin);
    if (!s) throw TerminalError("VELTO: nieznany typ terminala (TERM)");
    set_term(s);
    t->active_ = true;
    if (LINES < kRows || COLS < kCols) {
        endwin();
        t->active_ = false;
        throw TerminalError("VELTO: terminal musi miec co najmniej 80 kolumn i 25 wierszy (ma " +
                            std::to_string(COLS) + "x" + std::to_string(LINES) + ")");
    }
    set_escdelay(25);  // Esc alone must answer at once, yet Alt+letter arrives as Esc and the letter
    raw();             // the break key (Ctrl+C) and the suspend key reach the program as keys
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    meta(stdscr, TRUE);
    intrflush(stdscr, FALSE);
    if (has_colors()) {
        start_color();
        t->colours_ = COLORS >= 16 ? 16 : 8;
    }
    return t;
}

Terminal::~Terminal() {
    if (active_) {
        endwin();
        active_ = false;
    }
}

int Terminal::pairOf(int foreground, int background) {
    int key = foreground * 8 + background;
    if (auto it = pairs_.find(key); it != pairs_.end()) return it->second;
    int pair = 0;
    if (has_colors() && nextPair_ < COLOR_PAIRS) {
        pair = nextPair_++;
        int fg = kTerminalColour[foreground & 7] + (foreground >= 8 ? 8 : 0);
        init_pair(static_cast<short>(pair), static_cast<short>(fg),
                  static_cast<short>(kTerminalColour[background]));
    }
    pairs_[key] = pair;
    return pair;
}

void Terminal::flush(const std::vector<CellChange>& changes, const CursorState& cursor) {
    if (!active_ || suspended_) return;
    for (const CellChange& change : changes) {
        int fg = foregroundOf(change.cell.attr);
        attr_t attrs = A_NORMAL;
        if ((fg & colour::Bright) && colours_ < 16) {
            attrs |= A_BOLD;
            fg &= 7;
        }
        if (blinks(change.cell.attr)) attrs |= A_BLINK;
        wchar_t text[2] = {static_cast<wchar_t>(glyph(change.cell.ch)), 0};
        cchar_t cc;
        setcchar(&cc, text, attrs, static_cast<short>(pairOf(fg, backgroundOf(change.cell.attr))), nullptr);
        mvwadd_wch(stdscr, change.row, change.col, &cc);  // the bottom right cell reports ERR yet is set
    }
    if (cursorShown_ != static_cast<int>(cursor.visible)) {
        curs_set(cursor.visible ? 1 : 0);
        cursorShown_ = cursor.visible;
    }
    wmove(stdscr, cursor.row, cursor.col);
    wnoutrefresh(stdscr);
    doupdate();
}

void Terminal::suspend() {
    if (!active_ || suspended_) return;
    def_prog_mode();
    endwin();
    suspended_ = true;
}

void Terminal::resume() {
    if (!active_ || !suspended_) return;
    reset_prog_mode();
    suspended_ = false;
    cursorShown_ = -1;
    clearok(curscr, TRUE);
    wrefresh(stdscr);
}

int Terminal::translate(int status, unsigned k) {
    if (status == KEY_CODE_YES) {
        switch (k) {
            case KEY_UP:
                return key::Up;
            case KEY_DOWN:
                return key::Down;
            case KEY_LEFT:
                return key::Left;
            case KEY_RIGHT:
                return key::Right;
            case KEY_HOME:
            case KEY_A1:
            case KEY_FIND:
                return key::Home;
            case KEY_END:
            case KEY_C1:
            case KEY_SELECT:
                return key::End;
            case KEY_PPAGE:
            case KEY_A3:
                return key::PgUp;
            case KEY_NPAGE:
            case KEY_C3:
                return key::PgDn;
            case KEY_IC:
                return key::Ins;
            case KEY_DC:
                return key::Del;
            case KEY_BACKSPACE:
                return key::Backspace;
            case KEY_ENTER:
                return key::Enter;
            case KEY_BTAB:
                return key::ShiftTab;
            case KEY_RESIZE:
                // A larger window: draw everything again at the top left.
                clearok(curscr, TRUE);
                wrefresh(stdscr);
                return 0;
            default:
                break;
        }
        if (k >= static_cast<unsigned>(KEY_F(1)) && k <= static_cast<unsigned>(KEY_F(12)))
            return key::function(static_cast<int>(k - KEY_F0));
        if (k >= static_cast<unsigned>(KEY_F(13)) && k <= static_cast<unsigned>(KEY_F(22)))
            return key::shiftFunction(static_cast<int>(k - KEY_F0 - 12));
        if (k >= static_cast<unsigned>(KEY_F(25)) && k <= static_cast<unsigned>(KEY_F(34)))
            return key::ctrlFunction(static_cast<int>(k - KEY_F0 - 24));
        if (const char* name = keyname(static_cast<int>(k))) {
            std::string n = name;
            if (n == "kLFT5") return key::CtrlLeft;
            if (n == "kRIT5") return key::CtrlRight;
            if (n == "kHOM5") return key::CtrlHome;
            if (n == "kEND5") return key::CtrlEnd;
            if (n == "kPRV5") return key::CtrlPgUp;
            if (n == "kNXT5") return key::CtrlPgDn;
        }
        return 0;
    }
    switch (k) {
        case '\r':
        case '\n':
            return key::Enter;
        case 127:
        case 8:
            return key::Backspace;
        case 27: {
            // Alt+letter comes as Esc followed at once by the letter.
            wtimeout(stdscr, 0);
            wint_t next;
            int st = wget_wch(stdscr, &next);
            if (st == ERR) return key::Esc;
            if (st == OK && next < 128) {
                if (int a = key::alt(static_cast<char>(next))) return a;
            }
            if (int other = translate(st, next)) pending_.push_back(other);
            return key::Esc;
        }
        default:
            break;
    }
    if (k < 0x80) return static_cast<int>(k);
    int byte = core::unicodeToCp852(static_cast<char32_t>(k));
    return byte < 0 ? 0 : byte;
}

int Terminal::read(int millis) {
    if (!active_ || suspended_) return 0;
    wtimeout(stdscr, millis);
    wint_t k;
    int st = wget_wch(stdscr, &k);
    if (st == ERR) return 0;
    return translate(st, static_cast<unsigned>(k));
}

int Terminal::poll() {
    if (!pending_.empty()) {
        int k = pending_.front();
        pending_.pop_front();
        return k;
    }
    return read(0);
}

void Terminal::wait(os::Clock&, double seconds) {
    if (!pending_.empty()) return;
    int millis = seconds < 0 ? -1 : std::max(1, static_cast<int>(std::ceil(seconds * 1000)));
    if (int k = read(millis)) pending_.push_back(k);
}

void Terminal::discard() {
    pending_.clear();
    if (active_ && !suspended_) flushinp();
}

void Terminal::end(const Screen& last) {
    if (!active_) return;
    if (suspended_) reset_prog_mode();
    endwin();
    active_ = false;
    suspended_ = false;

    // endwin left the terminal's alternate screen (where there is one); print the last screen on the
    // normal one, as far as it holds anything, and leave the cursor where the program had it.
    int lastRow = last.row();
    for (int r = kRows - 1; r > lastRow; --r) {
        bool blank = true;
        for (int c = 0; c < kCols && blank; ++c)
            blank = last.charAt(r, c) == ' ' && backgroundOf(last.attrAt(r, c)) == colour::Black;
        if (!blank) {
            lastRow = r;
            break;
        }
    }
    std::string out = "\033[0m\033[H\033[2J";
    for (int r = 0; r <= lastRow; ++r) {
        out += "\033[" + std::to_string(r + 1) + ";1H";
        Attr current = 0;
        bool first = true;
        int width = kCols;
        while (width > 0 && last.charAt(r, width - 1) == ' ' &&
               last.attrAt(r, width - 1) == makeAttr(colour::White, colour::Black))
            --width;
        for (int c = 0; c < width; ++c) {
            Attr a = last.attrAt(r, c);
            if (first || a != current) out += sgr(a);
            current = a;
            first = false;
            core::appendUtf8(out, glyph(last.charAt(r, c)));
        }
        out += "\033[0m";
    }
    out += "\033[" + std::to_string(last.row() + 1) + ";" + std::to_string(last.col() + 1) + "H";
    if (last.col() != 0) out += "\r\n";  // what follows the program starts on a line of its own
    out += "\033[?25h";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

}  // namespace screen
