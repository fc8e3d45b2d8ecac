#include "platform/ui/browser.h"

#include <algorithm>
#include <climits>

#include "platform/context.h"
#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"
#include "platform/ui/picture.h"
#include "platform/xbase/table.h"

namespace ui {

namespace key = screen::key;

Browser::Browser(Context& ctx, xbase::Table& table, int top, int left, int bottom, int right)
    : ctx_(ctx), table_(table), top_(top), left_(left), bottom_(bottom), right_(right) {}

Browser& Browser::column(BrowseColumn column) {
    columns_.push_back(std::move(column));
    return *this;
}

Browser& Browser::column(std::string heading, std::string field, std::string picture) {
    BrowseColumn c;
    c.heading = std::move(heading);
    c.field = std::move(field);
    c.picture = std::move(picture);
    return column(std::move(c));
}

Browser& Browser::separators(std::string heading, std::string column, std::string footing) {
    headSep_ = std::move(heading);
    colSep_ = std::move(column);
    footSep_ = std::move(footing);
    return *this;
}

Browser& Browser::callback(Callback callback) {
    callback_ = std::move(callback);
    return *this;
}

int Browser::columnLeft(int column) const {
    return column >= 1 && column <= static_cast<int>(placed_.size())
               ? placed_[static_cast<size_t>(column - 1)].left
               : -1;
}

int Browser::columnWidth(int column) const {
    return column >= 1 && column <= static_cast<int>(placed_.size())
               ? placed_[static_cast<size_t>(column - 1)].width
               : 0;
}

namespace {

// Text cut or padded to a width; numbers are padded on the left.
std::string fit(std::string text, int width, bool right) {
    const auto w = static_cast<size_t>(std::max(width, 0));
    if (text.size() > w) text.resize(w);
    if (text.size() < w) {
        if (right)
            text.insert(0, w - text.size(), ' ');
        else
            text.append(w - text.size(), ' ');
    }
    return text;
}

// Marks the keyboard's last key so that a callback's reading of keys shows.
constexpr int kNoKeyRead = INT_MIN;

}  // namespace

core::Value Browser::value(size_t index) const {
    const BrowseColumn& c = columns_[index];
    if (!c.field.empty()) return table_.get(c.field);
    return c.value ? c.value() : core::Value::ofText("");
}

void Browser::layout() {
    const bool headings = std::any_of(columns_.begin(), columns_.end(),
                                      [](const BrowseColumn& c) { return !c.heading.empty(); });
    dataTop_ = top_ + (headings ? 1 : 0) + (headSep_.empty() ? 0 : 1);
    const int dataBottom = bottom_ - (footSep_.empty() ? 0 : 1);
    dataRows_ = std::max(0, dataBottom - dataTop_ + 1);

    placed_.clear();
    int x = left_;
    for (size_t i = 0; i < columns_.size(); ++i) {
        const BrowseColumn& c = columns_[i];
        if (i > 0) x += static_cast<int>(colSep_.size());
        int width = c.width;
        if (width <= 0) {
            // At the end of the table a field still gives its empty value at full width.
            const int data = static_cast<int>(formatValue(value(i), c.picture).size());
            width = std::max(static_cast<int>(c.heading.size()), data);
        }
        placed_.push_back({x, width});
        x += width;
    }
}

void Browser::put(int row, int col, std::string_view text, screen::Attr attr) {
    if (col > right_ || text.empty()) return;
    const auto room = static_cast<size_t>(right_ - col + 1);
    ctx_.screen->say(row, col, text.substr(0, room), attr);
}

void Browser::drawSeparator(int row, const std::string& sep) {
    if (sep.empty()) return;
    const screen::Attr attr = ctx_.screen->standard();
    const char fill = sep.back();
    for (size_t i = 0; i < placed_.size(); ++i) {
        if (i > 0 && !colSep_.empty()) {
            std::string under;
            for (size_t k = 0; k < colSep_.size(); ++k) under += k < sep.size() ? sep[k] : fill;
            put(row, placed_[i].left - static_cast<int>(colSep_.size()), under, attr);
        }
        put(row, placed_[i].left, std::string(static_cast<size_t>(placed_[i].width), fill), attr);
    }
}

void Browser::drawFrame() {
    screen::Screen& scr = *ctx_.screen;
    screen::Screen::Batch batch(scr);
    scr.clear(top_, left_, bottom_, right_);
    int row = top_;
    if (dataTop_ - top_ - (headSep_.empty() ? 0 : 1) > 0) {
        for (size_t i = 0; i < placed_.size(); ++i)
            put(row, placed_[i].left, fit(columns_[i].heading, placed_[i].width, false), scr.standard());
        ++row;
    }
    drawSeparator(row, headSep_);
    drawSeparator(bottom_, footSep_);
}

void Browser::drawRow(int row, bool present, bool current) {
    screen::Screen& scr = *ctx_.screen;
    for (size_t i = 0; i < placed_.size(); ++i) {
        if (i > 0) put(row, placed_[i].left - static_cast<int>(colSep_.size()), colSep_, scr.standard());
        std::string text(static_cast<size_t>(placed_[i].width), ' ');
        bool lit = false;
        if (present) {
            const core::Value v = value(i);
            text = fit(formatValue(v, columns_[i].picture), placed_[i].width, v.isNumber());
            lit = current && static_cast<int>(i) == column_;
        }
        put(row, placed_[i].left, text, lit ? scr.enhanced() : scr.standard());
    }
}

bool Browser::empty() {
    if (table_.eof()) table_.goTop();
    return table_.eof();
}

void Browser::drawPage() {
    screen::Screen& scr = *ctx_.screen;
    screen::Screen::Batch batch(scr);
    const int n = dataRows_;
    if (n == 0) return;
    // A record deleted meanwhile (by the callback) gives way to the next one.
    if (!table_.eof() && table_.deleted()) {
        table_.skip(1);
        if (table_.eof()) table_.goBottom();
    }
    if (empty()) {
        rowPos_ = 0;
        for (int r = 0; r < n; ++r) drawRow(dataTop_ + r, false, false);
        return;
    }
    const uint32_t current = table_.recno();
    // Records after the current one, then as many before it as keep its row and fill the page.
    int below = 0;
    while (below < n - 1) {
        table_.skip(1);
        if (table_.eof()) break;
        ++below;
    }
    table_.goTo(current);
    const int wantAbove = std::min(n - 1, std::max(rowPos_, n - 1 - below));
    int above = 0;
    while (above < wantAbove) {
        table_.skip(-1);
        if (table_.bof()) break;
        ++above;
    }
    rowPos_ = above;
    bool present = true;
    for (int r = 0; r < n; ++r) {
        if (r > 0 && present) {
            table_.skip(1);
            present = !table_.eof();
        }
        drawRow(dataTop_ + r, present, r == rowPos_);
    }
    table_.goTo(current);
    if (!placed_.empty()) scr.setCursor(currentRow(), placed_[static_cast<size_t>(column_)].left);
}

bool Browser::down() {
    const uint32_t from = table_.recno();
    table_.skip(1);
    if (table_.eof()) {
        table_.goTo(from);
        return false;
    }
    rowPos_ = std::min(rowPos_ + 1, dataRows_ - 1);
    return true;
}

bool Browser::up() {
    const uint32_t from = table_.recno();
    table_.skip(-1);
    if (table_.bof()) {
        table_.goTo(from);
        return false;
    }
    rowPos_ = std::max(rowPos_ - 1, 0);
    return true;
}

bool Browser::pageDown() {
    uint32_t last = table_.recno();
    int moved = 0;
    for (; moved < std::max(dataRows_, 1); ++moved) {
        table_.skip(1);
        if (table_.eof()) break;
        last = table_.recno();
    }
    if (table_.eof()) table_.goTo(last);
    return moved > 0;
}

bool Browser::pageUp() {
    uint32_t first = table_.recno();
    int moved = 0;
    for (; moved < std::max(dataRows_, 1); ++moved) {
        table_.skip(-1);
        if (table_.bof()) break;
        first = table_.recno();
    }
    if (table_.bof()) table_.goTo(first);
    return moved > 0;
}

void Browser::run() {
    screen::Keyboard& kb = *ctx_.keyboard;
    if (table_.eof()) table_.goTop();
    rowPos_ = 0;
    column_ = 0;
    layout();
    drawFrame();
    bool hitTop = false, hitBottom = false, redraw = true;
    auto answer = [&](BrowseAction a) {
        if (a == BrowseAction::Refresh) redraw = true;
        return a != BrowseAction::Stop;
    };

    for (;;) {
        if (redraw) drawPage();
        redraw = false;
        if (callback_ && kb.nextKey() == 0) {
            const BrowseMode mode = empty()     ? BrowseMode::Empty
                                    : hitBottom ? BrowseMode::Bottom
                                    : hitTop    ? BrowseMode::Top
                                                : BrowseMode::Idle;
            hitTop = hitBottom = false;
            const int before = kb.lastKey();
            kb.setLastKey(kNoKeyRead);
            const BrowseAction a = callback_(mode, currentColumn());
            const bool readKeys = kb.lastKey() != kNoKeyRead;
            if (!readKeys) kb.setLastKey(before);
            if (!answer(a)) return;
            // A callback that reads the keys itself is asked again rather than the browser waiting.
            if (readKeys && kb.nextKey() == 0) continue;
            if (redraw) drawPage();
            redraw = false;
        }

        const int k = kb.inkey(-1);
        bool moved = false;
        // A refused move is remembered for the next idle call (Top or Bottom).
        auto step = [&](bool ok, bool towardsTop) {
            if (ok) {
                moved = true;
            } else {
                hitTop = towardsTop;
                hitBottom = !towardsTop;
            }
        };
        switch (k) {
            case key::Down:
                if (!empty()) step(down(), false);
                break;
            case key::Up:
                if (!empty()) step(up(), true);
                break;
            case key::PgDn:
                if (!empty()) step(pageDown(), false);
                break;
            case key::PgUp:
                if (!empty()) step(pageUp(), true);
                break;
            case key::Home:
            case key::CtrlPgUp:
                if (!empty()) {
                    table_.goTop();
                    rowPos_ = 0;
                    moved = true;
                }
                break;
            case key::End:
            case key::CtrlPgDn:
                if (!empty()) {
                    table_.goBottom();
                    rowPos_ = dataRows_ - 1;
                    moved = true;
                }
                break;
            case key::Left:
                if (column_ > 0) --column_;
                moved = true;
                break;
            case key::Right:
                if (column_ + 1 < static_cast<int>(columns_.size())) ++column_;
                moved = true;
                break;
            default:
                if (!callback_) {
                    if (k == key::Enter || k == key::Esc) return;
                    break;
                }
                hitTop = hitBottom = false;
                if (!answer(callback_(BrowseMode::Exception, currentColumn()))) return;
                break;
        }
        if (moved) {
            hitTop = hitBottom = false;
            redraw = true;
        }
    }
}

}  // namespace ui
