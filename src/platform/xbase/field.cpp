#include "platform/xbase/field.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/core/error.h"

namespace xbase {

namespace {

// Field names are ASCII: letter case folds without the locale. The last byte holds the length.
bool pack(std::string_view name, Layout::Packed& out) {
    if (name.size() > 15) return false;
    char bytes[16] = {};
    for (size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        bytes[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    bytes[15] = static_cast<char>(name.size());
    std::memcpy(&out.head, bytes, 8);
    std::memcpy(&out.tail, bytes + 8, 8);
    return true;
}

size_t slotOf(const Layout::Packed& k, size_t mask) {
    return static_cast<size_t>(((k.head ^ (k.tail * 31)) * 0x9E3779B97F4A7C15ULL) >> 40) & mask;
}

}  // namespace

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
    size_t size = 16;
    while (size < 2 * layout.fields.size()) size *= 2;
    if (size > 0x4000) return layout;  // looked through instead
    std::vector<Packed> packed(layout.fields.size());
    for (size_t i = 0; i < packed.size(); ++i)
        if (!pack(layout.fields[i].name, packed[i])) return layout;  // no table name is that long
    layout.packed_ = std::move(packed);
    layout.slots_.assign(size, -1);
    for (size_t i = 0; i < layout.fields.size(); ++i) {
        size_t at = slotOf(layout.packed_[i], size - 1);
        while (layout.slots_[at] >= 0) at = (at + 1) & (size - 1);
        layout.slots_[at] = static_cast<int16_t>(i);
    }
    return layout;
}

int Layout::find(std::string_view name) const {
    if (!slots_.empty() && packed_.size() == fields.size()) {
        Packed k;
        if (name.empty() || !pack(name, k)) return -1;
        const size_t mask = slots_.size() - 1;
        for (size_t at = slotOf(k, mask); slots_[at] >= 0; at = (at + 1) & mask)
            if (packed_[static_cast<size_t>(slots_[at])] == k) return slots_[at];
        return -1;
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        const auto& n = fields[i].name;
        if (n.size() != name.size()) continue;
        size_t k = 0;
        while (k < n.size() && n[k] == (name[k] >= 'a' && name[k] <= 'z' ? name[k] - 'a' + 'A' : name[k]))
            ++k;
        if (k == n.size()) return static_cast<int>(i);
    }
    return -1;
}

namespace {

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
// that precision to decide goes the exact way. Writes the digits (and the point) to end just before `end`
// and returns where they begin, or nullptr.
char* roundFast(double magnitude, int decimals, char* end) {
    static const long double kPowers[] = {1e0L, 1e1L, 1e2L, 1e3L, 1e4L, 1e5L, 1e6L, 1e7L, 1e8L, 1e9L};
    if (decimals > 9 || magnitude >= 1e15) return nullptr;
    unsigned long long units;
    // Below 1e9 a double product is off by less than 1e-7, far inside the margin: it decides as the
    // long double one would, at a fraction of the cost (every stored number comes through here).
    if (double scaled = magnitude * core::powerOfTen(decimals); scaled < 1e9) {
        double whole = std::floor(scaled);
        double fraction = scaled - whole;
        if (std::fabs(fraction - 0.5) < 1e-6) return nullptr;
        units = static_cast<unsigned long long>(whole) + (fraction > 0.5 ? 1 : 0);
    } else {
        long double scaledLong = static_cast<long double>(magnitude) * kPowers[decimals];
        long double whole = std::floor(scaledLong);
        long double fraction = scaledLong - whole;
        if (std::fabs(fraction - 0.5L) < 1e-6L) return nullptr;
        units = static_cast<unsigned long long>(whole) + (fraction > 0.5L ? 1 : 0);
    }
    // The digits from the right, the point after `decimals` of them, at least one digit before it.
    char* at = end;
    int written = 0;
    do {
        if (written == decimals && decimals > 0) *--at = '.';
        *--at = static_cast<char>('0' + units % 10);
        units /= 10;
        ++written;
    } while (units != 0 || written <= decimals);
    return at;
}

// STR(value, length, decimals) into out[0, length).
void formatNumberInto(double value, int length, int decimals, char* out) {
    const auto n = static_cast<size_t>(length);
    if (decimals < 0) decimals = 0;
    if (!std::isfinite(value) || decimals + 2 > length + 1) {
        std::memset(out, '*', n);
        return;
    }
    const double magnitude = std::fabs(value);
    char text[40];  // 15 digits, a point and 9 decimals at most
    char* end = text + sizeof text;
    std::string exact;
    std::string_view digits;
    if (char* at = roundFast(magnitude, decimals, end)) {
        digits = std::string_view(at, static_cast<size_t>(end - at));
    } else {
        exact = roundExactly(magnitude, decimals);
        digits = exact;
    }
    const bool minus = value < 0 && digits.find_first_not_of("0.") != std::string_view::npos;
    const size_t size = digits.size() + (minus ? 1 : 0);
    if (size > n) {
        std::memset(out, '*', n);
        return;
    }
    std::memset(out, ' ', n - size);
    if (minus) out[n - size] = '-';
    std::memcpy(out + n - digits.size(), digits.data(), digits.size());
}

}  // namespace

std::string formatNumber(double value, int length, int decimals) {
    if (length <= 0) return {};
    std::string s(static_cast<size_t>(length), ' ');
    formatNumberInto(value, length, decimals, s.data());
    return s;
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
            if (field.length > 0) formatNumberInto(value.number, field.length, field.decimals, p);
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
