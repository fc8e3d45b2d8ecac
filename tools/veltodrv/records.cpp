#include "records.h"

#include <algorithm>
#include <cstdlib>

namespace veltodrv {

namespace {

bool allDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

int checkCode(std::string_view code) {
    if (!allDigits(code) || code.size() > static_cast<size_t>(kCodeLength)) return kBadCode;
    if (code.find_first_not_of('0') == std::string_view::npos) return kBadCode;
    return 0;
}

int checkName(std::string_view name, int limit, std::string& out) {
    std::string_view trimmed = trimRight(name);
    if (trimmed.empty() || trimmed.size() > static_cast<size_t>(limit)) return kBadName;
    out = std::string(trimmed);
    return 0;
}

// Whole hundredths without sign or leading zeros ("0" itself is an open price).
int checkPrice(std::string_view text, int64_t& price) {
    if (!allDigits(text) || (text.size() > 1 && text[0] == '0') || text.size() > 8) return kBadPrice;
    price = std::strtoll(std::string(text).c_str(), nullptr, 10);
    return price <= kMaxPrice ? 0 : kBadPrice;
}

int checkTax(std::string_view text, char& tax) {
    if (text.size() != 1 || std::string_view("ABCDEFZ").find(text[0]) == std::string_view::npos)
        return kBadTax;
    tax = text[0];
    return 0;
}

int checkDepartment(std::string_view text, int& number) {
    if (text.size() != 2 || !allDigits(text)) return kUnknownDepartment;
    number = (text[0] - '0') * 10 + (text[1] - '0');
    return number >= 1 && number <= 7 ? 0 : kUnknownDepartment;
}

bool isFlags(std::string_view s) {
    return s.size() == 5 && s.find_first_not_of("01") == std::string_view::npos;
}

}  // namespace

std::optional<std::vector<std::string_view>> splitFields(std::string_view record) {
    if (record.empty() || record.back() != ';') return std::nullopt;
    for (char c : record)
        if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t end; (end = record.find(';', start)) != std::string_view::npos; start = end + 1)
        fields.push_back(record.substr(start, end - start));
    return fields;
}

std::optional<Request> parseRequest(std::string_view record) {
    if (record == "S;I;1; ; ;") return Request{RequestKind::SendPlu};
    if (record == "S;I;0; ; ;") return Request{RequestKind::PluList};
    if (record == "S;U;2; ; ;") return Request{RequestKind::Sales};
    auto f = splitFields(record);
    if (!f || f->size() != 5 || (*f)[0] != "S" || (*f)[1] != "D" || (*f)[2] != "1") return std::nullopt;
    auto number = [](std::string_view s) {
        return allDigits(s) && s.size() <= 2 ? std::atoi(std::string(s).c_str()) : 0;
    };
    Request r{RequestKind::Departments, number((*f)[3]), number((*f)[4])};
    if (r.firstDepartment < 1 || r.lastDepartment > 7 || r.firstDepartment > r.lastDepartment)
        return std::nullopt;
    return r;
}

bool isListLine(std::string_view record) {
    return record.substr(0, 2) == "P;";
}

int parsePluRecord(std::string_view record, Plu& plu) {
    auto parsed = splitFields(record);
    if (!parsed) return kMalformedRecord;
    const auto& f = *parsed;
    // Positions of the fields that differ between the two forms; the rest is fixed layout.
    bool longForm = !f.empty() && f[0] == "I#00";
    if (!longForm && !(!f.empty() && f[0] == "I")) return kMalformedRecord;
    if (f.size() != (longForm ? 14u : 11u) || f[1] != "1") return kMalformedRecord;
    size_t name = longForm ? 4 : 3;
    std::string_view code = f[2], price = f[name + 1], tax = f[name + 2], flags = f[name + 4],
                     department = f[name + 5];
    bool layout = allDigits(f[name + 3]) && isFlags(flags) && allDigits(f[name + 6]) && f[name + 7].empty();
    if (longForm) layout = layout && allDigits(f[3]) && allDigits(f[12]) && allDigits(f[13]);
    if (!layout) return kMalformedRecord;

    Plu p;
    if (int e = checkCode(code)) return e;
    p.code = std::string(code);
    if (int e = checkName(f[name], longForm ? kLongNameLength : kShortNameLength, p.name)) return e;
    if (int e = checkPrice(price, p.price)) return e;
    if (int e = checkTax(tax, p.tax)) return e;
    if (int e = checkDepartment(department, p.department)) return e;
    p.flags = std::string(flags);
    p.record = std::string(record);
    plu = std::move(p);
    return 0;
}

int parseDepartmentRecord(std::string_view record, Department& department) {
    auto parsed = splitFields(record);
    if (!parsed) return kMalformedRecord;
    const auto& f = *parsed;
    if (f.size() != 8 || f[0] != "H" || f[1] != "1" || !allDigits(f[4]) || !allDigits(f[6]) ||
        !allDigits(f[7]))
        return kMalformedRecord;
    Department d;
    if (int e = checkDepartment(f[2], d.number)) return e;
    if (int e = checkName(f[3], kShortNameLength, d.name)) return e;
    if (int e = checkTax(f[5], d.tax)) return e;
    d.record = std::string(record);
    department = std::move(d);
    return 0;
}

int parseListLine(std::string_view line, std::string& code) {
    auto parsed = splitFields(line);
    if (!parsed || parsed->size() != 8 || (*parsed)[0] != "P" || (*parsed)[1] != "1") return kMalformedRecord;
    if (int e = checkCode((*parsed)[2])) return e;
    code = std::string((*parsed)[2]);
    return 0;
}

std::string departmentText(int number) {
    return std::string{static_cast<char>('0' + number / 10), static_cast<char>('0' + number % 10)};
}

std::string listLine(const Plu& plu) {
    return "P;1;" + plu.code + ";" + plu.name + ";" + std::to_string(plu.price) + ";" + plu.tax + ";" +
           departmentText(plu.department) + ";" + plu.flags + ";";
}

std::string reportLine(const Sale& sale) {
    return "S;" + sale.code + ";" + sale.name + ";" + std::to_string(sale.value) + ";" +
           std::to_string(sale.quantity) + ";" + sale.tax + ";" + departmentText(sale.department) + ";";
}

bool parseScaled(std::string_view text, int decimals, int64_t& out) {
    bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    size_t point = text.find('.');
    std::string_view whole = text.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() && fraction.empty()) return false;
    if ((!whole.empty() && !allDigits(whole)) || (!fraction.empty() && !allDigits(fraction))) return false;
    if (fraction.size() > static_cast<size_t>(decimals) || whole.size() > 12) return false;
    int64_t value = 0;
    for (char c : whole) value = value * 10 + (c - '0');
    for (int i = 0; i < decimals; ++i)
        value =
            value * 10 + (i < static_cast<int>(fraction.size()) ? fraction[static_cast<size_t>(i)] - '0' : 0);
    out = negative ? -value : value;
    return true;
}

std::string formatScaled(int64_t value, int decimals) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (digits.size() <= static_cast<size_t>(decimals))
        digits.insert(0, static_cast<size_t>(decimals) + 1 - digits.size(), '0');
    if (decimals > 0) digits.insert(digits.size() - static_cast<size_t>(decimals), ".");
    return value < 0 ? "-" + digits : digits;
}

}  // namespace veltodrv
