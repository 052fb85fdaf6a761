#include "layout/line_mapping.h"

#include <cstdint>
#include <optional>

#include "data/conversion.h"
#include "report/run_time_error.h"
#include "text/characters.h"
#include "text/language_error.h"

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
        throw text::languageError(report::errnum::kSubscriptOutOfRange);
    }
    return pieces[static_cast<size_t>(fieldNo) - 1];
}

PayItemKey cutPayItemKey(std::string_view key) {
    return PayItemKey{text::midChars(key, 1, 1), text::midChars(key, 2, 2),
                      text::midChars(key, 4, 2)};
}

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

[[noreturn]] void typeMismatch() {
    throw text::languageError(report::errnum::kTypeMismatch);
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
    std::string whole;  // its digits, the separators left out
    size_t i = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (isDigit(c)) {
            whole += c;
        } else if (c == ',' && i > 0 && isDigit(s[i - 1]) && i + 1 < s.size() &&
                   isDigit(s[i + 1])) {
            continue;
        } else {
            break;
        }
    }
    std::string_view fraction;
    if (i < s.size() && s[i] == '.') {
        const size_t start = ++i;
        while (i < s.size() && isDigit(s[i])) ++i;
        fraction = s.substr(start, i - start);
    }
    if (i != s.size() || whole.size() + fraction.size() == 0) typeMismatch();

    const std::optional<jet::Currency> amount = data::currencyFromDigits(negative, whole, fraction);
    if (!amount) throw text::languageError(report::errnum::kOverflow);
    return *amount;
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
