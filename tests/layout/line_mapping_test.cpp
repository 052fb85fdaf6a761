#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layout/line_mapping.h"
#include "report/run_time_error.h"
#include "support/error_number.h"
#include "text/characters.h"
#include "text/elapsed_time.h"

namespace {

using layout::amountOfColumn;
using layout::currencyToText;
using layout::splitLine;
using layout::textToCurrency;
using report::RunTimeError;
using testing_support::errorNumberOf;
using Pieces = std::vector<std::string>;

TEST(SplitLine, CutsAtEveryWholeSeparatorWithoutQuotingOrTrimming) {
    EXPECT_EQ(splitLine("E001,100,,-25.50,", ","), (Pieces{"E001", "100", "", "-25.50", ""}));
    EXPECT_EQ(splitLine("A|B||C", "||"), (Pieces{"A|B", "C"}));
    EXPECT_EQ(splitLine("\"E,1\", 2 ", ","), (Pieces{"\"E", "1\"", " 2 "}));
    EXPECT_EQ(splitLine("no separator", ";"), (Pieces{"no separator"}));
    EXPECT_EQ(splitLine("aXbxc", "x"), (Pieces{"aXb", "c"}));  // case-sensitive
    EXPECT_EQ(splitLine(",", ","), (Pieces{"", ""}));
    EXPECT_EQ(splitLine("|||", "||"), (Pieces{"", "|"}));  // no overlapping matches
    EXPECT_EQ(splitLine("ก๑ก๒", "ก"), (Pieces{"", "๑", "๒"}));
}

TEST(ColumnText, ReadsPieceFieldNoMinusOneAndRefusesMissingPieces) {
    const Pieces pieces{"E001", "100", ""};
    EXPECT_EQ(layout::columnText(pieces, 1), "E001");
    EXPECT_EQ(layout::columnText(pieces, 3), "");
    std::string message;
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { layout::columnText(pieces, 4); }, &message), 9);
    EXPECT_EQ(message, "Subscript out of range");
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { layout::columnText(pieces, 0); }), 9);
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { layout::columnText(pieces, -3); }), 9);
}

TEST(PayItemKey, CutsOneTwoTwoCharactersAndToleratesShortKeys) {
    auto key = layout::cutPayItemKey("I0102");
    EXPECT_EQ(key.typeFor, "I");
    EXPECT_EQ(key.type, "01");
    EXPECT_EQ(key.code, "02");
    key = layout::cutPayItemKey("D01");
    EXPECT_EQ(key.typeFor, "D");
    EXPECT_EQ(key.type, "01");
    EXPECT_EQ(key.code, "");
    key = layout::cutPayItemKey("I010299");
    EXPECT_EQ(key.code, "02");
    key = layout::cutPayItemKey("");
    EXPECT_EQ(key.typeFor + key.type + key.code, "");
    key = layout::cutPayItemKey("กขคงจ");  // characters, not bytes
    EXPECT_EQ(key.typeFor, "ก");
    EXPECT_EQ(key.type, "ขค");
    EXPECT_EQ(key.code, "งจ");
}

TEST(Characters, CountAndCutByCharacter) {
    EXPECT_EQ(text::charCount("ชม.a"), 4u);
    EXPECT_EQ(text::leftChars("MGR01", 3), "MGR");
    EXPECT_EQ(text::leftChars("12", 3), "12");
    EXPECT_EQ(text::rightChars("00D1234", 3), "234");
    EXPECT_EQ(text::rightChars("12", 3), "12");
    EXPECT_EQ(text::rightChars("แผนกขาย", 3), "ขาย");
    EXPECT_EQ(text::midChars("abc", 5, 2), "");
    // A stray byte counts as one character and is kept.
    EXPECT_EQ(text::charCount("a\xE0z"), 3u);
    EXPECT_EQ(text::leftChars("\xE0zz", 2), "\xE0z");
}

TEST(TextToCurrency, AcceptsPlainNumbersWithSignBlanksAndSeparators) {
    EXPECT_EQ(textToCurrency("100").units, 1000000);
    EXPECT_EQ(textToCurrency("-25.50").units, -255000);
    EXPECT_EQ(textToCurrency("+3").units, 30000);
    EXPECT_EQ(textToCurrency("  1,234.5 ").units, 12345000);
    EXPECT_EQ(textToCurrency("1,234,567.89").units, 12345678900);
    EXPECT_EQ(textToCurrency("\t7\t").units, 70000);
    EXPECT_EQ(textToCurrency(".5").units, 5000);
    EXPECT_EQ(textToCurrency("5.").units, 50000);
    EXPECT_EQ(textToCurrency("(12.5)").units, -125000);
    EXPECT_EQ(textToCurrency("0.0000").units, 0);
    EXPECT_EQ(textToCurrency("-0.01").units, -100);
    EXPECT_EQ(textToCurrency("922337203685477.5807").units, INT64_MAX);
    EXPECT_EQ(textToCurrency("-922337203685477.5808").units, INT64_MIN);
}

TEST(TextToCurrency, RoundsTheFifthDecimalHalfToEven) {
    EXPECT_EQ(textToCurrency("0.00005").units, 0);
    EXPECT_EQ(textToCurrency("0.00015").units, 2);
    EXPECT_EQ(textToCurrency("0.000051").units, 1);
    EXPECT_EQ(textToCurrency("1.23456").units, 12346);
    EXPECT_EQ(textToCurrency("-1.23455").units, -12346);
    EXPECT_EQ(textToCurrency("1.23454999").units, 12345);
}

TEST(TextToCurrency, RefusesTextWithoutANumberAndOutOfRangeValues) {
    for (const char* bad : {"", "   ", "abc", "-", ".", "\"100\"", "1.2.3", "12a", "1 000", ",100",
                            "100,", "1,,000", "--1", "1e3", "฿100", "(12"}) {
        EXPECT_EQ(errorNumberOf<RunTimeError>([&] { textToCurrency(bad); }), 13)
            << "'" << bad << "'";
    }
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { textToCurrency("922337203685477.5808"); }), 6);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { textToCurrency("-922337203685477.5809"); }), 6);
    EXPECT_EQ(errorNumberOf<RunTimeError>(
                  [] { textToCurrency("99999999999999999999999999999999999999999"); }),
              6);
    // A value that rounds past the top of the range overflows too.
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { textToCurrency("922337203685477.58075"); }), 6);
}

TEST(AmountOfColumn, EmptyIsZeroButBlanksAreNotANumber) {
    EXPECT_EQ(amountOfColumn("").units, 0);
    EXPECT_EQ(amountOfColumn("0.00").units, 0);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { amountOfColumn(" "); }), 13);
}

TEST(CurrencyToText, WritesTheShortestPlainForm) {
    EXPECT_EQ(currencyToText({12345000}), "1234.5");
    EXPECT_EQ(currencyToText({0}), "0");
    EXPECT_EQ(currencyToText({-100}), "-0.01");
    EXPECT_EQ(currencyToText({1}), "0.0001");
    EXPECT_EQ(currencyToText({1000000000}), "100000");
    EXPECT_EQ(currencyToText({INT64_MIN}), "-922337203685477.5808");
    EXPECT_EQ(currencyToText({INT64_MAX}), "922337203685477.5807");
}

TEST(ElapsedTimeText, ShowsHoursMinutesSecondsOfTheTimeOfDay) {
    const jet::DateTime start{45000.25};
    auto after = [&](double seconds) { return jet::DateTime{start.oleDate + seconds / 86400.0}; };
    EXPECT_EQ(text::elapsedTimeText(start, start), "0 ชม. 0 นาที 0 วินาที");
    EXPECT_EQ(text::elapsedTimeText(start, after(187)), "0 ชม. 3 นาที 7 วินาที");
    EXPECT_EQ(text::elapsedTimeText(start, after(3600 * 13 + 60 * 5 + 59)), "13 ชม. 5 นาที 59 วินาที");
    EXPECT_EQ(text::elapsedTimeText(start, after(86400 + 3661)), "1 ชม. 1 นาที 1 วินาที");
    EXPECT_EQ(text::elapsedTimeText(start, after(0.6)), "0 ชม. 0 นาที 1 วินาที");
    EXPECT_EQ(text::elapsedTimeText(start, after(-65)), "0 ชม. 1 นาที 5 วินาที");
}

}  // namespace
