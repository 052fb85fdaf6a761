#include <cmath>
#include <cstdio>

#include "jet/int128.h"
#include "jet/value.h"

namespace jet {

namespace {

constexpr int64_t kMsPerDay = 86400000;

const int64_t kOleEpoch = daysFromCivil(1899, 12, 30);

}  // namespace

int64_t daysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t y = yoe + era * 400;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(y + (month <= 2));
}

const char* columnTypeName(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean:
            return "Yes/No";
        case ColumnType::Byte:
            return "Byte";
        case ColumnType::Integer:
            return "Integer";
        case ColumnType::Long:
            return "Long";
        case ColumnType::Currency:
            return "Currency";
        case ColumnType::Single:
            return "Single";
        case ColumnType::Double:
            return "Double";
        case ColumnType::DateTime:
            return "Date/Time";
        case ColumnType::Binary:
            return "Binary";
        case ColumnType::Text:
            return "Text";
        case ColumnType::OLE:
            return "OLE";
        case ColumnType::Memo:
            return "Memo";
        case ColumnType::Unknown0D:
            return "Unknown";
        case ColumnType::Guid:
            return "Replication ID";
        case ColumnType::Decimal:
            return "Decimal";
        case ColumnType::Complex:
            return "Complex";
    }
    return "Unknown";
}

// The integer part (toward zero) counts days; the fraction's magnitude is the time of day, rounded
// to a multiple of `unitMs` (a time that rounds up to midnight belongs to the next day).
static CivilDateTime civilRounded(double oleDate, int64_t unitMs) {
    CivilDateTime c;
    double d = std::isfinite(oleDate) ? oleDate : 0.0;
    d = std::fmax(-1e7, std::fmin(1e7, d));  // far beyond any Access date; keeps arithmetic sane
    double whole = std::trunc(d);
    int64_t days = int64_t(whole);
    int64_t ms = std::llround(std::fabs(d - whole) * double(kMsPerDay) / double(unitMs)) * unitMs;
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        days += 1;
    }
    civilFromDays(kOleEpoch + days, c.year, c.month, c.day);
    c.hour = int(ms / 3600000);
    c.minute = int(ms / 60000 % 60);
    c.second = int(ms / 1000 % 60);
    c.millisecond = int(ms % 1000);
    return c;
}

CivilDateTime DateTime::toCivil() const {
    return civilRounded(oleDate, 1);
}

DateTime DateTime::fromCivil(const CivilDateTime& c) {
    int64_t days = daysFromCivil(c.year, c.month, c.day) - kOleEpoch;
    int64_t ms = ((int64_t(c.hour) * 60 + c.minute) * 60 + c.second) * 1000 + c.millisecond;
    double time = double(ms) / double(kMsPerDay);
    return DateTime{days >= 0 ? double(days) + time : double(days) - time};
}

// Rounded to the second, as Access shows times.
std::string DateTime::toString() const {
    CivilDateTime c = civilRounded(oleDate, 1000);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                  c.minute, c.second);
    return buf;
}

std::string Guid::toString() const {
    const auto& b = bytes;
    char buf[40];
    std::snprintf(buf, sizeof buf,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return buf;
}

std::string Decimal::toString() const {
    UInt128 v = (static_cast<UInt128>(hi) << 64) | lo;
    std::string reversed;  // least significant digit first
    do {
        reversed.push_back(char('0' + int(v % 10)));
        v /= 10;
    } while (v != 0);
    while (reversed.size() <= scale) reversed.push_back('0');
    std::string out = negative && (hi != 0 || lo != 0) ? "-" : "";
    for (size_t i = reversed.size(); i-- > 0;) {
        out.push_back(reversed[i]);
        if (i == scale && scale > 0) out.push_back('.');
    }
    return out;
}

std::optional<Decimal> Decimal::parse(std::string_view text) {
    Decimal out;
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) out.negative = text[i++] == '-';
    unsigned __int128 magnitude = 0;
    int digits = 0;
    bool point = false, any = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') return std::nullopt;
        any = true;
        if (point) ++out.scale;
        if (magnitude == 0 && c == '0') {
            if (out.scale > 28) return std::nullopt;
            continue;  // leading zeros hold no digit of the value
        }
        if (++digits > 28 || out.scale > 28) return std::nullopt;
        magnitude = magnitude * 10 + unsigned(c - '0');
    }
    if (!any) return std::nullopt;
    out.hi = uint64_t(magnitude >> 64);
    out.lo = uint64_t(magnitude);
    return out;
}

}  // namespace jet
