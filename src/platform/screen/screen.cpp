#include "platform/screen/screen.h"

#include <algorithm>

#include "platform/core/cp852.h"

namespace screen {

using namespace core::literals;

namespace {
constexpr std::string_view kSingle = "┌─┐│┘─└│"_cp;
constexpr std::string_view kDouble = "╔═╗║╝═╚║"_cp;

bool inside(int row, int col) {
    return row >= 0 && row < kRows && col >= 0 && col < kCols;
}
int clampRow(int row) {
    return std::clamp(row, 0, kRows - 1);
}
int clampCol(int col) {
    return std::clamp(col, 0, kCols - 1);
}
}  // namespace

std::string_view Screen::frameChars(Frame frame) {
    return frame == Frame::Single ? kSingle : kDouble;
}

Screen::Screen(Backend* backend)
    : cells_(kRows * kCols, Cell{' ', ColourSet::defaults().standard()}),
      dirty_(kRows * kCols, true),
      anyDirty_(true),
      backend_(backend) {}

void Screen::setBackend(Backend* backend) {
    backend_ = backend;
    invalidate();
}

void Screen::setColour(std::string_view colours) {
    colours_ = applyColourString(colours, colours_);
}

void Screen::put(int row, int col, char ch, Attr attr) {
    if (!inside(row, col)) return;
    int i = index(row, col);
    Cell c{ch, attr};
    if (cells_[i] == c) return;
    cells_[i] = c;
    dirty_[i] = true;
    anyDirty_ = true;
}

void Screen::changed() {
    if (batch_ == 0) flush();
}

void Screen::say(int row, int col, std::string_view text) {
    say(row, col, text, colours_.standard());
}

void Screen::say(int row, int col, std::string_view text, std::string_view colours) {
    say(row, col, text, parseColourPair(colours.substr(0, colours.find(','))));
}

void Screen::say(int row, int col, std::string_view text, Attr attr) {
    for (std::size_t i = 0; i < text.size(); ++i) put(row, col + static_cast<int>(i), text[i], attr);
    cursor_.row = clampRow(row);
    cursor_.col = clampCol(col + static_cast<int>(text.size()));
    changed();
}

void Screen::scrollUp() {
    std::move(cells_.begin() + kCols, cells_.end(), cells_.begin());
    std::fill(cells_.end() - kCols, cells_.end(), Cell{' ', colours_.standard()});
    std::fill(dirty_.begin(), dirty_.end(), true);
    anyDirty_ = true;
}

void Screen::newline() {
    cursor_.col = 0;
    if (cursor_.row == kRows - 1)
        scrollUp();
    else
        ++cursor_.row;
    changed();
}

void Screen::out(std::string_view text) {
    {
        Batch batch(*this);
        for (char ch : text) {
            if (ch == '\r') {
                cursor_.col = 0;
            } else if (ch == '\n') {
                newline();
            } else if (ch == '\b') {
                if (cursor_.col > 0) --cursor_.col;
            } else if (ch == '\a') {
                // no bell on this screen
            } else {
                put(cursor_.row, cursor_.col, ch, colours_.standard());
                if (++cursor_.col == kCols) newline();
            }
        }
    }
}

void Screen::clear() {
    clear(0, 0, kRows - 1, kCols - 1);
    setCursor(0, 0);
}

void Screen::clear(int top, int left, int bottom, int right) {
    clear(top, left, bottom, right, colours_.standard());
}

void Screen::clear(int top, int left, int bottom, int right, Attr attr) {
    for (int r = std::max(top, 0); r <= std::min(bottom, kRows - 1); ++r)
        for (int c = std::max(left, 0); c <= std::min(right, kCols - 1); ++c) put(r, c, ' ', attr);
    changed();
}

void Screen::box(int top, int left, int bottom, int right, Frame frame) {
    box(top, left, bottom, right, frame, colours_.standard());
}

void Screen::box(int top, int left, int bottom, int right, Frame frame, Attr attr) {
    if (bottom < top || right < left) return;
    std::string_view f = frameChars(frame);
    if (top == bottom) {
        for (int c = left; c <= right; ++c) put(top, c, f[1], attr);
    } else if (left == right) {
        for (int r = top; r <= bottom; ++r) put(r, left, f[7], attr);
    } else {
        put(top, left, f[0], attr);
        put(top, right, f[2], attr);
        put(bottom, right, f[4], attr);
        put(bottom, left, f[6], attr);
        for (int c = left + 1; c < right; ++c) {
            put(top, c, f[1], attr);
            put(bottom, c, f[5], attr);
        }
        for (int r = top + 1; r < bottom; ++r) {
            put(r, right, f[3], attr);
            put(r, left, f[7], attr);
        }
    }
    setCursor(clampRow(top + 1), clampCol(left + 1));
}

SavedRegion Screen::save(int top, int left, int bottom, int right) const {
    SavedRegion region;
    region.top_ = clampRow(top);
    region.left_ = clampCol(left);
    region.bottom_ = std::min(bottom, kRows - 1);
    region.right_ = std::min(right, kCols - 1);
    for (int r = region.top_; r <= region.bottom_; ++r)
        for (int c = region.left_; c <= region.right_; ++c) region.cells_.push_back(cells_[index(r, c)]);
    return region;
}

void Screen::restore(const SavedRegion& region) {
    std::size_t i = 0;
    for (int r = region.top_; r <= region.bottom_; ++r)
        for (int c = region.left_; c <= region.right_; ++c, ++i)
            put(r, c, region.cells_[i].ch, region.cells_[i].attr);
    changed();
}

void Screen::setCursor(int row, int col) {
    cursor_.row = clampRow(row);
    cursor_.col = clampCol(col);
    changed();
}

void Screen::setCursorVisible(bool visible) {
    cursor_.visible = visible;
    changed();
}

std::string Screen::rowText(int row) const {
    std::string text;
    text.reserve(kCols);
    for (int c = 0; c < kCols; ++c) text += cells_[index(clampRow(row), c)].ch;
    return text;
}

std::string Screen::dump() const {
    std::string text;
    for (int r = 0; r < kRows; ++r) {
        std::string line = rowText(r);
        line.erase(line.find_last_not_of(' ') + 1);
        text += core::cp852ToUtf8(line);
        text += '\n';
    }
    return text;
}

void Screen::suspend() {
    flush();
    if (backend_) backend_->suspend();
}

void Screen::resume() {
    if (backend_) backend_->resume();
    invalidate();
    flush();
}

void Screen::invalidate() {
    std::fill(dirty_.begin(), dirty_.end(), true);
    anyDirty_ = true;
    cursorSent_ = false;
}

void Screen::flush() {
    if (!backend_) return;
    if (!anyDirty_ && cursorSent_ && flushedCursor_ == cursor_) return;
    std::vector<CellChange> changes;
    if (anyDirty_) {
        for (int i = 0; i < kRows * kCols; ++i)
            if (dirty_[i]) {
                changes.push_back(CellChange{i / kCols, i % kCols, cells_[i]});
                dirty_[i] = false;
            }
        anyDirty_ = false;
    }
    flushedCursor_ = cursor_;
    cursorSent_ = true;
    backend_->flush(changes, cursor_);
}

}  // namespace screen
