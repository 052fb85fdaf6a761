#include "layout/line_mapping.h"

#include <cstdint>

#include "jet/int128.h"
#include "layout/characters.h"
#include "layout/language_error.h"
#include "report/run_time_error.h"

namespace layout {

std::vector<std::string> splitLine(std::string_view line, std::string_view separator) {
    std::vector<std::string> pieces;
    if (separator.empty()) {
        pieces.emplace_back(line);
        return pieces;
    }
    size_t start = 0;
    while (true) {
        const size_t found = line.find(separator, start);
        if (found == std::string_view::npos) break;
        pieces.emplace_back(line.substr(start, found - start));
        start = found + separator.size();
    }
    pieces.emplace_back(line.substr(start));
    return pieces;
}

const std::string& columnText(const std::vector<std::string>& pieces, long fieldNo) {
    if (fieldNo < 1 || static_cast<size_t>(fieldNo) > pieces.size()) {
        throw languageError(report::errnum::kSubscriptOutOfRange);
    }
    return pieces[static_cast<size_t>(fieldNo) - 1];
}

PayItemKey cutPayItemKey(std::string_view key) {
    return PayItemKey{midChars(key, 1, 1), midChars(key, 2, 2), midChars(key, 4, 2)};
}

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

[[noreturn]] void typeMismatch() {
    throw languageError(report::errnum::kTypeMismatch);
}

}  // namespace

jet::Currency textToCurrency(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    std::string_view s = text.substr(begin, end - begin);

    bool negative = false;
    if (s.size() >= 2 && s.front() == '(' && s.back() == ')') {
        negative = true;
        s = s.substr(1, s.size() - 2);
    } else if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s = s.substr(1);
    }

    // Whole part with thousands separators, then an optional fraction.
    // Values are gathered in 128 bits; more than 30 whole digits is an overflow in any case.
    jet::Int128 whole = 0;
    bool tooLong = false;
    size_t digits = 0;
    size_t i = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (isDigit(c)) {
            ++digits;
            if (whole > static_cast<jet::Int128>(1) << 100) {
                tooLong = true;
            } else {
                whole = whole * 10 + (c - '0');
            }
        } else if (c == ',' && i > 0 && isDigit(s[i - 1]) && i + 1 < s.size() &&
                   isDigit(s[i + 1])) {
            continue;
        } else {
            break;
        }
    }
    int64_t fraction = 0;  // the first four decimals
    int roundDigit = 0;    // the fifth decimal
    bool restNonZero = false;
    if (i < s.size() && s[i] == '.') {
        ++i;
        int place = 0;
        for (; i < s.size() && isDigit(s[i]); ++i, ++place) {
            ++digits;
            const int d = s[i] - '0';
            if (place < 4) {
                fraction = fraction * 10 + d;
            } else if (place == 4) {
                roundDigit = d;
            } else if (d != 0) {
                restNonZero = true;
            }
        }
        for (; place < 4; ++place) fraction *= 10;
    }
    if (i != s.size() || digits == 0) typeMismatch();

    jet::Int128 units = whole * 10000 + fraction;
    if (roundDigit > 5 || (roundDigit == 5 && (restNonZero || (units & 1) != 0))) ++units;
    if (negative) units = -units;
    if (tooLong || units > INT64_MAX || units < INT64_MIN) {
        throw languageError(report::errnum::kOverflow);
    }
    return jet::Currency{static_cast<int64_t>(units)};
}

jet::Currency amountOfColumn(std::string_view text) {
    if (text.empty()) return jet::Currency{0};
    return textToCurrency(text);
}

std::string currencyToText(jet::Currency amount) {
    const bool negative = amount.units < 0;
    // Magnitude in unsigned arithmetic, so that the most negative value has one too.
    const uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(amount.units) : static_cast<uint64_t>(amount.units);
    std::string text = negative ? "-" : "";
    text += std::to_string(magnitude / 10000);
    uint64_t fraction = magnitude % 10000;
    if (fraction != 0) {
        std::string decimals = std::to_string(fraction);
        decimals.insert(0, 4 - decimals.size(), '0');
        while (decimals.back() == '0') decimals.pop_back();
        text += "." + decimals;
    }
    return text;
}

}  // namespace layout
