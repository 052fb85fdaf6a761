#include <gtest/gtest.h>

#include <string>

#include "import/transfer_fixture.h"

namespace testing_support {
namespace {

class DataSourcesTest : public TransferTest {
  protected:
    void SetUp() override {
        TransferTest::SetUp();
        setLayout("iDataMasterDetail", {{3, "I0102", 3, ""},
                                        {1, "Employee#", 1, ""},
                                        {2, "I0101", 0, ""},
                                        {4, "D0201", 2, ""}});
        execute(dbPath,
                "INSERT INTO [Data Master Detail] ([Employee#], [Type for], [Type], [Code], "
                "[Amount]) VALUES ('E1', 'I', '01', '01', 5)");
        form.globals.DataFolder.clear();
    }
    Lines recordsetRows(data::Recordset& recordset, const std::string& field) {
        Lines out;
        for (recordset.MoveFirst(); !recordset.EOF(); recordset.MoveNext()) {
            out.push_back(data::valueToText(recordset.field(field)));
        }
        return out;
    }
};

TEST_F(DataSourcesTest, TheDatabasePathGivesTheDataFolderAndOpensTheLayoutGrids) {
    window.fields[form::Field::Database] = dbPath.string();
    data_sources::txtDir_Change(form, 1);
    EXPECT_TRUE(reports.reports().empty());
    EXPECT_EQ(form.globals.DataFolder, dir.path().string());
    const std::string layoutConnection = std::string(data::kProviderText) + layoutPath.string();
    EXPECT_EQ(form.adciEmployeeMaster.ConnectionString, layoutConnection);
    EXPECT_EQ(form.adciDataCalc.ConnectionString, layoutConnection);
    EXPECT_EQ(form.adciEmployeeMaster.RecordSource,
              "Select * From [iEmployee Master] ORDER BY [iEmployee Master].[No];");
    EXPECT_EQ(form.adciDataMasterDetail.RecordSource,
              "Select * From iDataMasterDetail ORDER BY [iDataMasterDetail].[No];");
    EXPECT_EQ(form.adciDataVariantDetail.RecordSource,
              "Select * From iDataVariantDetail ORDER BY [iDataVariantDetail].[No];");
    EXPECT_EQ(form.adciDataCalc.RecordSource,
              "Select * From [iData Calc] ORDER BY [iData Calc].[No];");
    // The grids see every row, FieldNo 0 included.
    EXPECT_EQ(recordsetRows(form.adciDataMasterDetail.recordset(), "No"),
              (Lines{"1", "2", "3", "4"}));
}

TEST_F(DataSourcesTest, OnlyTheDatabaseFieldAndOnlyLongEnoughPathsChangeTheDataFolder) {
    form.globals.DataFolder = "kept";
    window.fields[form::Field::TextFile] = dbPath.string();
    data_sources::txtDir_Change(form, 0);
    EXPECT_EQ(form.globals.DataFolder, "kept");
    EXPECT_FALSE(form.adciDataCalc.hasRecordset());

    window.fields[form::Field::Database] = "C:\\Pay.md";  // 10 characters
    data_sources::txtDir_Change(form, 1);
    EXPECT_EQ(form.globals.DataFolder, "kept");
    EXPECT_EQ(reports.contexts(), Lines{"txtDir(1)_Change"});

    // Another file name length cuts the wrong folder; its layout database is not there.
    reports.clear();
    window.fields[form::Field::Database] = "D:\\Pay\\Data\\Pay.mdb";
    data_sources::txtDir_Change(form, 1);
    EXPECT_EQ(form.globals.DataFolder, "D:\\Pay\\D");
    EXPECT_EQ(reports.contexts(), Lines{"OpenLayoutTable()"});
    EXPECT_FALSE(form.adciDataMasterDetail.hasRecordset());  // after the failing one
}

TEST_F(DataSourcesTest, OpenAdcBindsTheDestinationAndTheVisibleLayoutRowsOfAKind) {
    form.globals.DataFolder = dir.path().string();
    data_sources::OpenAdc(form, "Data Master Detail", dbPath.string());
    EXPECT_TRUE(reports.reports().empty());
    EXPECT_EQ(form.adcDestination.ConnectionString,
              std::string(data::kProviderText) + dbPath.string());
    EXPECT_EQ(form.adcDestination.RecordSource, "SELECT * FROM [Data Master Detail]");
    EXPECT_EQ(form.adcStructure.RecordSource,
              "SELECT [iDataMasterDetail].* FROM [iDataMasterDetail] WHERE "
              "((([iDataMasterDetail].FieldNo)>0)) ORDER BY [iDataMasterDetail].[No];");
    EXPECT_EQ(recordsetRows(form.adcStructure.recordset(), "No"), (Lines{"1", "3", "4"}));
    EXPECT_EQ(recordsetRows(form.adcDestination.recordset(), "Employee#"), Lines{"E1"});

    data_sources::OpenAdc(form, "Employee Master", (dir / "none.mdb").string());
    EXPECT_EQ(reports.contexts(), Lines{"OpenAdc(Employee Master)"});
}

TEST(TransferQueries, EachTableNameHasItsDestinationAndLayoutQuery) {
    EXPECT_EQ(data_sources::destinationQuery("Employee Master"), "SELECT * FROM [Employee Master]");
    EXPECT_EQ(data_sources::destinationQuery("Data Calc"), "SELECT * FROM [Data Calc]");
    EXPECT_EQ(data_sources::layoutQuery("Data Calc"),
              "SELECT [iData Calc].* FROM [iData Calc] WHERE ((([iData Calc].FieldNo)>0)) ORDER "
              "BY [iData Calc].[No];");
    EXPECT_EQ(data_sources::layoutQuery("Employee Master"),
              "SELECT [iEmployee Master].* FROM [iEmployee Master] WHERE ((([iEmployee "
              "Master].FieldNo)>0)) ORDER BY [iEmployee Master].[No];");
    EXPECT_EQ(data_sources::layoutQuery("Data Variant Detail"),
              "SELECT [iDataVariantDetail].* FROM [iDataVariantDetail] WHERE "
              "((([iDataVariantDetail].FieldNo)>0)) ORDER BY [iDataVariantDetail].[No];");
    EXPECT_EQ(data_sources::destinationQuery("data calc"), "");
    EXPECT_EQ(data_sources::connectionTextFor("C:\\Data\\Melvar.mdb"),
              "PROVIDER=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data "
              "Source=C:\\Data\\Melvar.mdb");
}

}  // namespace
}  // namespace testing_support
