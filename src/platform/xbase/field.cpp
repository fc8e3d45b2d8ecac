#include "platform/xbase/field.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/core/error.h"

namespace xbase {

Layout Layout::of(std::vector<Field> fields) {
    Layout layout;
    int offset = 1;
    for (auto& f : fields) {
        for (auto& c : f.name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        f.offset = offset;
        offset += f.length;
    }
    layout.fields = std::move(fields);
    layout.recordLength = offset;
    return layout;
}

int Layout::find(std::string_view name) const {
    for (size_t i = 0; i < fields.size(); ++i) {
        const auto& n = fields[i].name;
        if (n.size() != name.size()) continue;
        bool same = true;
        for (size_t k = 0; k < n.size() && same; ++k)
            same = std::toupper(static_cast<unsigned char>(name[k])) == static_cast<unsigned char>(n[k]);
        if (same) return static_cast<int>(i);
    }
    return -1;
}

std::string formatNumber(double value, int length, int decimals) {
    if (length <= 0) return {};
    if (decimals < 0) decimals = 0;
    if (!std::isfinite(value)) return std::string(static_cast<size_t>(length), '*');
    // Round half away from zero on the exact binary value: print far past the place and look at the
    // next digit, so that 2.675 (held as 2.67499...) gives 2.67 exactly as the table engine's STR() does.
    static char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", decimals + 30, std::fabs(value));
    std::string s(buf);
    size_t point = s.find('.');
    size_t keep = point + (decimals > 0 ? static_cast<size_t>(decimals) + 1 : 0);
    bool up = s[point + static_cast<size_t>(decimals) + 1] >= '5';
    s.resize(keep);
    if (up) {
        int i = static_cast<int>(s.size()) - 1;
        for (; i >= 0; --i) {
            if (s[static_cast<size_t>(i)] == '.') continue;
            if (s[static_cast<size_t>(i)] == '9') {
                s[static_cast<size_t>(i)] = '0';
            } else {
                ++s[static_cast<size_t>(i)];
                break;
            }
        }
        if (i < 0) s.insert(s.begin(), '1');
    }
    bool zero = s.find_first_not_of("0.") == std::string::npos;
    if (value < 0 && !zero) s.insert(s.begin(), '-');
    if (static_cast<int>(s.size()) > length) return std::string(static_cast<size_t>(length), '*');
    return std::string(static_cast<size_t>(length) - s.size(), ' ') + s;
}

core::Value readField(const Field& field, const char* record) {
    const char* p = record + field.offset;
    std::string_view raw(p, static_cast<size_t>(field.length));
    switch (field.type) {
        case 'N':
        case 'F':
            return core::Value::ofNumber(core::readNumber(raw), field.length, field.decimals);
        case 'D':
            return core::Value::ofDate(core::Date::fromDtos(raw));
        case 'L':
            return core::Value::ofLogical(!raw.empty() &&
                                          (raw[0] == 'T' || raw[0] == 't' || raw[0] == 'Y' || raw[0] == 'y'));
        default:
            return core::Value::ofText(std::string(raw));
    }
}

void writeField(const Field& field, char* record, const core::Value& value) {
    char* p = record + field.offset;
    auto n = static_cast<size_t>(field.length);
    auto mismatch = [&] {
        throw core::RuntimeError(core::RuntimeError::Kind::Other, "type mismatch in field " + field.name);
    };
    switch (field.type) {
        case 'N':
        case 'F': {
            if (!value.isNumber()) mismatch();
            std::string s = formatNumber(value.number, field.length, field.decimals);
            std::memcpy(p, s.data(), n);
            break;
        }
        case 'D': {
            if (!value.isDate()) mismatch();
            std::string s = value.date.dtos();
            std::memset(p, ' ', n);
            std::memcpy(p, s.data(), std::min(n, s.size()));
            break;
        }
        case 'L':
            if (!value.isLogical()) mismatch();
            std::memset(p, ' ', n);
            p[0] = value.logical ? 'T' : 'F';
            break;
        default: {
            if (!value.isText()) mismatch();
            size_t k = std::min(n, value.text.size());
            std::memcpy(p, value.text.data(), k);
            std::memset(p + k, ' ', n - k);
        }
    }
}

core::Value emptyValue(const Field& field) {
    switch (field.type) {
        case 'N':
        case 'F': return core::Value::ofNumber(0, field.length, field.decimals);
        case 'D': return core::Value::ofDate(core::Date());
        case 'L': return core::Value::ofLogical(false);
        default: return core::Value::ofText(std::string(static_cast<size_t>(field.length), ' '));
    }
}

}  // namespace xbase
