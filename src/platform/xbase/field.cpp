#include "platform/xbase/field.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

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
    // Field names are ASCII: letter case folds without the locale (this runs for every field access).
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    for (size_t i = 0; i < fields.size(); ++i) {
        const auto& n = fields[i].name;
        if (n.size() != name.size() || n[0] != upper(name[0])) continue;
        size_t k = 1;
        while (k < n.size() && n[k] == upper(name[k])) ++k;
        if (k == n.size()) return static_cast<int>(i);
    }
    return -1;
}

namespace {

std::string stars(int length) {
    return std::string(static_cast<size_t>(length), '*');
}

// Exact path: print far past the place and look at the next digit, so that 2.675 (held as 2.67499...)
// gives 2.67, as the table engine's STR() does.
std::string roundExactly(double magnitude, int decimals) {
    std::vector<char> buf(static_cast<size_t>(decimals) + 400);
    std::snprintf(buf.data(), buf.size(), "%.*f", decimals + 30, magnitude);
    std::string s(buf.data());
    size_t point = s.find('.');
    bool up = s[point + static_cast<size_t>(decimals) + 1] >= '5';
    s.resize(point + (decimals > 0 ? static_cast<size_t>(decimals) + 1 : 0));
    if (up) {
        int i = static_cast<int>(s.size()) - 1;
        for (; i >= 0; --i) {
            char& c = s[static_cast<size_t>(i)];
            if (c == '.') continue;
            if (c != '9') {
                ++c;
                break;
            }
            c = '0';
        }
        if (i < 0) s.insert(s.begin(), '1');
    }
    return s;
}

// Fast path for the usual sizes: the scaled value in long double; a fraction too close to one half for
// that precision to decide goes the exact way.
bool roundFast(double magnitude, int decimals, std::string& out) {
    static const long double kPowers[] = {1e0L, 1e1L, 1e2L, 1e3L, 1e4L, 1e5L, 1e6L, 1e7L, 1e8L, 1e9L};
    if (decimals > 9 || magnitude >= 1e15) return false;
    long double scaled = static_cast<long double>(magnitude) * kPowers[decimals];
    long double whole = std::floor(scaled);
    long double fraction = scaled - whole;
    if (std::fabs(fraction - 0.5L) < 1e-6L) return false;
    auto units = static_cast<unsigned long long>(whole) + (fraction > 0.5L ? 1 : 0);
    // The digits from the right, the point after `decimals` of them, at least one digit before it.
    char text[32];
    char* at = text + sizeof text;
    int written = 0;
    do {
        if (written == decimals && decimals > 0) *--at = '.';
        *--at = static_cast<char>('0' + units % 10);
        units /= 10;
        ++written;
    } while (units != 0 || written <= decimals);
    out.assign(at, static_cast<size_t>(text + sizeof text - at));
    return true;
}

}  // namespace

std::string formatNumber(double value, int length, int decimals) {
    if (length <= 0) return {};
    if (decimals < 0) decimals = 0;
    if (!std::isfinite(value) || decimals + 2 > length + 1) return stars(length);
    double magnitude = std::fabs(value);
    std::string s;
    if (!roundFast(magnitude, decimals, s)) s = roundExactly(magnitude, decimals);
    bool zero = s.find_first_not_of("0.") == std::string::npos;
    if (value < 0 && !zero) s.insert(s.begin(), '-');
    if (static_cast<int>(s.size()) > length) return stars(length);
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
            std::memset(p, ' ', n);
            if (!value.date.empty() && n >= 8) {
                // "YYYYMMDD" as DTOS() gives it, without formatted printing (written for every date put).
                int y = value.date.year(), m = value.date.month(), d = value.date.day();
                if (y < 0 || y > 9999) {
                    std::string s = value.date.dtos();
                    std::memcpy(p, s.data(), std::min(n, s.size()));
                    break;
                }
                for (int i = 3; i >= 0; --i, y /= 10) p[i] = static_cast<char>('0' + y % 10);
                p[4] = static_cast<char>('0' + m / 10);
                p[5] = static_cast<char>('0' + m % 10);
                p[6] = static_cast<char>('0' + d / 10);
                p[7] = static_cast<char>('0' + d % 10);
            }
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
        case 'F':
            return core::Value::ofNumber(0, field.length, field.decimals);
        case 'D':
            return core::Value::ofDate(core::Date());
        case 'L':
            return core::Value::ofLogical(false);
        default:
            return core::Value::ofText(std::string(static_cast<size_t>(field.length), ' '));
    }
}

}  // namespace xbase
