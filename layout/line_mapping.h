// Cutting an input line into columns and turning columns into the values the importers write.
//
// A line is cut at every occurrence of the whole separator text: matching is exact and
// case-sensitive, quotation marks mean nothing and no piece is trimmed. A layout row reads the
// piece numbered FieldNo - 1. Amount columns become currency values (a 64-bit count of
// ten-thousandths) by the platform's conversion rules: blanks around the number, a sign, the
// thousands separator "," and the decimal separator "."; text without digits is a type mismatch
// and a value outside the currency range an overflow. All failures are report::RunTimeError.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jet/value.h"

namespace layout {

// The pieces of `line` between occurrences of `separator`, numbered from 0. A line without the
// separator is one piece; an empty separator leaves the line whole.
std::vector<std::string> splitLine(std::string_view line, std::string_view separator);

// The column that a layout row with `fieldNo` reads: piece fieldNo - 1. Throws error 9
// "Subscript out of range" when there is no such piece (fieldNo below 1 or beyond the line).
const std::string& columnText(const std::vector<std::string>& pieces, long fieldNo);

// The three key fields of a payroll row, cut from a pay-item key: character 1, characters 2-3
// and characters 4-5. A short key gives short or empty parts; characters after the fifth are
// ignored.
struct PayItemKey {
    std::string typeFor;  // "Type for"
    std::string type;     // "Type"
    std::string code;     // "Code"
};
PayItemKey cutPayItemKey(std::string_view key);

// Text to currency. Accepts surrounding blanks, a leading "+" or "-", a number in parentheses
// as a negative, "," between digits of the whole part, "." before the fraction. Digits beyond
// the fourth decimal are rounded half to even. Throws 13 "Type mismatch" for any other text
// (blanks alone included) and 6 "Overflow" outside +-922,337,203,685,477.5807.
jet::Currency textToCurrency(std::string_view text);

// The amount of a payroll column: 0 for an empty column, else textToCurrency.
jet::Currency amountOfColumn(std::string_view text);

// The default text form of a currency value: no thousands separators, no trailing zeros in the
// fraction and no "." without one ("1234.5", "-0.01", "0").
std::string currencyToText(jet::Currency amount);

}  // namespace layout
