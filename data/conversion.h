// Conversions of values as the Jet provider makes them under the Thai locale: text to numbers,
// currency and dates, values to text, and the conversion of an assigned value to the type of
// the column that receives it.
//
// Dates: the OLE automation date (days since 1899-12-30) is computed here from the civil date.
// Day-first date texts carry a Buddhist-Era year (the locale's calendar): "15/03/2567" is
// 15 March 2024. Every refusal is a report::RunTimeError: "Type mismatch" (13) for text that is
// not a value of the type, "Overflow" (6) for a value outside the type's range, 3163 for text
// longer than a Text column.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "jet/schema.h"
#include "jet/value.h"

namespace data {

// Years of the Buddhist Era are this much ahead of the Common Era.
inline constexpr int kBuddhistEraOffset = 543;

double toOleDate(const jet::CivilDateTime& civil);
jet::CivilDateTime fromOleDate(double oleDate);
bool isValidCivil(const jet::CivilDateTime& civil);

// "d/m/yyyy" with a Buddhist-Era year, optionally followed by a time "h:mm[:ss]"; "yyyy-mm-dd"
// (Common Era) is also read. nullopt when the text is not such a valid date.
std::optional<jet::CivilDateTime> parseDayFirstDate(std::string_view text);
// The text between the # of a Jet SQL date literal: "yyyy-mm-dd" or "mm/dd/yyyy" (Common Era),
// optionally with a time.
std::optional<jet::CivilDateTime> parseLiteralDate(std::string_view text);

// A number written as text: blanks around it, a sign, thousands separators ",", a decimal
// point, an exponent. nullopt when it is not a number (empty text included).
std::optional<double> parseNumber(std::string_view text);
// Exact currency from text (ten-thousandths, rounded half to even beyond four decimals).
// nullopt when it is not a number; throws Overflow when outside the currency range.
std::optional<jet::Currency> parseCurrency(std::string_view text);
// The currency of a number already cut into its digits: `whole` before the decimal point and
// `fraction` after it (digits only, either may be empty). Decimals beyond the fourth are rounded
// half to even, as the provider rounds. nullopt when the amount is outside the currency range.
// Every text-to-currency conversion ends here, whatever syntax it accepts.
std::optional<jet::Currency> currencyFromDigits(bool negative, std::string_view whole,
                                                std::string_view fraction);

// A value as a number, for comparisons and arithmetic: numbers, currency, dates (their OLE
// value), Booleans (-1/0), numeric text. nullopt for null and for text that is not a number.
std::optional<double> numericValue(const jet::Value& value);

// Converts `value` to what `column` stores; a null stays null.
// REQUIRES: nothing. Throws RunTimeError 13, 6 or 3163 as the provider does.
jet::Value convertForColumn(const jet::Column& column, const jet::Value& value);

// As the provider shows a value as text (also declared with the record set's API).
std::string valueToText(const jet::Value& value);
int32_t valueToLong(const jet::Value& value);

// "Now" and "today" in local time, as OLE dates (Now() and Date() of expressions).
double currentOleDate(bool withTime);

// The text form of a value for CSV output: dates "YYYY-MM-DD HH:MM:SS", currency with four
// decimals, Yes/No as 1/0, null empty; text unquoted (the caller quotes).
std::string valueToExportText(const jet::Value& value);

}  // namespace data
