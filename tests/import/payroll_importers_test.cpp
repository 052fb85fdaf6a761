#include <gtest/gtest.h>

#include <string>

#include "import/importer_fixtures.h"
#include "import/payroll/income_detail_importer.h"

namespace testing_support {
namespace {

TEST_F(DataCalcTest, ReplacesAllOfAnEmployeesRowsByItsNonZeroAmounts) {
    window.fields[form::Field::Period] = "2";
    writeInput("E001,1500.50,0.00,-150.25\r\nE003,,0,\r\n");
    click(1);
    ASSERT_TRUE(reports.reports().empty()) << reports.reports()[0].description;
    EXPECT_EQ(calcRows(), (Lines{"ZZ|E002|2567|1|I|01|01|30", "CC|E001|2567|2|I|01|01|1500.5",
                                 "CC|E001|2567|2|D|02|01|-150.25"}));
}

TEST_F(DataCalcTest, TwoLinesOfOneEmployeeKeepTheSecondAndTheYearIsReadPerRow) {
    writeInput("E002,1,2,\r\nE002,3,4,5\r\n");
    int yields = 0;
    window.onYield = [&] {
        if (++yields == 2) window.fields[form::Field::Year] = "2568";
    };
    click(1);
    EXPECT_EQ(calcRows(), (Lines{"ZZ|E001|2566|12|I|01|01|10", "ZZ|E001|2567|1|I|01|02|20",
                                 "CC|E002|2568|1|I|01|01|3", "CC|E002|2568|1|I|01|02|4",
                                 "CC|E002|2568|1|D|02|01|5"}));
}

TEST_F(DataCalcTest, AnEmptyTableGetsRowsAndALayoutOfOnlyTheCodeRowOnlyDeletes) {
    execute(dbPath, "DELETE * FROM [Data Calc]");
    writeInput("E005,7,,\r\n");
    click(1);
    EXPECT_EQ(calcRows(), Lines{"CC|E005|2567|1|I|01|01|7"});

    setLayout("iData Calc", {{1, "Employee#", 1, ""}, {2, "I0101", 0, ""}});
    writeInput("E005,9,,\r\n");
    click(1);
    EXPECT_TRUE(calcRows().empty());
    EXPECT_TRUE(reports.reports().empty());
}

TEST_F(DataCalcTest, FailuresReportTheirErrorAndChangeNothingOfTheLine) {
    struct Case {
        const char* line;
        int32_t number;
    };
    for (const Case& c : {Case{"E001,1,2", 9}, Case{"E001,1,\"2\",3", 13}, Case{"E001, ,1,1", 13},
                          Case{"E001,1,99999999999999999999,1", 6}}) {
        reports.clear();
        window.messages.clear();
        writeInput(c.line);
        click(1);
        ASSERT_EQ(reports.reports().size(), 1u) << c.line;
        EXPECT_EQ(reports.reports()[0].context, "ImportToDataCalc()");
        EXPECT_EQ(reports.reports()[0].number, c.number) << c.line;
        EXPECT_EQ(window.messages.size(), 1u);
        EXPECT_EQ(calcRows(), (Lines{"ZZ|E001|2566|12|I|01|01|10", "ZZ|E001|2567|1|I|01|02|20",
                                     "ZZ|E002|2567|1|I|01|01|30"}))
            << c.line;
    }
}

TEST_F(DataCalcTest, ACodeWithAQuoteNeverReachesAnotherEmployeesRows) {
    writeInput("E002' OR ''='\r\n");
    click(1);
    ASSERT_EQ(reports.reports().size(), 1u);
    EXPECT_EQ(reports.reports()[0].context, "ImportToDataCalc()");
    EXPECT_EQ(calcRows().size(), 3u);
}

TEST_F(DataCalcTest, ALayoutWithoutRowOneFailsEveryLine) {
    setLayout("iData Calc", {{1, "Employee#", 0, ""}, {2, "I0101", 2, ""}});
    writeInput("E001,5\r\n");
    click(1);
    ASSERT_EQ(reports.reports().size(), 1u);
    EXPECT_EQ(reports.reports()[0].context, "ImportToDataCalc()");
    EXPECT_EQ(calcRows().size(), 3u);
}

class IncomeDetailTest : public TransferTest {
  protected:
    void SetUp() override {
        TransferTest::SetUp();
        for (const char* table : {"iDataMasterDetail", "iDataVariantDetail"}) {
            setLayout(table, {{1, "Employee#", 1, ""},
                              {2, "I0101", 2, ""},
                              {3, "I0102", 3, ""},
                              {4, "D0201", 4, ""}});
        }
        for (const char* table : {"Data Master Detail", "Data Variant Detail"}) {
            for (const char* row : {"'E001', 'I', '01', '01', 10", "'E001', 'I', '01', '02', 20",
                                    "'E001', 'D', '02', '01', 30", "'E002', 'I', '01', '01', 40"}) {
                execute(dbPath, std::string("INSERT INTO [") + table +
                                    "] ([Employee#], [Type for], [Type], [Code], [Amount]) "
                                    "VALUES (" +
                                    row + ")");
            }
        }
    }
    Lines detailRows(const std::string& table) {
        return rows("SELECT [Employee#], [Type for], [Type], [Code], [Amount] FROM [" + table +
                    "] ORDER BY [Employee#], [Type for], [Type], [Code]");
    }
    const Lines untouched{"E001|D|02|01|30", "E001|I|01|01|10", "E001|I|01|02|20",
                          "E002|I|01|01|40"};
};

TEST_F(IncomeDetailTest, ChangesOnlyAmountsOfExistingRowsOfItsOwnKind) {
    execute(dbPath, "DELETE * FROM [Data Master Detail] WHERE [Employee#]='E001' AND [Code]='02'");
    writeInput("E001,11,22,-33.5\r\nE002,0,5,\r\nE009,1,1,1\r\nE001,12,,\r\n");
    click(2);
    EXPECT_TRUE(reports.reports().empty());
    EXPECT_EQ(detailRows("Data Master Detail"),
              (Lines{"E001|D|02|01|-33.5", "E001|I|01|01|12", "E002|I|01|01|40"}));
    EXPECT_EQ(detailRows("Data Variant Detail"), untouched);
    EXPECT_EQ(messageTitles(), Lines{"โอนข้อมูลไป VELTRA Payroll"});

    writeInput("E002,41,,\r\n");
    click(3);
    EXPECT_EQ(detailRows("Data Variant Detail"),
              (Lines{"E001|D|02|01|30", "E001|I|01|01|10", "E001|I|01|02|20", "E002|I|01|01|41"}));
    EXPECT_EQ(detailRows("Data Master Detail")[2], "E002|I|01|01|40");
}

TEST_F(IncomeDetailTest, FailuresNameTheCodeAndTheLastConvertedAmount) {
    struct Case {
        const char* line;
        const char* context;
    };
    for (const Case& c : {Case{"E001,1234.50,x,1", "ImportToPMPD() > รหัส E001, จำนวน 1234.5"},
                          Case{"E001,abc", "ImportToPMPD() > รหัส E001, จำนวน 0"},
                          Case{"E001,5,0", "ImportToPMPD() > รหัส E001, จำนวน 0"},
                          Case{"E0'01,5", "ImportToPMPD() > รหัส E0'01, จำนวน 5"}}) {
        reports.clear();
        writeInput(c.line);
        click(3);
        ASSERT_EQ(reports.reports().size(), 1u) << c.line;
        EXPECT_EQ(reports.reports()[0].context, c.context);
        EXPECT_EQ(detailRows("Data Variant Detail"), untouched) << c.line;
    }
    EXPECT_EQ(messageTitles().back(), "โอนข้อมูลเงินเดือน PD");

    // No layout row 1: the code is empty.
    setLayout("iDataMasterDetail", {{2, "I0101", 2, ""}});
    reports.clear();
    writeInput("E001,5\r\n");
    click(2);
    ASSERT_EQ(reports.reports().size(), 1u);
    EXPECT_EQ(reports.reports()[0].context, "ImportToPMPD() > รหัส , จำนวน 0");
    EXPECT_EQ(messageTitles().back(), "โอนข้อมูลเงินเดือน PM");
}

TEST_F(IncomeDetailTest, AKeyWithAQuoteChangesNoRow) {
    setLayout("iDataMasterDetail", {{1, "Employee#", 1, ""}, {2, "I'1' OR ''='", 2, ""}});
    writeInput("E001,5\r\n");
    click(2);
    ASSERT_EQ(reports.reports().size(), 1u);
    EXPECT_EQ(detailRows("Data Master Detail"), untouched);
}

TEST(DetailLookupStatement, IsBuiltPieceByPiece) {
    EXPECT_EQ(importers::payroll::detailLookupStatement("PM", "E001", {"I", "01", "02"}),
              "SELECT [Data Master Detail].* FROM [Data Master Detail] WHERE ((([Data Master "
              "Detail].[Employee#])='E001') AND (([Data Master Detail].[Type for])='I') AND "
              "(([Data Master Detail].Type)='01') AND (([Data Master Detail].Code)='02'));");
    EXPECT_EQ(importers::payroll::detailLookupStatement("PD", "7", {"D", "1", ""}),
              "SELECT [Data Variant Detail].* FROM [Data Variant Detail] WHERE ((([Data Variant "
              "Detail].[Employee#])='7') AND (([Data Variant Detail].[Type for])='D') AND "
              "(([Data Variant Detail].Type)='1') AND (([Data Variant Detail].Code)=''));");
    EXPECT_THROW(importers::payroll::detailLookupStatement("pm", "E001", {"I", "01", "02"}),
                 report::RunTimeError);
}

}  // namespace
}  // namespace testing_support
