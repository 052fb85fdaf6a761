#include "data/conversion.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>

#include "data/errors.h"
#include "jet/int128.h"
#include "jet/local_time.h"

namespace data {
namespace {

const int64_t kOleEpoch = jet::daysFromCivil(1899, 12, 30);

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

int toInt(std::string_view s) {
    int v = 0;
    for (char c : s) v = v * 10 + (c - '0');
    return v;
}

// Splits "a/b/c" at `sep` into exactly three digit groups.
bool threeParts(std::string_view s, char sep, std::string_view out[3]) {
    for (int i = 0; i < 3; ++i) {
        size_t at = i < 2 ? s.find(sep) : s.size();
        if (at == std::string_view::npos) return false;
        out[i] = s.substr(0, at);
        if (!allDigits(out[i]) || out[i].size() > 4) return false;
        s = i < 2 ? s.substr(at + 1) : std::string_view();
    }
    return true;
}

// "h:mm[:ss]" into the civil value.
bool parseTime(std::string_view s, jet::CivilDateTime& c) {
    std::string_view parts[3];
    int n = 0;
    while (n < 3) {
        size_t at = s.find(':');
        parts[n++] = s.substr(0, at);
        if (at == std::string_view::npos) break;
        s.remove_prefix(at + 1);
        if (n == 3) return false;
    }
    if (n < 2) return false;
    for (int i = 0; i < n; ++i) {
        if (!allDigits(parts[i]) || parts[i].size() > 2) return false;
    }
    c.hour = toInt(parts[0]);
    c.minute = toInt(parts[1]);
    c.second = n == 3 ? toInt(parts[2]) : 0;
    return c.hour < 24 && c.minute < 60 && c.second < 60;
}

// Splits "date[ time]" and reads the time part when there is one.
bool splitDateTime(std::string_view text, std::string_view& datePart, jet::CivilDateTime& c) {
    text = trimBlanks(text);
    size_t blank = text.find_first_of(" \t");
    datePart = text.substr(0, blank);
    if (blank == std::string_view::npos) return true;
    return parseTime(trimBlanks(text.substr(blank)), c);
}

std::string formatDouble(double d, int digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, d);
    return buf;
}

// Round half to even, as the provider rounds a fraction into a whole-number column.
double roundEven(double d) {
    return std::nearbyint(d);
}

int64_t wholeInRange(double d, double lo, double hi) {
    double r = roundEven(d);
    if (!(r >= lo && r <= hi)) throw makeError(Fault::Overflow);
    return static_cast<int64_t>(r);
}

double decimalToDouble(const jet::Decimal& d) {
    double v = static_cast<double>(d.hi) * 18446744073709551616.0 + static_cast<double>(d.lo);
    v /= std::pow(10.0, d.scale);
    return d.negative ? -v : v;
}

std::string decimalToText(const jet::Decimal& d) {
    jet::UInt128 mag = (static_cast<jet::UInt128>(d.hi) << 64) | d.lo;
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(mag % 10)));
        mag /= 10;
    } while (mag > 0);
    while (digits.size() <= d.scale) digits.insert(digits.begin(), '0');
    if (d.scale > 0) digits.insert(digits.end() - d.scale, '.');
    return (d.negative ? "-" : "") + digits;
}

std::string guidText(const jet::Guid& g) {
    // The first three groups are stored little-endian.
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string out = "{";
    char buf[3];
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        std::snprintf(buf, sizeof buf, "%02X", g.bytes[order[i]]);
        out += buf;
    }
    return out + "}";
}

std::optional<jet::Guid> parseGuid(std::string_view s) {
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    s = trimBlanks(s);
    if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
    if (s.size() != 36) return std::nullopt;
    std::string hex;
    for (size_t i = 0; i < s.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (s[i] != '-') return std::nullopt;
        } else {
            if (!std::isxdigit(static_cast<unsigned char>(s[i]))) return std::nullopt;
            hex += s[i];
        }
    }
    jet::Guid g;
    for (int i = 0; i < 16; ++i) {
        g.bytes[order[i]] = static_cast<uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    }
    return g;
}

size_t utf8Length(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

// The number a value stands for when it is assigned to a numeric column.
double numberForColumn(const jet::Value& value) {
    if (value.is<std::string>()) {
        auto n = parseNumber(value.as<std::string>());
        if (!n) throw makeError(Fault::TypeMismatch);
        return *n;
    }
    auto n = numericValue(value);
    if (!n) throw makeError(Fault::TypeMismatch);
    return *n;
}

jet::Decimal decimalFrom(double d, int scale) {
    double scaled = roundEven(d * std::pow(10.0, scale));
    if (!(std::fabs(scaled) < 7.9e28)) throw makeError(Fault::Overflow);
    jet::Decimal out;
    out.negative = scaled < 0;
    long double mag = std::fabs(static_cast<long double>(scaled));
    jet::UInt128 m = static_cast<jet::UInt128>(mag);
    out.hi = static_cast<uint64_t>(m >> 64);
    out.lo = static_cast<uint64_t>(m);
    out.scale = static_cast<uint8_t>(scale);
    return out;
}

std::string currencyText(const jet::Currency& c, bool fixedFour) {
    int64_t u = c.units;
    bool neg = u < 0;
    unsigned long long mag = neg ? 0ULL - static_cast<unsigned long long>(u) : u;
    std::string out = std::to_string(mag / 10000);
    std::string frac = std::to_string(mag % 10000);
    frac.insert(frac.begin(), 4 - frac.size(), '0');
    if (!fixedFour) {
        while (!frac.empty() && frac.back() == '0') frac.pop_back();
    }
    if (!frac.empty()) out += "." + frac;
    if (neg && (mag != 0)) out.insert(out.begin(), '-');
    return out;
}

std::string twoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

}  // namespace

double toOleDate(const jet::CivilDateTime& c) {
    int64_t days = jet::daysFromCivil(c.year, c.month, c.day) - kOleEpoch;
    double time = ((c.hour * 60.0 + c.minute) * 60.0 + c.second + c.millisecond / 1000.0) / 86400.0;
    return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

jet::CivilDateTime fromOleDate(double ole) {
    double whole = std::trunc(ole);
    int64_t ms = std::llround(std::fabs(ole - whole) * 86400000.0);
    int64_t day = static_cast<int64_t>(whole);
    if (ms >= 86400000) {
        ms -= 86400000;
        day += ole >= 0 ? 1 : -1;
    }
    jet::CivilDateTime c;
    jet::civilFromDays(day + kOleEpoch, c.year, c.month, c.day);
    c.hour = static_cast<int>(ms / 3600000);
    c.minute = static_cast<int>(ms / 60000 % 60);
    c.second = static_cast<int>(ms / 1000 % 60);
    c.millisecond = static_cast<int>(ms % 1000);
    return c;
}

bool isValidCivil(const jet::CivilDateTime& c) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (c.year < 100 || c.year > 9999 || c.month < 1 || c.month > 12 || c.day < 1) return false;
    bool leap = (c.year % 4 == 0 && c.year % 100 != 0) || c.year % 400 == 0;
    int limit = days[c.month - 1] + (c.month == 2 && leap ? 1 : 0);
    return c.day <= limit;
}

std::optional<jet::CivilDateTime> parseDayFirstDate(std::string_view text) {
    jet::CivilDateTime c;
    std::string_view date;
    if (!splitDateTime(text, date, c)) return std::nullopt;
    std::string_view p[3];
    if (threeParts(date, '-', p) && p[0].size() == 4) {  // yyyy-mm-dd, Common Era
        c.year = toInt(p[0]);
        c.month = toInt(p[1]);
        c.day = toInt(p[2]);
    } else if (threeParts(date, '/', p) && p[2].size() == 4) {
        c.day = toInt(p[0]);
        c.month = toInt(p[1]);
        c.year = toInt(p[2]) - kBuddhistEraOffset;
    } else {
        return std::nullopt;
    }
    if (!isValidCivil(c)) return std::nullopt;
    return c;
}

std::optional<jet::CivilDateTime> parseLiteralDate(std::string_view text) {
    jet::CivilDateTime c;
    std::string_view date;
    if (!splitDateTime(text, date, c)) {
        // A literal may be a time alone: #10:30:00#.
        if (!parseTime(trimBlanks(text), c)) return std::nullopt;
        return c;
    }
    std::string_view p[3];
    if ((threeParts(date, '-', p) || threeParts(date, '/', p)) && p[0].size() == 4) {
        c.year = toInt(p[0]);
        c.month = toInt(p[1]);
        c.day = toInt(p[2]);
    } else if (threeParts(date, '/', p) && p[2].size() == 4) {
        c.month = toInt(p[0]);
        c.day = toInt(p[1]);
        c.year = toInt(p[2]);
    } else {
        jet::CivilDateTime t;
        if (parseTime(date, t) && date == trimBlanks(text)) return t;
        return std::nullopt;
    }
    if (!isValidCivil(c)) return std::nullopt;
    return c;
}

std::optional<double> parseNumber(std::string_view text) {
    std::string_view s = trimBlanks(text);
    std::string clean;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) clean += s[i++];
    bool digits = false, point = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits = true;
            clean += c;
        } else if (c == ',' && !point && digits) {
            continue;  // thousands separator
        } else if (c == '.' && !point) {
            point = true;
            clean += c;
        } else {
            break;
        }
    }
    if (!digits) return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        std::string exp = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp += s[j++];
        if (j >= s.size() || !std::isdigit(static_cast<unsigned char>(s[j]))) return std::nullopt;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) exp += s[j++];
        clean += exp;
        i = j;
    }
    if (i != s.size()) return std::nullopt;
    return std::strtod(clean.c_str(), nullptr);
}

std::optional<jet::Currency> parseCurrency(std::string_view text) {
    std::string_view s = trimBlanks(text);
    if (s.find_first_of("eE") != std::string_view::npos) {
        auto d = parseNumber(s);
        if (!d) return std::nullopt;
        return jet::Currency{
            wholeInRange(*d * 10000.0, -9.2233720368547758e18, 9.2233720368547748e18)};
    }
    if (!parseNumber(s)) return std::nullopt;
    bool neg = false;
    size_t i = 0;
    if (s[i] == '+' || s[i] == '-') neg = s[i++] == '-';
    // parseNumber has checked the form: digits and separators, then a fraction.
    std::string whole, fraction;
    std::string* digits = &whole;
    for (; i < s.size(); ++i) {
        if (s[i] == '.') {
            digits = &fraction;
        } else if (s[i] != ',') {
            *digits += s[i];
        }
    }
    auto amount = currencyFromDigits(neg, whole, fraction);
    if (!amount) throw makeError(Fault::Overflow);
    return amount;
}

std::optional<jet::Currency> currencyFromDigits(bool negative, std::string_view whole,
                                                std::string_view fraction) {
    // Gathered in 128 bits; a whole part past 2^100 is out of range in any case.
    constexpr jet::Int128 kBeyondAnyCurrency = static_cast<jet::Int128>(1) << 100;
    jet::Int128 units = 0;
    for (char c : whole) {
        units = units * 10 + (c - '0');
        if (units > kBeyondAnyCurrency) return std::nullopt;
    }
    for (size_t place = 0; place < 4; ++place) {
        units = units * 10 + (place < fraction.size() ? fraction[place] - '0' : 0);
    }
    if (fraction.size() > 4) {
        const int roundDigit = fraction[4] - '0';
        const bool restNonZero = fraction.find_first_not_of('0', 5) != std::string_view::npos;
        if (roundDigit > 5 || (roundDigit == 5 && (restNonZero || (units & 1) != 0))) ++units;
    }
    if (negative) units = -units;
    if (units > INT64_MAX || units < INT64_MIN) return std::nullopt;
    return jet::Currency{static_cast<int64_t>(units)};
}

std::optional<double> numericValue(const jet::Value& v) {
    const auto& s = v.storage();
    if (auto* b = std::get_if<bool>(&s)) return *b ? -1.0 : 0.0;
    if (auto* x = std::get_if<uint8_t>(&s)) return *x;
    if (auto* x = std::get_if<int16_t>(&s)) return *x;
    if (auto* x = std::get_if<int32_t>(&s)) return *x;
    if (auto* x = std::get_if<float>(&s)) return *x;
    if (auto* x = std::get_if<double>(&s)) return *x;
    if (auto* x = std::get_if<jet::Currency>(&s)) return static_cast<double>(x->units) / 10000.0;
    if (auto* x = std::get_if<jet::DateTime>(&s)) return x->oleDate;
    if (auto* x = std::get_if<jet::Decimal>(&s)) return decimalToDouble(*x);
    if (auto* x = std::get_if<std::string>(&s)) return parseNumber(*x);
    return std::nullopt;
}

jet::Value convertForColumn(const jet::Column& column, const jet::Value& value) {
    if (value.isNull()) return value;
    using T = jet::ColumnType;
    switch (column.type) {
        case T::Text:
        case T::Memo: {
            std::string text =
                value.is<std::string>() ? value.as<std::string>() : valueToText(value);
            if (column.type == T::Text && utf8Length(text) > static_cast<size_t>(column.textSize()))
                throw makeError(Fault::FieldTooSmall);
            return jet::Value(std::move(text));
        }
        case T::Boolean: {
            if (value.is<bool>()) return value;
            if (value.is<std::string>()) {
                std::string_view t = trimBlanks(value.as<std::string>());
                std::string lower;
                for (char c : t) lower += static_cast<char>(std::tolower((unsigned char)c));
                if (lower == "true" || lower == "yes" || lower == "on") return jet::Value(true);
                if (lower == "false" || lower == "no" || lower == "off") return jet::Value(false);
            }
            return jet::Value(numberForColumn(value) != 0.0);
        }
        case T::Byte:
            return jet::Value(static_cast<uint8_t>(wholeInRange(numberForColumn(value), 0, 255)));
        case T::Integer:
            return jet::Value(
                static_cast<int16_t>(wholeInRange(numberForColumn(value), -32768, 32767)));
        case T::Long:
            return jet::Value(static_cast<int32_t>(
                wholeInRange(numberForColumn(value), -2147483648.0, 2147483647.0)));
        case T::Currency: {
            if (value.is<jet::Currency>()) return value;
            if (value.is<std::string>() || value.is<jet::Decimal>()) {
                auto c =
                    parseCurrency(value.is<jet::Decimal>() ? value.as<jet::Decimal>().toString()
                                                           : value.as<std::string>());
                if (!c) throw makeError(Fault::TypeMismatch);
                return jet::Value(*c);
            }
            if (value.is<int32_t>())
                return jet::Value(jet::Currency{value.as<int32_t>() * 10000LL});
            return jet::Value(jet::Currency{wholeInRange(
                numberForColumn(value) * 10000.0, -9.2233720368547758e18, 9.2233720368547748e18)});
        }
        case T::Single: {
            double d = numberForColumn(value);
            if (std::fabs(d) > FLT_MAX) throw makeError(Fault::Overflow);
            return jet::Value(static_cast<float>(d));
        }
        case T::Double:
            return jet::Value(numberForColumn(value));
        case T::DateTime: {
            if (value.is<jet::DateTime>()) return value;
            if (value.is<std::string>()) {
                auto c = parseDayFirstDate(value.as<std::string>());
                if (!c) throw makeError(Fault::TypeMismatch);
                return jet::Value(jet::DateTime{toOleDate(*c)});
            }
            double d = numberForColumn(value);
            if (d < -657434.0 || d >= 2958466.0) throw makeError(Fault::Overflow);
            return jet::Value(jet::DateTime{d});
        }
        case T::Guid: {
            if (value.is<jet::Guid>()) return value;
            if (value.is<std::string>()) {
                if (auto g = parseGuid(value.as<std::string>())) return jet::Value(*g);
            }
            throw makeError(Fault::TypeMismatch);
        }
        case T::Decimal: {
            if (value.is<jet::Decimal>()) return value;
            if (value.is<std::string>()) {
                // Every digit as written; the column's precision decides what fits.
                if (auto exact = jet::Decimal::parse(trimBlanks(value.as<std::string>())))
                    return jet::Value(*exact);
            }
            return jet::Value(decimalFrom(numberForColumn(value), column.scale));
        }
        case T::Binary:
        case T::OLE: {
            if (value.is<jet::Bytes>()) return value;
            if (value.is<std::string>()) {
                const std::string& s = value.as<std::string>();
                if (column.type == T::Binary && s.size() > column.length)
                    throw makeError(Fault::FieldTooSmall);
                return jet::Value(jet::Bytes(s.begin(), s.end()));
            }
            throw makeError(Fault::TypeMismatch);
        }
        default:
            return value;
    }
}

double currentOleDate(bool withTime) {
    std::time_t now = std::time(nullptr);
    const std::tm local = jet::localTime(now);
    jet::CivilDateTime c;
    c.year = local.tm_year + 1900;
    c.month = local.tm_mon + 1;
    c.day = local.tm_mday;
    if (withTime) {
        c.hour = local.tm_hour;
        c.minute = local.tm_min;
        c.second = local.tm_sec;
    }
    return toOleDate(c);
}

std::string valueToText(const jet::Value& value) {
    const auto& s = value.storage();
    if (value.isNull()) return {};
    if (auto* b = std::get_if<bool>(&s)) return *b ? "True" : "False";
    if (auto* x = std::get_if<uint8_t>(&s)) return std::to_string(*x);
    if (auto* x = std::get_if<int16_t>(&s)) return std::to_string(*x);
    if (auto* x = std::get_if<int32_t>(&s)) return std::to_string(*x);
    if (auto* x = std::get_if<float>(&s)) return formatDouble(*x, 7);
    if (auto* x = std::get_if<double>(&s)) return formatDouble(*x, 15);
    if (auto* x = std::get_if<jet::Currency>(&s)) return currencyText(*x, false);
    if (auto* x = std::get_if<jet::DateTime>(&s)) {
        // The Thai short date (Buddhist Era) and, when there is one, the time of day.
        jet::CivilDateTime c = fromOleDate(x->oleDate);
        bool hasTime = c.hour || c.minute || c.second;
        std::string date = twoDigits(c.day) + "/" + twoDigits(c.month) + "/" +
                           std::to_string(c.year + kBuddhistEraOffset);
        std::string time =
            std::to_string(c.hour) + ":" + twoDigits(c.minute) + ":" + twoDigits(c.second);
        if (std::trunc(x->oleDate) == 0.0 && hasTime) return time;
        return hasTime ? date + " " + time : date;
    }
    if (auto* x = std::get_if<std::string>(&s)) return *x;
    if (auto* x = std::get_if<jet::Bytes>(&s)) return std::string(x->begin(), x->end());
    if (auto* x = std::get_if<jet::Guid>(&s)) return guidText(*x);
    if (auto* x = std::get_if<jet::Decimal>(&s)) return decimalToText(*x);
    return {};
}

int32_t valueToLong(const jet::Value& value) {
    if (value.isNull()) throw makeError(Fault::InvalidUseOfNull);
    auto n = numericValue(value);
    if (!n) throw makeError(Fault::TypeMismatch);
    return static_cast<int32_t>(wholeInRange(*n, -2147483648.0, 2147483647.0));
}

std::string valueToExportText(const jet::Value& value) {
    const auto& s = value.storage();
    if (value.isNull()) return {};
    if (auto* b = std::get_if<bool>(&s)) return *b ? "1" : "0";
    if (auto* x = std::get_if<jet::Currency>(&s)) return currencyText(*x, true);
    if (auto* x = std::get_if<jet::DateTime>(&s)) {
        jet::CivilDateTime c = fromOleDate(x->oleDate);
        char buf[40];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day,
                      c.hour, c.minute, c.second);
        return buf;
    }
    if (auto* x = std::get_if<double>(&s)) return formatDouble(*x, 17);
    if (auto* x = std::get_if<float>(&s)) return formatDouble(*x, 9);
    return valueToText(value);
}

}  // namespace data
