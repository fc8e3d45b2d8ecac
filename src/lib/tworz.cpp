#include "lib/tworz.h"

#include <cctype>
#include <string>
#include <vector>

#include "lib/fun1.h"
#include "lib/fun3.h"
#include "lib/locks.h"
#include "platform/context.h"
#include "platform/core/error.h"
#include "platform/core/text.h"
#include "platform/os/clock.h"
#include "platform/os/files.h"
#include "platform/os/path.h"
#include "platform/xbase/workareas.h"

namespace {

[[noreturn]] void malformed(std::string_view structure, const std::string& why) {
    throw core::RuntimeError(core::RuntimeError::Kind::Creation,
                             "malformed structure text (" + why + "): " + std::string(structure));
}

int number(std::string_view structure, const std::string& text) {
    std::string t = core::trimBlanks(text);
    if (t.empty()) malformed(structure, "missing number");
    for (char c : t)
        if (!std::isdigit(static_cast<unsigned char>(c))) malformed(structure, "not a number: " + t);
    return std::stoi(t);
}

// The fields of a structure text: name, type, length, decimals, each up to the next comma.
std::vector<xbase::Field> parseFields(std::string_view structure, std::string_view rest) {
    std::vector<std::string> items;
    size_t pos = 0;
    while (pos < rest.size()) {
        size_t comma = rest.find(',', pos);
        if (comma == std::string_view::npos) comma = rest.size();
        items.emplace_back(rest.substr(pos, comma - pos));
        pos = comma + 1;
    }
    if (items.size() % 4 != 0) malformed(structure, "incomplete field");
    std::vector<xbase::Field> fields;
    for (size_t i = 0; i < items.size(); i += 4) {
        xbase::Field f;
        f.name = core::upperAscii(core::trimBlanks(items[i]));
        std::string type = core::upperAscii(core::trimBlanks(items[i + 1]));
        if (f.name.empty() || f.name.size() > 10) malformed(structure, "field name");
        if (type.size() != 1 || std::string("CNDL").find(type[0]) == std::string::npos)
            malformed(structure, "field type of " + f.name);
        f.type = type[0];
        f.length = number(structure, items[i + 2]);
        f.decimals = number(structure, items[i + 3]);
        fields.push_back(f);
    }
    if (fields.empty()) malformed(structure, "no fields");
    return fields;
}

const std::vector<xbase::Field>& structureFields() {
    static const std::vector<xbase::Field> fields{
        {"FIELD_NAME", 'C', 10, 0}, {"FIELD_TYPE", 'C', 1, 0}, {"FIELD_LEN", 'N', 3, 0}, {"FIELD_DEC", 'N', 3, 0}};
    return fields;
}

}  // namespace

bool TWORZ(Context& ctx, std::string_view structure, bool /*flag*/, int station) {
    Procedure proc(ctx, "TWORZ");
    auto& areas = *ctx.areas;
    int remembered = areas.current();
    auto closeCurrent = [&] {
        if (areas.used()) areas.close();
    };

    int number = station != 0 ? station : ctx.clock->now().second;
    std::string scratch = "strukt" + STR2(number);
    // A scratch file left by a crashed run is erased; one that another process holds is skipped.
    while (os::exists(scratch + ".dbf")) {
        closeCurrent();
        os::erase(scratch + ".dbf");
        if (os::exists(scratch + ".dbf")) scratch = "strukt" + STR2(++number);
    }

    size_t comma = structure.find(',');
    std::string target(structure.substr(0, comma));
    if (os::exists(target + ".dbf")) {
        closeCurrent();
        os::erase(target + ".dbf");
    }
    std::vector<xbase::Field> fields =
        parseFields(structure, comma == std::string_view::npos ? std::string_view() : structure.substr(comma + 1));

    int slot = 88;
    while (slot < 98 && areas.used(slot)) ++slot;
    areas.select(slot);
    std::string scratchName = scratch + ".dbf";
    if (areas.create(os::resolve(scratchName), scratchName, "strukt", structureFields()) ==
        xbase::WorkAreas::OpenResult::Opened)
        areas.close();
    if (!NET_USE(ctx, scratch, "strukt", true, 5)) {
        OKNO_(ctx, "Plik strukt.dbf niedostepny");
        areas.select(remembered);
        return false;
    }
    auto& strukt = areas.table();
    for (const auto& f : fields) {
        strukt.appendBlank();
        strukt.put("FIELD_NAME", core::Value::ofText(f.name));
        strukt.put("FIELD_TYPE", core::Value::ofText(std::string(1, f.type)));
        strukt.put("FIELD_LEN", core::Value::ofNumber(f.length));
        strukt.put("FIELD_DEC", core::Value::ofNumber(f.decimals));
    }
    areas.close();

    std::string targetName = target + ".dbf";
    auto created = xbase::Table::create(os::resolve(targetName), targetName, fields);
    if (!created) throw core::RuntimeError(core::RuntimeError::Kind::Creation, "cannot create table", targetName);
    created->close();
    os::erase(scratchName);
    areas.select(remembered);
    return true;
}
