#include "platform/ui/form.h"

#include <algorithm>
#include <optional>

#include "platform/context.h"
#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"
#include "platform/settings/settings.h"
#include "platform/ui/picture.h"
#include "platform/xbase/table.h"

namespace ui {

namespace key = screen::key;

Binding bindSetting(settings::Settings& settings, std::string name) {
    return {[&settings, name] { return settings.get(name); },
            [&settings, name](const core::Value& v) { settings.set(name, v); }};
}

Binding bindField(xbase::Table& table, std::string field) {
    return {[&table, field] { return table.get(field); },
            [&table, field](const core::Value& v) { table.put(field, v); }};
}

Binding bindValue(core::Value& value) {
    return {[&value] { return value; }, [&value](const core::Value& v) { value = v; }};
}

namespace {

// The text of one field while it is being edited.
class EditBuffer {
  public:
    EditBuffer(core::Value original, std::string_view picture)
        : original_(std::move(original)),
          mask_(effectivePicture(original_, picture)),
          text_(formatValue(original_, picture)) {
        text_.resize(mask_.size(), ' ');
        pos_ = std::max(first(), 0);
        // The first character typed into a number replaces it, as the operator expects.
        clear_ = original_.isNumber();
    }

    const std::string& text() const { return text_; }
    int pos() const { return pos_; }
    bool changed() const { return changed_; }

    void left() { move(previous(pos_)); }
    void right() { move(next(pos_)); }
    void home() { move(first()); }
    void end() {
        int p = last();
        while (p >= 0 && (!editable(p) || text_[at(p)] == ' ')) --p;
        move(p < 0 ? first() : next(p));
    }

    void type(char c, bool insert) {
        if (first() < 0) return;
        if (original_.isNumber() && (c == '.' || c == ',') && mask_.find('.') != std::string::npos) {
            toDecimals();
            return;
        }
        auto accepted = acceptChar(mask_[at(pos_)], c, original_.type);
        if (!accepted) return;
        if (clear_) blankFrom(first());
        clear_ = false;
        if (insert)
            for (int q = runEnd(pos_); q > pos_; --q) text_[at(q)] = text_[at(q - 1)];
        text_[at(pos_)] = *accepted;
        changed_ = true;
        pos_ = next(pos_);
    }

    void del() {
        clear_ = false;
        if (first() < 0) return;
        const int end = runEnd(pos_);
        for (int q = pos_; q < end; ++q) text_[at(q)] = text_[at(q + 1)];
        text_[at(end)] = ' ';
        changed_ = true;
    }

    void backspace() {
        clear_ = false;
        if (first() < 0 || pos_ == first()) return;
        pos_ = previous(pos_);
        del();
    }

    void blankToEnd() {
        clear_ = false;
        if (first() < 0) return;
        blankFrom(pos_);
        changed_ = true;
    }

    // The value the text stands for, or nothing when it cannot be stored (an impossible date).
    std::optional<core::Value> value() const {
        switch (original_.type) {
            case core::Type::Text: {
                std::string out;
                for (int p = 0; p < size(); ++p)
                    if (editable(p)) out += text_[at(p)];
                // A value longer than its mask keeps the part the mask does not show.
                if (out.size() < original_.text.size()) out += original_.text.substr(out.size());
                return core::Value::ofText(out);
            }
            case core::Type::Number: {
                int decimals = 0;
                if (auto point = mask_.find('.'); point != std::string::npos)
                    decimals = static_cast<int>(
                        std::count_if(mask_.begin() + static_cast<long>(point), mask_.end(), isTemplateChar));
                return core::Value::ofNumber(number(), original_.width,
                                             std::max(original_.decimals, decimals));
            }
            case core::Type::Date: {
                core::Date d = core::Date::fromDisplay(text_);
                if (d.empty() &&
                    std::any_of(text_.begin(), text_.end(), [](char c) { return c != ' ' && c != '.'; }))
                    return std::nullopt;
                return core::Value::ofDate(d);
            }
            case core::Type::Logical:
                return core::Value::ofLogical(first() >= 0 &&
                                              (text_[at(first())] == 'T' || text_[at(first())] == 'Y'));
        }
        return std::nullopt;
    }

  private:
    static size_t at(int p) { return static_cast<size_t>(p); }
    int size() const { return static_cast<int>(mask_.size()); }
    bool editable(int p) const { return p >= 0 && p < size() && isTemplateChar(mask_[at(p)]); }
    int first() const {
        for (int p = 0; p < size(); ++p)
            if (editable(p)) return p;
        return -1;
    }
    int last() const {
        for (int p = size() - 1; p >= 0; --p)
            if (editable(p)) return p;
        return -1;
    }
    int next(int p) const {
        for (int q = p + 1; q < size(); ++q)
            if (editable(q)) return q;
        return p;
    }
    int previous(int p) const {
        for (int q = p - 1; q >= 0; --q)
            if (editable(q)) return q;
        return p;
    }
    // The last position of the run of template positions that holds p: insertion and deletion shift
    // only within it, so literals stay where they are.
    int runEnd(int p) const {
        while (editable(p + 1)) ++p;
        return p;
    }
    void move(int p) {
        clear_ = false;
        if (p >= 0) pos_ = p;
    }
    void blankFrom(int p) {
        for (int q = p; q < size(); ++q)
            if (editable(q)) text_[at(q)] = ' ';
    }
    double number() const {
        std::string digits;
        for (int p = 0; p < size(); ++p)
            if ((editable(p) || mask_[at(p)] == '.') && text_[at(p)] != ' ') digits += text_[at(p)];
        return core::readNumber(digits);
    }
    // "." in a number: the whole part is set right-aligned before the point and the cursor goes to the
    // first decimal.
    void toDecimals() {
        if (clear_) blankFrom(first());
        clear_ = false;
        core::Value v = original_;
        v.number = number();
        text_ = formatValue(v, mask_);
        text_.resize(mask_.size(), ' ');
        changed_ = true;
        const int point = static_cast<int>(mask_.find('.'));
        if (editable(point + 1)) pos_ = point + 1;
    }

    core::Value original_;
    std::string mask_;
    std::string text_;
    int pos_ = 0;
    bool changed_ = false;
    bool clear_ = false;
};

// Puts the cursor's visibility back as it was.
class CursorShown {
  public:
    explicit CursorShown(screen::Screen& scr) : scr_(scr), was_(scr.cursorVisible()) {
        scr_.setCursorVisible(true);
    }
    ~CursorShown() { scr_.setCursorVisible(was_); }
    CursorShown(const CursorShown&) = delete;
    CursorShown& operator=(const CursorShown&) = delete;

  private:
    screen::Screen& scr_;
    bool was_;
};

}  // namespace

Form::Form(Context& ctx, std::string colours) : ctx_(ctx), colours_(std::move(colours)) {}

Form& Form::field(int row, int col, Binding binding, std::string picture) {
    fields_.push_back({row, col, std::move(binding), std::move(picture), {}, {}});
    return *this;
}

Form& Form::valid(std::function<bool()> check) {
    if (!fields_.empty()) fields_.back().valid = std::move(check);
    return *this;
}

Form& Form::when(std::function<bool()> condition) {
    if (!fields_.empty()) fields_.back().when = std::move(condition);
    return *this;
}

bool Form::enterable(int index) {
    const Field& f = fields_[static_cast<size_t>(index)];
    return !f.when || f.when();
}

bool Form::read() {
    screen::Screen& scr = *ctx_.screen;
    const screen::ColourSet set =
        colours_.empty() ? scr.colours() : screen::applyColourString(colours_, scr.colours());
    unselected_ = set.slot(screen::ColourSlot::Unselected);
    active_ = set.enhanced();
    lastKey_ = 0;
    updated_ = false;
    finish_ = false;
    {
        screen::Screen::Batch batch(scr);
        for (const Field& f : fields_)
            scr.say(f.row, f.col, formatValue(f.binding.get(), f.picture), unselected_);
    }
    CursorShown cursor(scr);

    auto forward = [&](int from) {
        for (int i = from; i < size() && !finish_; ++i)
            if (enterable(i)) return i;
        return -1;
    };
    auto backward = [&](int from) {
        for (int i = from; i >= 0 && !finish_; --i)
            if (enterable(i)) return i;
        return -1;
    };

    int i = forward(0);
    while (i >= 0 && !finish_) {
        current_ = i;
        const Exit exit = edit(fields_[static_cast<size_t>(i)]);
        if (exit == Exit::Escape) return false;
        if (finish_ || exit == Exit::Write) break;
        int j = -1;
        switch (exit) {
            case Exit::Next:
                j = forward(i + 1);
                if (j < 0) return true;
                break;
            case Exit::Down:
                j = forward(i + 1);
                break;
            case Exit::Previous:
                j = backward(i - 1);
                break;
            case Exit::First:
                j = forward(0);
                break;
            default:
                break;
        }
        if (j >= 0) i = j;
    }
    return true;
}

Form::Exit Form::edit(Field& f) {
    screen::Screen& scr = *ctx_.screen;
    screen::Keyboard& kb = *ctx_.keyboard;
    EditBuffer buffer(f.binding.get(), f.picture);
    auto draw = [&] {
        scr.say(f.row, f.col, buffer.text(), active_);
        scr.setCursor(f.row, f.col + buffer.pos());
    };
    draw();
    for (;;) {
        const int k = kb.inkey(-1);
        lastKey_ = k;
        Exit exit = Exit::None;
        switch (k) {
            case key::Esc:
                scr.say(f.row, f.col, formatValue(f.binding.get(), f.picture), unselected_);
                return Exit::Escape;
            case key::Enter:
                exit = Exit::Next;
                break;
            case key::Down:
            case key::Tab:
                exit = Exit::Down;
                break;
            case key::Up:
            case key::ShiftTab:
                exit = Exit::Previous;
                break;
            case key::CtrlHome:
                exit = Exit::First;
                break;
            case key::PgUp:
            case key::PgDn:
            case key::CtrlEnd:  // Ctrl-W
                exit = Exit::Write;
                break;
            case key::Left:
                buffer.left();
                break;
            case key::Right:
                buffer.right();
                break;
            case key::Home:
                buffer.home();
                break;
            case key::End:
                buffer.end();
                break;
            case key::Del:
                buffer.del();
                break;
            case key::Backspace:
                buffer.backspace();
                break;
            case key::ctrl('Y'):
                buffer.blankToEnd();
                break;
            case key::Ins:
                insert_ = !insert_;
                break;
            default:
                if (k >= 32 && k <= 255) buffer.type(static_cast<char>(k), insert_);
                break;
        }
        if (exit == Exit::None) {
            draw();
            continue;
        }
        if (buffer.changed()) {
            auto value = buffer.value();
            if (!value) {  // an impossible date is not left
                draw();
                continue;
            }
            f.binding.set(*value);
            updated_ = true;
        }
        const bool ok = !f.valid || f.valid();
        if (!ok && !finish_) {
            buffer = EditBuffer(f.binding.get(), f.picture);
            draw();
            continue;
        }
        scr.say(f.row, f.col, formatValue(f.binding.get(), f.picture), unselected_);
        return exit;
    }
}

}  // namespace ui
