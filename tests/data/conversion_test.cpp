// Conversions of assigned values to column types, text forms of values, and the error table.
#include <gtest/gtest.h>

#include "data/conversion.h"
#include "data/errors.h"
#include "support/error_number.h"

namespace {

using report::RunTimeError;
using testing_support::errorNumberOf;

jet::Column column(jet::ColumnType type, int textSize = 0) {
    jet::Column c;
    c.name = "F";
    c.type = type;
    c.length = static_cast<uint16_t>(textSize * 2);
    c.scale = 2;
    return c;
}

jet::Value convert(jet::ColumnType type, const jet::Value& v, int textSize = 10) {
    return data::convertForColumn(column(type, textSize), v);
}

jet::CivilDateTime civil(const jet::Value& v) {
    return data::fromOleDate(v.as<jet::DateTime>().oleDate);
}

TEST(Conversion, DayFirstDatesCarryBuddhistEraYears) {
    auto c = civil(convert(jet::ColumnType::DateTime, "15/03/2567"));
    EXPECT_EQ(c, (jet::CivilDateTime{2024, 3, 15, 0, 0, 0, 0}));
    c = civil(convert(jet::ColumnType::DateTime, "5/3/2567 8:05:09"));
    EXPECT_EQ(c, (jet::CivilDateTime{2024, 3, 5, 8, 5, 9, 0}));
    c = civil(convert(jet::ColumnType::DateTime, "31/12/2542"));
    EXPECT_EQ(c, (jet::CivilDateTime{1999, 12, 31, 0, 0, 0, 0}));
    c = civil(convert(jet::ColumnType::DateTime, "29/02/2567"));  // 2024 is a leap year
    EXPECT_EQ(c.day, 29);
    // The OLE epoch and a date before it.
    EXPECT_EQ(data::toOleDate({1899, 12, 30, 0, 0, 0, 0}), 0.0);
    EXPECT_EQ(data::toOleDate({1900, 1, 1, 0, 0, 0, 0}), 2.0);
    EXPECT_EQ(data::toOleDate({1899, 12, 29, 6, 0, 0, 0}), -1.25);
    EXPECT_EQ(data::fromOleDate(-1.25), (jet::CivilDateTime{1899, 12, 29, 6, 0, 0, 0}));
    EXPECT_EQ(data::toOleDate({2024, 3, 15, 12, 0, 0, 0}), 45366.5);

    for (const char* bad : {"", "  ", "31/04/2567", "29/02/2566", "15/03/67", "01/00/543",
                            "15-03-2567x", "abc", "15/13/2567", "15/03/2567 25:00"}) {
        EXPECT_EQ(errorNumberOf<RunTimeError>([&] { convert(jet::ColumnType::DateTime, bad); }), 13)
            << bad;
    }
}

TEST(Conversion, NumbersFromText) {
    EXPECT_EQ(convert(jet::ColumnType::Long, " 1,234 "), jet::Value(int32_t{1234}));
    EXPECT_EQ(convert(jet::ColumnType::Integer, "-2"), jet::Value(int16_t{-2}));
    EXPECT_EQ(convert(jet::ColumnType::Integer, "2.5"), jet::Value(int16_t{2}));  // half to even
    EXPECT_EQ(convert(jet::ColumnType::Byte, "3.5"), jet::Value(uint8_t{4}));
    EXPECT_EQ(convert(jet::ColumnType::Double, "1e3"), jet::Value(1000.0));
    EXPECT_EQ(convert(jet::ColumnType::Currency, "1,234.56"), jet::Value(jet::Currency{12345600}));
    EXPECT_EQ(convert(jet::ColumnType::Currency, " -150.25 "), jet::Value(jet::Currency{-1502500}));
    EXPECT_EQ(convert(jet::ColumnType::Currency, "0.00005"), jet::Value(jet::Currency{0}));
    EXPECT_EQ(convert(jet::ColumnType::Currency, "0.00015"), jet::Value(jet::Currency{2}));
    EXPECT_EQ(convert(jet::ColumnType::Currency, "922337203685477.5807"),
              jet::Value(jet::Currency{INT64_MAX}));
    EXPECT_EQ(convert(jet::ColumnType::Currency, jet::Value(int32_t{7})),
              jet::Value(jet::Currency{70000}));
    EXPECT_EQ(convert(jet::ColumnType::Boolean, "True"), jet::Value(true));
    EXPECT_EQ(convert(jet::ColumnType::Boolean, jet::Value(int32_t{0})), jet::Value(false));

    // Empty text is a type mismatch, not zero; out of range is an overflow.
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { convert(jet::ColumnType::Long, ""); }), 13);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { convert(jet::ColumnType::Currency, "   "); }), 13);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { convert(jet::ColumnType::Currency, "12a"); }), 13);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { convert(jet::ColumnType::Long, "\"5\""); }), 13);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { convert(jet::ColumnType::Integer, "32768"); }), 6);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { convert(jet::ColumnType::Byte, "-1"); }), 6);
    EXPECT_EQ(errorNumberOf<RunTimeError>(
                  [] { convert(jet::ColumnType::Currency, "922337203685477.5808"); }),
              6);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { convert(jet::ColumnType::Long, "3000000000"); }), 6);
    // A null stays null whatever the column.
    EXPECT_TRUE(convert(jet::ColumnType::Long, jet::Value()).isNull());
}

TEST(Conversion, TextColumnsKeepTheirSize) {
    EXPECT_EQ(convert(jet::ColumnType::Text, "0012", 4), jet::Value("0012"));
    // Characters, not bytes: four Thai letters fit a column of four.
    EXPECT_EQ(convert(jet::ColumnType::Text, "สมชาย", 5), jet::Value("สมชาย"));
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { convert(jet::ColumnType::Text, "00123", 4); }),
              3163);
    EXPECT_EQ(convert(jet::ColumnType::Text, jet::Value(int16_t{2}), 4), jet::Value("2"));
    EXPECT_EQ(convert(jet::ColumnType::Memo, std::string(5000, 'x')).as<std::string>().size(),
              5000u);
}

TEST(Conversion, ValuesAsText) {
    EXPECT_EQ(data::valueToText(jet::Value(jet::Currency{12345000})), "1234.5");
    EXPECT_EQ(data::valueToText(jet::Value(jet::Currency{-1502500})), "-150.25");
    EXPECT_EQ(data::valueToText(jet::Value(jet::Currency{0})), "0");
    EXPECT_EQ(data::valueToText(jet::Value(true)), "True");
    EXPECT_EQ(data::valueToText(jet::Value(0.1)), "0.1");
    EXPECT_EQ(data::valueToText(jet::Value()), "");
    EXPECT_EQ(data::valueToText(jet::Value(jet::DateTime{45366.0})), "15/03/2567");
    EXPECT_EQ(data::valueToExportText(jet::Value(jet::DateTime{45366.5})), "2024-03-15 12:00:00");
    EXPECT_EQ(data::valueToExportText(jet::Value(jet::Currency{12345000})), "1234.5000");
    EXPECT_EQ(data::valueToExportText(jet::Value(false)), "0");

    EXPECT_EQ(data::valueToLong(jet::Value(" 42 ")), 42);
    EXPECT_EQ(data::valueToLong(jet::Value(uint8_t{7})), 7);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { data::valueToLong(jet::Value("x")); }), 13);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { data::valueToLong(jet::Value()); }), 94);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { data::valueToLong(jet::Value(1e12)); }), 6);
}

TEST(ErrorTable, EngineFailuresReachCallersWithTheProvidersWords) {
    auto dup = data::fromJetError(jet::Error(jet::ErrorCode::DuplicateKey, "PK_Employee"));
    EXPECT_EQ(dup.number(), 3022);
    EXPECT_EQ(dup.description().rfind("The changes you requested to the table were not "
                                      "successful because they would create duplicate values",
                                      0),
              0u);
    auto null = data::fromJetError(jet::Error(jet::ErrorCode::NullNotAllowed, "x"),
                                   "Employee Master.Employee#");
    EXPECT_EQ(null.number(), 3314);
    EXPECT_NE(null.description().find("'Employee Master.Employee#'"), std::string::npos);
    EXPECT_EQ(data::fromJetError(jet::Error(jet::ErrorCode::TooLong, "x")).number(), 3163);
    EXPECT_EQ(data::fromJetError(jet::Error(jet::ErrorCode::Overflow, "x")).number(), 6);
    auto bof = data::makeError(data::Fault::NoCurrentRecord);
    EXPECT_EQ(bof.number(), 3021);
    EXPECT_EQ(bof.description(),
              "Either BOF or EOF is True, or the current record has been deleted. Requested "
              "operation requires a current record.");
    auto item = data::makeError(data::Fault::ItemNotFound);
    EXPECT_EQ(item.description(),
              "Item cannot be found in the collection corresponding to the requested name or "
              "ordinal.");
    EXPECT_EQ(item.number(), 3265);
    EXPECT_EQ(data::makeError(data::Fault::TypeMismatch).description(), "Type mismatch");
    EXPECT_EQ(data::makeError(data::Fault::FileNotFound, "C:\\x.mdb").description(),
              "Could not find file 'C:\\x.mdb'.");
}

}  // namespace
