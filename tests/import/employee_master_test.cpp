#include <gtest/gtest.h>

#include <string>

#include "import/importer_fixtures.h"

namespace testing_support {
namespace {

TEST_F(EmployeeMasterTest, CreatesARecordWithStampsFieldRulesAndCompletion) {
    writeInput("E001,  สมชาย ,1,2,MGR01,D00123,20240315,5/3/2567,,123-4,,20991231\r\n");
    click(0);
    ASSERT_TRUE(reports.reports().empty()) << reports.contexts()[0];
    EXPECT_EQ(codes(), Lines{"E001"});
    const std::vector<std::pair<std::string, std::string>> expected{
        {"Company Code", "CC"},
        {"Entered by", "Import"},
        {"Default Fix income form", "PM01"},
        {"Default Var income form", "PD01"},
        {"First name", "สมชาย"},
        {"Sex", "M"},
        {"SexTableFor", "S"},
        {"SexType", "19"},
        {"Status", "M"},
        {"Position", "MGR"},
        {"PositionTableFor", "U"},
        {"PositionType", "14"},
        {"Department", "123"},
        {"DepartmentTableFor", "U"},
        {"DepartmentType", "10"},
        {"Dependent1", "0"},
        {"Bank Account", "123-4"},
        {"Type of staff", "S"},
        {"Custom name 1", "B"},
        {"Bank Code", "002"},
        {"Bank CodeTableFor", "S"},
        {"Bank CodeType", "13"},
        {"Title", ""}};
    for (const auto& [field, v] : expected) EXPECT_EQ(text("E001", field), v) << field;
    EXPECT_EQ(date("E001", "Birth date"), (jet::CivilDateTime{2024, 3, 15}));
    EXPECT_EQ(date("E001", "Hired date"), (jet::CivilDateTime{2024, 3, 5}));
    EXPECT_TRUE(value(select("E001"), "Resign Date").isNull());  // no format: not written
    EXPECT_TRUE(value(select("E001"), "Section").isNull());
}

TEST_F(EmployeeMasterTest, UpdatesTheRecordFoundAndKeepsWhatNoRuleWrites) {
    execute(dbPath,
            "INSERT INTO [Employee Master] ([Employee#], [Company Code], "
            "[First name], [Birth "
            "date], [Type of staff], [Custom name 1], [Entered by]) "
            "VALUES ('E001', 'XX', 'Old', "
            "#1/2/1990#, 'D', 'B', 'Someone')");
    execute(dbPath, "INSERT INTO [Employee Master] ([Employee#]) VALUES ('E000')");
    window.fields[form::Field::BankCode] = "";
    writeInput("E001,New,f,9,AB,12,00000000,,2,77,D\r\n");
    click(0);
    ASSERT_TRUE(reports.reports().empty()) << reports.contexts()[0];
    EXPECT_EQ(codes(), (Lines{"E000", "E001"}));
    EXPECT_EQ(text("E001", "First name"), "New");
    EXPECT_EQ(text("E001", "Company Code"), "CC");
    EXPECT_EQ(text("E001", "Entered by"), "Import");
    EXPECT_EQ(text("E001", "Sex"), "f");
    EXPECT_EQ(text("E001", "Status"), "9");
    EXPECT_EQ(text("E001", "Position"), "AB");
    EXPECT_EQ(text("E001", "Department"), "12");
    EXPECT_EQ(date("E001", "Birth date"), (jet::CivilDateTime{1990, 1, 2}));  // 00000000 kept it
    EXPECT_EQ(text("E001", "Dependent1"), "2");
    EXPECT_EQ(text("E001", "Type of staff"), "D");
    EXPECT_TRUE(value(select("E001"), "Bank Code").isNull());  // no bank code in the window
    EXPECT_EQ(text("E000", "Company Code"), "");
}

TEST_F(EmployeeMasterTest, ALaterLineOfTheSameEmployeeUpdatesTheRecordAddedEarlier) {
    setLayout("iEmployee Master", {{2, "Employee#", 1, ""}, {3, "First name", 2, ""}});
    writeInput("E001,A\r\nE002,B\r\nE001,C\r\n\r\nE002,D\r\n");
    click(0);
    EXPECT_TRUE(reports.reports().empty());
    EXPECT_EQ(rows("SELECT [Employee#], [First name] FROM [Employee Master] ORDER BY "
                   "[Employee#]"),
              (Lines{"E001|C", "E002|D"}));
    EXPECT_EQ(form.iLineCount, 5);
}

TEST_F(EmployeeMasterTest, TheCodeIsSearchedUntrimmedAndThePlainRuleTrimsIt) {
    setLayout("iEmployee Master", {{2, "Employee#", 1, ""}, {3, "First name", 2, ""}});
    writeInput(" 0012,A\r\n");
    click(0);
    EXPECT_EQ(codes(), Lines{"0012"});
    EXPECT_TRUE(reports.reports().empty());
    // The untrimmed code finds no record, so a second one is added: a duplicate
    // code.
    writeInput(" 0012,B\r\n");
    click(0);
    ASSERT_EQ(reports.reports().size(), 1u);
    EXPECT_EQ(reports.reports()[0].context.rfind(
                  "ImportToEmployeeMaster()\r\nรหัส:  0012,  ชื่อฟิล์ด: \r\nข้อผิดพลาด: ", 0),
              0u)
        << reports.reports()[0].context;
    EXPECT_EQ(text("0012", "First name"), "A");
    EXPECT_EQ(codes(), Lines{"0012"});
}

TEST_F(EmployeeMasterTest, FailedLinesReportTheFieldAndLeaveNoTrace) {
    execute(dbPath,
            "INSERT INTO [Employee Master] ([Employee#], [First name]) VALUES "
            "('E001', 'Keep')");
    struct Case {
        std::string line, code, field, description;
    };
    const std::vector<Case> cases{
        {"E001,X,1,1,A,B", "E001", "Birth date", "Subscript out of range"},
        {"E001,X,1,1,A,B,1abc0315", "E001", "Birth date", "Type mismatch"},
        {"E001,X,1,1,A,B,,31/04/2567", "E001", "Hired date", "Type mismatch"},
    };
    for (const Case& c : cases) {
        reports.clear();
        writeInput(c.line + "\r\n");
        click(0);
        ASSERT_EQ(reports.reports().size(), 1u) << c.line;
        EXPECT_EQ(reports.reports()[0].context, context(c.code, c.field, c.description));
        EXPECT_EQ(window.labels[form::Label::ProcessStatus], "");
        EXPECT_EQ(codes(), Lines{"E001"});
        EXPECT_EQ(text("E001", "First name"), "Keep");
        EXPECT_EQ(text("E001", "Company Code"), "");
    }
    // A value too long for its field, and a name that is no field.
    setLayout("iEmployee Master", {{2, "Employee#", 1, ""}, {3, "Title", 2, ""}});
    for (const std::string line : {"E002,Title longer than twenty", "E0000000001,Mr"}) {
        reports.clear();
        writeInput(line + "\r\n");
        click(0);
        ASSERT_EQ(reports.reports().size(), 1u) << line;
        EXPECT_EQ(codes(), Lines{"E001"}) << line;
    }
    setLayout("iEmployee Master", {{2, "Employee#", 1, ""}, {3, "No such field", 2, ""}});
    reports.clear();
    writeInput("E002,x\r\n");
    click(0);
    ASSERT_EQ(reports.reports().size(), 1u);
    EXPECT_EQ(reports.reports()[0].context.rfind(
                  "ImportToEmployeeMaster()\r\nรหัส: E002,  ชื่อฟิล์ด: No such field\r\n", 0),
              0u)
        << reports.reports()[0].context;
    EXPECT_EQ(codes(), Lines{"E001"});
}

TEST_F(EmployeeMasterTest, ACodeWithAQuoteIsRefusedWhenTheTableHasRecords) {
    execute(dbPath, "INSERT INTO [Employee Master] ([Employee#]) VALUES ('E001')");
    writeInput("E0' OR ''=',X\r\n");
    click(0);
    ASSERT_EQ(reports.reports().size(), 1u);
    EXPECT_EQ(reports.reports()[0].context.rfind(
                  "ImportToEmployeeMaster()\r\nรหัส: E0' OR ''=',  ชื่อฟิล์ด: Employee#\r\n", 0),
              0u);
    EXPECT_EQ(codes(), Lines{"E001"});
    EXPECT_TRUE(value(select("E001"), "Company Code").isNull());
}

TEST_F(EmployeeMasterTest, LayoutsWithoutRowTwoOrWithRowsBelowItFailEveryLine) {
    setLayout("iEmployee Master", {{1, "Employee#", 1, ""}, {3, "First name", 2, ""}});
    writeInput("E001,A\r\n");
    click(0);
    ASSERT_EQ(reports.reports().size(), 1u);
    EXPECT_EQ(reports.reports()[0].context.rfind(
                  "ImportToEmployeeMaster()\r\nรหัส: ,  ชื่อฟิล์ด: \r\nข้อผิดพลาด: ", 0),
              0u);

    setLayout("iEmployee Master", {{1, "Title", 2, ""}, {2, "Employee#", 1, ""}});
    reports.clear();
    click(0);
    ASSERT_EQ(reports.reports().size(), 1u);
    EXPECT_EQ(reports.reports()[0].context.rfind(
                  "ImportToEmployeeMaster()\r\nรหัส: E001,  ชื่อฟิล์ด: \r\nข้อผิดพลาด: ", 0),
              0u);
    EXPECT_TRUE(codes().empty());
    EXPECT_EQ(messageTitles().back(), "โอนประวัติพนักงาน");
}

class EmployeeDatesAsTextTest : public EmployeeMasterTest {
  protected:
    std::string dateType() const override { return "TEXT(10)"; }
};

TEST_F(EmployeeDatesAsTextTest, TextDateFieldsReceiveTheBuddhistEraText) {
    writeInput("E001,A,1,1,P,D,20240315,5/3/2567,,1,,12/3/2567\r\n");
    click(0);
    ASSERT_TRUE(reports.reports().empty()) << reports.contexts()[0];
    EXPECT_EQ(text("E001", "Birth date"), "15/03/2567");
    EXPECT_EQ(text("E001", "Hired date"), "05/03/2567");
    EXPECT_TRUE(value(select("E001"), "Resign Date").isNull());
}

}  // namespace
}  // namespace testing_support
