#include "platform/ui/memo.h"

#include <algorithm>

#include "platform/context.h"
#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"

namespace ui {

namespace key = screen::key;

namespace {

constexpr int kInitCalls = 100;

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    lines.push_back(text.substr(start));
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += lines[i];
    }
    return text;
}

bool before(int line1, int seg1, int line2, int seg2) {
    return line1 < line2 || (line1 == line2 && seg1 < seg2);
}

}  // namespace

MemoEditor::MemoEditor(Context& ctx, int top, int left, int bottom, int right)
    : ctx_(ctx), top_(top), left_(left), bottom_(bottom), right_(right) {}

MemoEditor& MemoEditor::callback(Callback callback) {
    callback_ = std::move(callback);
    return *this;
}

MemoEditor& MemoEditor::lineLength(int length) {
    lineLength_ = std::max(length, 1);
    return *this;
}

int MemoEditor::rowsOf(int line) const {
    const int len = static_cast<int>(lines_[static_cast<size_t>(line)].size());
    return std::max(1, (len + lineLength_ - 1) / lineLength_);
}

int MemoEditor::segOf(int line, int col) const {
    return std::min(col / lineLength_, rowsOf(line) - 1);
}

bool MemoEditor::nextRow(Pos& p) const {
    if (p.seg + 1 < rowsOf(p.line)) {
        ++p.seg;
        return true;
    }
    if (p.line + 1 < static_cast<int>(lines_.size())) {
        ++p.line;
        p.seg = 0;
        return true;
    }
    return false;
}

bool MemoEditor::previousRow(Pos& p) const {
    if (p.seg > 0) {
        --p.seg;
        return true;
    }
    if (p.line > 0) {
        --p.line;
        p.seg = rowsOf(p.line) - 1;
        return true;
    }
    return false;
}

void MemoEditor::ensureVisible() {
    const int height = bottom_ - top_ + 1, width = right_ - left_ + 1;
    const int lines = static_cast<int>(lines_.size());
    // Lines deleted under the top row.
    if (topRow_.line >= lines) topRow_ = {lines - 1, 0};
    topRow_.seg = std::min(topRow_.seg, rowsOf(topRow_.line) - 1);

    const Pos c = cursor();
    if (before(c.line, c.seg, topRow_.line, topRow_.seg)) {
        topRow_ = c;
    } else {
        Pos p = topRow_;
        int distance = 0;
        while ((p.line != c.line || p.seg != c.seg) && distance < height && nextRow(p)) ++distance;
        if (distance >= height) {
            topRow_ = c;
            for (int i = 0; i < height - 1; ++i) previousRow(topRow_);
        }
    }
    const int offset = col_ - c.seg * lineLength_;
    if (offset < leftCol_) leftCol_ = offset;
    if (offset >= leftCol_ + width) leftCol_ = offset - width + 1;
}

void MemoEditor::draw() {
    screen::Screen& scr = *ctx_.screen;
    screen::Screen::Batch batch(scr);
    const int height = bottom_ - top_ + 1, width = right_ - left_ + 1;
    const Pos c = cursor();
    Pos p = topRow_;
    bool more = true;
    int cursorRow = 0;
    for (int r = 0; r < height; ++r) {
        std::string shown;
        if (more) {
            if (p.line == c.line && p.seg == c.seg) cursorRow = r;
            const std::string& line = lines_[static_cast<size_t>(p.line)];
            const size_t start = static_cast<size_t>(p.seg * lineLength_ + leftCol_);
            const size_t end = std::min(line.size(), static_cast<size_t>((p.seg + 1) * lineLength_));
            if (start < end) shown = line.substr(start, std::min(end - start, static_cast<size_t>(width)));
            more = nextRow(p);
        }
        shown.resize(static_cast<size_t>(width), ' ');
        scr.say(top_ + r, left_, shown, scr.standard());
    }
    scr.setCursor(top_ + cursorRow, left_ + col_ - c.seg * lineLength_ - leftCol_);
}

void MemoEditor::modified() {
    changed_ = true;
}

void MemoEditor::insertChar(char c) {
    std::string& s = lines_[static_cast<size_t>(line_)];
    const auto at = static_cast<size_t>(col_);
    if (insert_ || at >= s.size())
        s.insert(at, 1, c);
    else
        s[at] = c;
    ++col_;
    modified();
}

int MemoEditor::verticalMove(int rows) {
    const Pos c = cursor();
    if (wantOffset_ < 0) wantOffset_ = col_ - c.seg * lineLength_;
    Pos p = c;
    int moved = 0;
    while (moved < std::abs(rows) && (rows > 0 ? nextRow(p) : previousRow(p))) ++moved;
    line_ = p.line;
    col_ = std::min(p.seg * lineLength_ + wantOffset_,
                    static_cast<int>(lines_[static_cast<size_t>(line_)].size()));
    return moved;
}

bool MemoEditor::act(int k, bool asData) {
    std::string& s = lines_[static_cast<size_t>(line_)];
    const int len = static_cast<int>(s.size());
    const int lines = static_cast<int>(lines_.size());
    const int height = bottom_ - top_ + 1;
    if (asData || (k >= 32 && k <= 255)) {
        if (k >= 1 && k <= 255) insertChar(static_cast<char>(k));
        wantOffset_ = -1;
        return true;
    }
    const bool vertical = k == key::Up || k == key::Down || k == key::PgUp || k == key::PgDn;
    if (!vertical) wantOffset_ = -1;
    switch (k) {
        case key::CtrlEnd:  // Ctrl-W
            saved_ = true;
            return false;
        case key::Esc:
            saved_ = false;
            return false;
        case key::Enter: {
            std::string rest = s.substr(static_cast<size_t>(col_));
            s.erase(static_cast<size_t>(col_));
            lines_.insert(lines_.begin() + line_ + 1, std::move(rest));
            ++line_;
            col_ = 0;
            modified();
            break;
        }
        case key::ctrl('Y'):
            if (lines == 1)
                lines_[0].clear();
            else
                lines_.erase(lines_.begin() + line_);
            line_ = std::min(line_, static_cast<int>(lines_.size()) - 1);
            col_ = std::min(col_, static_cast<int>(lines_[static_cast<size_t>(line_)].size()));
            modified();
            break;
        case key::Del:
            if (col_ < len) {
                s.erase(static_cast<size_t>(col_), 1);
                modified();
            } else if (line_ + 1 < lines) {
                s += lines_[static_cast<size_t>(line_ + 1)];
                lines_.erase(lines_.begin() + line_ + 1);
                modified();
            }
            break;
        case key::Backspace:
            if (col_ > 0) {
                s.erase(static_cast<size_t>(--col_), 1);
                modified();
            } else if (line_ > 0) {
                std::string& above = lines_[static_cast<size_t>(line_ - 1)];
                col_ = static_cast<int>(above.size());
                above += s;
                lines_.erase(lines_.begin() + line_);
                --line_;
                modified();
            }
            break;
        case key::Tab:
            for (int n = 4 - col_ % 4; n > 0; --n) {
                s.insert(static_cast<size_t>(col_), 1, ' ');
                ++col_;
            }
            modified();
            break;
        case key::Ins:
            insert_ = !insert_;
            break;
        case key::Left:
            if (col_ > 0) {
                --col_;
            } else if (line_ > 0) {
                --line_;
                col_ = static_cast<int>(lines_[static_cast<size_t>(line_)].size());
            }
            break;
        case key::Right:
            if (col_ < len) {
                ++col_;
            } else if (line_ + 1 < lines) {
                ++line_;
                col_ = 0;
            }
            break;
        case key::CtrlLeft:
            if (col_ == 0) {
                if (line_ > 0) {
                    --line_;
                    col_ = static_cast<int>(lines_[static_cast<size_t>(line_)].size());
                }
                break;
            }
            while (col_ > 0 && s[static_cast<size_t>(col_ - 1)] == ' ') --col_;
            while (col_ > 0 && s[static_cast<size_t>(col_ - 1)] != ' ') --col_;
            break;
        case key::CtrlRight:
            if (col_ >= len) {
                if (line_ + 1 < lines) {
                    ++line_;
                    col_ = 0;
                }
                break;
            }
            while (col_ < len && s[static_cast<size_t>(col_)] != ' ') ++col_;
            while (col_ < len && s[static_cast<size_t>(col_)] == ' ') ++col_;
            break;
        case key::Up:
            verticalMove(-1);
            break;
        case key::Down:
            verticalMove(1);
            break;
        case key::PgDn:
            // The window follows by as many rows as the cursor went.
            for (int n = verticalMove(height); n > 0 && nextRow(topRow_); --n) {
            }
            break;
        case key::PgUp:
            for (int n = verticalMove(-height); n > 0 && previousRow(topRow_); --n) {
            }
            break;
        case key::Home:
            col_ = 0;
            break;
        case key::End:
            col_ = len;
            break;
        case key::CtrlHome:
        case key::CtrlPgUp:
            line_ = 0;
            col_ = 0;
            break;
        case key::CtrlPgDn:
            line_ = lines - 1;
            col_ = static_cast<int>(lines_.back().size());
            break;
        default:
            break;
    }
    return true;
}

MemoResult MemoEditor::edit(const std::string& text) {
    screen::Keyboard& kb = *ctx_.keyboard;
    lines_ = splitLines(text);
    line_ = col_ = 0;
    wantOffset_ = -1;
    topRow_ = {};
    leftCol_ = 0;
    changed_ = saved_ = false;
    ensureVisible();
    draw();

    if (callback_) {
        for (int i = 0; i < kInitCalls; ++i) {
            const int answer = callback_(MemoMode::Init, line(), column());
            if (answer == kMemoDefault) break;
            if (answer == key::Ins) insert_ = !insert_;
        }
    }
    for (;;) {
        ensureVisible();
        draw();
        if (callback_ && kb.nextKey() == 0) {
            const int answer = callback_(MemoMode::Idle, line(), column());
            if (answer >= 1 && answer <= 31 && !act(answer)) break;
            ensureVisible();
            draw();
        }
        const int k = kb.inkey(-1);
        bool goOn = true;
        if (callback_) {
            const int answer = callback_(changed_ ? MemoMode::KeyChanged : MemoMode::Key, line(), column());
            if (answer >= 1 && answer <= 31)
                goOn = act(answer);
            else if (answer == kMemoData)
                goOn = act(k, true);
            else if (answer != kMemoIgnore)
                goOn = act(k);
        } else {
            goOn = act(k);
        }
        if (!goOn) break;
    }
    return {saved_ ? joinLines(lines_) : text, saved_};
}

}  // namespace ui
