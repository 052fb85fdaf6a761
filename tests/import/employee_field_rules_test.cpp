#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "import/employee/employee_field_rules.h"
#include "report/run_time_error.h"
#include "support/error_number.h"

namespace {

using importers::employee::LineColumn;
using report::RunTimeError;
using testing_support::errorNumberOf;

// A record that remembers its values and the order in which fields were written.
class FakeRecord : public importers::employee::EmployeeRecord {
  public:
    jet::Value field(const std::string& name) const override {
        auto it = values.find(name);
        return it == values.end() ? jet::Value() : it->second;
    }
    void setField(const std::string& name, const jet::Value& value) override {
        values[name] = value;
        writes.push_back(name);
    }
    std::string text(const std::string& name) const {
        const jet::Value v = field(name);
        return v.is<std::string>() ? v.as<std::string>() : "<not text>";
    }

    std::map<std::string, jet::Value> values;
    std::vector<std::string> writes;
};

using Writes = std::vector<std::string>;

TEST(SexAndStatusRules, MapCodesAndOtherwiseKeepTheFirstCharacter) {
    const std::vector<std::pair<std::string, std::string>> sexCases{
        {"1", "M"}, {"2", "F"},  {"M", "M"}, {"Male", "M"},
        {"f", "f"}, {" 1", " "}, {"", ""},   {"หญิง", "ห"}};
    for (const auto& [column, expected] : sexCases) {
        FakeRecord record;
        const std::vector<std::string> pieces{"E1", column};
        importers::employee::applySexRule(record, LineColumn{pieces, 2});
        EXPECT_EQ(record.text("Sex"), expected) << column;
        EXPECT_EQ(record.writes, (Writes{"SexTableFor", "SexType", "Sex"}));
        EXPECT_EQ(record.text("SexTableFor"), "S");
        EXPECT_EQ(record.text("SexType"), "19");
    }
    const std::vector<std::pair<std::string, std::string>> statusCases{
        {"1", "S"}, {"2", "M"},      {"3", "H"}, {"4", "D"},
        {"9", "9"}, {"Single", "S"}, {"", ""},   {"1 ", "1"}};
    for (const auto& [column, expected] : statusCases) {
        FakeRecord record;
        const std::vector<std::string> pieces{column};
        importers::employee::applyStatusRule(record, LineColumn{pieces, 1});
        EXPECT_EQ(record.text("Status"), expected) << column;
        EXPECT_EQ(record.writes, Writes{"Status"});
    }
}

TEST(CodedFieldRule, WritesCompanionsFirstThenFirstOrLastThreeCharacters) {
    struct Case {
        const char *field, *column, *value, *group, *number;
    };
    for (const Case& c :
         {Case{"Position", "ABCDE", "ABC", "U", "14"}, Case{"Position", "MGR01", "MGR", "U", "14"},
          Case{"Department", "00D1234", "234", "U", "10"},
          Case{"Department", "D00123", "123", "U", "10"}, Case{"Section", "12", "12", "U", "11"},
          Case{"Sub-Section", "X1234", "X12", "U", "12"}, Case{"Sub-Section", "", "", "U", "12"}}) {
        FakeRecord record;
        const std::vector<std::string> pieces{c.column};
        ASSERT_TRUE(importers::employee::isCodedField(c.field));
        importers::employee::applyCodedFieldRule(record, c.field, LineColumn{pieces, 1});
        const std::string field = c.field;
        EXPECT_EQ(record.writes, (Writes{field + "TableFor", field + "Type", field}));
        EXPECT_EQ(record.text(field), c.value) << field << " " << c.column;
        EXPECT_EQ(record.text(field + "TableFor"), c.group);
        EXPECT_EQ(record.text(field + "Type"), c.number);
    }
    EXPECT_FALSE(importers::employee::isCodedField("position"));
    EXPECT_FALSE(importers::employee::isCodedField("Bank Code"));

    // A missing column fails after the companions were written.
    FakeRecord record;
    const std::vector<std::string> pieces{"A"};
    EXPECT_EQ(
        errorNumberOf<RunTimeError>([&] {
            importers::employee::applyCodedFieldRule(record, "Section", LineColumn{pieces, 2});
        }),
        9);
    EXPECT_EQ(record.writes, (Writes{"SectionTableFor", "SectionType"}));
}

TEST(EmployeeDateText, YearFirstDigitsMoveIntoTheBuddhistEra) {
    const jet::Value ymd("yyyymmdd");
    EXPECT_EQ(importers::employee::employeeDateText(ymd, "20240315"), "15/03/2567");
    EXPECT_EQ(importers::employee::employeeDateText(ymd, "19991231"), "31/12/2542");
    EXPECT_EQ(importers::employee::employeeDateText(jet::Value("YYYYMMDD"), "20240315"),
              "15/03/2567");
    EXPECT_EQ(importers::employee::employeeDateText(ymd, "00000001"), "01/00/543");
    EXPECT_EQ(importers::employee::employeeDateText(ymd, "202403"), "03/03/2567");
    for (const char* unwritten : {"00000000", "0", "", "A2024031", "  0000", "-0"}) {
        EXPECT_EQ(importers::employee::employeeDateText(ymd, unwritten), std::nullopt) << unwritten;
    }
    // The leading number is not zero but the first four characters are no year.
    EXPECT_EQ(errorNumberOf<RunTimeError>(
                  [&] { importers::employee::employeeDateText(ymd, "1abc0315"); }),
              13);
}

TEST(EmployeeDateText, DayFirstFormsWriteTwoDigitDayAndMonthAndTheColumnsYear) {
    for (const char* format : {"dd/mm/yyyy", "d/m/yyyy", "D/MM/YYYY", "dd/m/yyyy"}) {
        const jet::Value f(format);
        EXPECT_EQ(importers::employee::employeeDateText(f, "5/3/2567"), "05/03/2567") << format;
        EXPECT_EQ(importers::employee::employeeDateText(f, "15/11/2520"), "15/11/2520");
        EXPECT_EQ(importers::employee::employeeDateText(f, "29/02/2567"),
                  "29/02/2567");  // 2024 CE is leap
        EXPECT_EQ(importers::employee::employeeDateText(f, ""), std::nullopt);
    }
    const jet::Value f("dd/mm/yyyy");
    for (const char* bad : {"31/04/2567", "32/01/2567", "1/13/2567", "0/1/2567", "29/02/2566",
                            "5/3/67", "15-03-2567", "a/b/cdef", "15/03"}) {
        EXPECT_EQ(
            errorNumberOf<RunTimeError>([&] { importers::employee::employeeDateText(f, bad); }), 13)
            << bad;
    }
}

TEST(EmployeeDateText, OtherFormatsWriteTheColumnAndNoFormatWritesNothing) {
    EXPECT_EQ(importers::employee::employeeDateText(jet::Value("dd-mm-yyyy"), "15-03-2567"),
              "15-03-2567");
    EXPECT_EQ(importers::employee::employeeDateText(jet::Value("dd-mm-yyyy"), ""), std::nullopt);
    EXPECT_EQ(importers::employee::employeeDateText(jet::Value(""), "20240315"), std::nullopt);
    EXPECT_EQ(importers::employee::employeeDateText(jet::Value(), "20240315"), std::nullopt);

    // The rule on a record: an empty format leaves the field alone even for a missing column.
    FakeRecord record;
    const std::vector<std::string> pieces{"20240315"};
    importers::employee::applyDateRule(record, "Birth date", jet::Value(), LineColumn{pieces, 5});
    EXPECT_TRUE(record.writes.empty());
    importers::employee::applyDateRule(record, "Resign Date", jet::Value("yyyymmdd"),
                                       LineColumn{pieces, 1});
    EXPECT_EQ(record.text("Resign Date"), "15/03/2567");
    EXPECT_TRUE(importers::employee::isDateField("Resign Date"));
    EXPECT_FALSE(importers::employee::isDateField("Resign date"));
    EXPECT_TRUE(importers::employee::isDateField("Birth date"));
}

TEST(DependantAndPlainRules, ZeroForEmptyDependantsAndSpacesTrimmedFromPlainFields) {
    FakeRecord record;
    const std::vector<std::string> pieces{"", "2", " 2", "  สมชาย  ", "\tx ", "   "};
    importers::employee::applyDependantRule(record, "Dependent1", LineColumn{pieces, 1});
    EXPECT_EQ(record.field("Dependent1"), jet::Value(int16_t{0}));
    importers::employee::applyDependantRule(record, "Dependent2", LineColumn{pieces, 2});
    EXPECT_EQ(record.text("Dependent2"), "2");
    importers::employee::applyDependantRule(record, "Dependent2", LineColumn{pieces, 3});
    EXPECT_EQ(record.text("Dependent2"), " 2");

    importers::employee::applyPlainRule(record, "First name", LineColumn{pieces, 4});
    EXPECT_EQ(record.text("First name"), "สมชาย");
    importers::employee::applyPlainRule(record, "Title", LineColumn{pieces, 5});
    EXPECT_EQ(record.text("Title"), "\tx");
    importers::employee::applyPlainRule(record, "Address", LineColumn{pieces, 6});
    EXPECT_EQ(record.text("Address"), "");
    importers::employee::applyPlainRule(record, "Tax ID", LineColumn{pieces, 1});
    EXPECT_EQ(record.text("Tax ID"), "");
}

TEST(CompletionRules, DefaultStaffTypeThenBankMarkThenWindowBankCode) {
    {
        FakeRecord record;  // empty record, bank account given, bank code given
        record.values["Bank Account"] = "123-4";
        importers::employee::applyCompletionRules(record, "002");
        EXPECT_EQ(record.writes, (Writes{"Type of staff", "Custom name 1", "Bank CodeTableFor",
                                         "Bank CodeType", "Bank Code"}));
        EXPECT_EQ(record.text("Type of staff"), "S");
        EXPECT_EQ(record.text("Custom name 1"), "B");
        EXPECT_EQ(record.text("Bank CodeTableFor"), "S");
        EXPECT_EQ(record.text("Bank CodeType"), "13");
        EXPECT_EQ(record.text("Bank Code"), "002");
    }
    {
        FakeRecord record;  // no bank code in the window: only the mark
        record.values["Type of staff"] = "D";
        record.values["Bank Account"] = "1";
        importers::employee::applyCompletionRules(record, "");
        EXPECT_EQ(record.writes, Writes{"Custom name 1"});
        EXPECT_EQ(record.text("Type of staff"), "D");
    }
    {
        FakeRecord record;  // an earlier mark B earns the bank code without an account
        record.values["Type of staff"] = "";
        record.values["Custom name 1"] = "B";
        importers::employee::applyCompletionRules(record, "014");
        EXPECT_EQ(record.writes,
                  (Writes{"Type of staff", "Bank CodeTableFor", "Bank CodeType", "Bank Code"}));
    }
    {
        FakeRecord record;  // no account, another mark: nothing of the bank
        record.values["Type of staff"] = "S";
        record.values["Bank Account"] = "";
        record.values["Custom name 1"] = "b";
        importers::employee::applyCompletionRules(record, "002");
        EXPECT_TRUE(record.writes.empty());
    }
}

}  // namespace
