#pragma once
// The entry form: fields at fixed places, each bound to a value (a named setting, a table field, a
// variable), edited one at a time through a picture mask (platform/ui/picture.h).
//
//     ui::Form form(ctx, "W/N,N/W,,,W+/N");
//     form.field(2, 3, ui::bindSetting(*ctx.settings, "OPIS"), "!XXXXXXXXXXXXXXXXXXXXXXXXX");
//     form.field(2, 30, ui::bindSetting(*ctx.settings, "PORT"), "999")
//         .valid([&] { return ctx.settings->number("PORT") > 0; });
//     bool stored = form.read();        // false after Esc
//
// The kind of field follows the bound value: a text is as wide as its mask (or its own length without
// one); a number is edited through its mask ("999", "9999.99") or its own width and decimals, and the
// first character typed after the field is entered replaces the whole number; a date is edited as
// dd.mm.yyyy and cannot be left holding an invalid date; a logical takes T/Y or F/N.
//
// Keys inside a field: characters are typed in insert mode (the tail of the field shifts right and what
// falls off its end is lost; Ins switches to overwriting and back, for this form), Left, Right, Home,
// End, Del, Backspace and Ctrl-Y (blank to the end). The cursor stays on the last position when the
// field is full: only Enter leaves a field. No bell sounds and no insert indicator is shown.
//
// Between fields: Enter goes to the next field and on the last one ends the form; Down and Tab go to
// the next field and stay on the last; Up and Shift-Tab go to the previous one and stay on the first;
// Ctrl-Home goes to the first; PgDn, PgUp and Ctrl-W end the form; Esc abandons it. Other keys are
// ignored.
//
// Storing: a field's value is stored in its binding when the field is left with any key but Esc and
// its text was changed; then its check runs, and while the check answers false the cursor stays in the
// field. Esc leaves the field being edited unstored, while fields left before keep what was stored. A
// field whose pre-condition ("when") answers false is passed over in the direction of travel.
//
// Colours: the form's colour string is laid over the screen's current colours; the field being edited
// is drawn in the enhanced colour, the others in the unselected (fifth) colour. The cursor is shown
// while the form runs and put back as it was afterwards; the screen's colours are left unchanged.
// Keys come from the keyboard, typeahead first: three queued Enters accept three fields.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/core/value.h"

struct Context;
namespace settings {
class Settings;
}
namespace xbase {
class Table;
}

namespace ui {

// Where a field's value comes from and goes to.
struct Binding {
    std::function<core::Value()> get;
    std::function<void(const core::Value&)> set;
};

// The visible setting of that name (the innermost private one, else the public one).
Binding bindSetting(settings::Settings& settings, std::string name);
// A field of the table's current record.
Binding bindField(xbase::Table& table, std::string field);
// A value held by the caller; it must outlive the form.
Binding bindValue(core::Value& value);

class Form {
  public:
    explicit Form(Context& ctx, std::string colours = "");

    // Adds a field; valid() and when() after it apply to this field.
    Form& field(int row, int col, Binding binding, std::string picture = "");
    // Check run after the field's value is stored on leaving it; false keeps the cursor in the field.
    Form& valid(std::function<bool()> check);
    // Pre-condition run before the field is entered; false passes the field over.
    Form& when(std::function<bool()> condition);

    // Draws every field and edits them from the first. True when the form ended without Esc.
    bool read();

    // The key that ended the form.
    int lastKey() const { return lastKey_; }
    // Whether any field's value was stored.
    bool updated() const { return updated_; }
    // The field being edited (0-based), for a check that needs to know.
    int current() const { return current_; }
    // From a check or pre-condition: end the form, as completed, as soon as the check returns.
    void finish() { finish_ = true; }

    int size() const { return static_cast<int>(fields_.size()); }

  private:
    struct Field {
        int row = 0, col = 0;
        Binding binding;
        std::string picture;
        std::function<bool()> valid, when;
    };
    enum class Exit { None, Next, Down, Previous, First, Write, Escape };

    Exit edit(Field& f);
    bool enterable(int index);

    Context& ctx_;
    std::string colours_;
    std::vector<Field> fields_;
    bool insert_ = true;
    std::uint8_t active_ = 0, unselected_ = 0;  // screen attributes while reading
    int lastKey_ = 0;
    bool updated_ = false;
    bool finish_ = false;
    int current_ = 0;
};

}  // namespace ui
