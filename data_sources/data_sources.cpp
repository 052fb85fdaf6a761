#include "data_sources/data_sources.h"

#include <array>
#include <filesystem>

#include "report/report_error.h"
#include "text/characters.h"
#include "text/language_error.h"

namespace data_sources {

namespace {

constexpr const char* kOwner = "frmMain";
constexpr const char* kLayoutDatabaseName = "ImportData.mdb";
// Length of "\Melvar.mdb": what the data folder rule cuts from the database path.
constexpr size_t kDatabaseNameLength = 11;

struct TransferTables {
    const char* tableName;
    const char* destinationQuery;
    const char* layoutQuery;
};

constexpr std::array<TransferTables, 4> kTransferTables{{
    {"Employee Master", "SELECT * FROM [Employee Master]",
     "SELECT [iEmployee Master].* "
     "FROM [iEmployee Master] "
     "WHERE ((([iEmployee Master].FieldNo)>0)) "
     "ORDER BY [iEmployee Master].[No];"},
    {"Data Calc", "SELECT * FROM [Data Calc]",
     "SELECT [iData Calc].* "
     "FROM [iData Calc] "
     "WHERE ((([iData Calc].FieldNo)>0)) "
     "ORDER BY [iData Calc].[No];"},
    {"Data Master Detail", "SELECT * FROM [Data Master Detail]",
     "SELECT [iDataMasterDetail].* "
     "FROM [iDataMasterDetail] "
     "WHERE ((([iDataMasterDetail].FieldNo)>0)) "
     "ORDER BY [iDataMasterDetail].[No];"},
    {"Data Variant Detail", "SELECT * FROM [Data Variant Detail]",
     "SELECT [iDataVariantDetail].* "
     "FROM [iDataVariantDetail] "
     "WHERE ((([iDataVariantDetail].FieldNo)>0)) "
     "ORDER BY [iDataVariantDetail].[No];"},
}};

const TransferTables* findTables(const std::string& sTableName) {
    for (const auto& tables : kTransferTables) {
        if (sTableName == tables.tableName) return &tables;
    }
    return nullptr;
}

void bindControl(data::DataControl& control, const std::string& connectionText,
                 const std::string& recordSource) {
    control.ConnectionString = connectionText;
    control.RecordSource = recordSource;
    control.Refresh();
}

}  // namespace

std::string connectionTextFor(const std::string& databasePath) {
    return std::string(data::kProviderText) + databasePath;
}

std::string layoutDatabasePath(const std::string& dataFolder) {
    return dataFolder + static_cast<char>(std::filesystem::path::preferred_separator) +
           kLayoutDatabaseName;
}

std::string destinationQuery(const std::string& sTableName) {
    const TransferTables* tables = findTables(sTableName);
    return tables ? tables->destinationQuery : "";
}

std::string layoutQuery(const std::string& sTableName) {
    const TransferTables* tables = findTables(sTableName);
    return tables ? tables->layoutQuery : "";
}

void OpenAdc(form::Form& form, const std::string& sTableName, const std::string& sDbPath) {
    try {
        const TransferTables* tables = findTables(sTableName);
        if (tables == nullptr) throw text::languageError(report::errnum::kInvalidProcedureCall);
        bindControl(form.adcDestination, connectionTextFor(sDbPath), tables->destinationQuery);
        bindControl(form.adcStructure,
                    connectionTextFor(layoutDatabasePath(form.globals.DataFolder)),
                    tables->layoutQuery);
    } catch (...) {
        report::ReportError(kOwner, "OpenAdc(" + sTableName + ")");
    }
}

void OpenLayoutTable(form::Form& form) {
    try {
        const std::string connectionText =
            connectionTextFor(layoutDatabasePath(form.globals.DataFolder));
        bindControl(form.adciEmployeeMaster, connectionText,
                    "Select * From [iEmployee Master] ORDER BY [iEmployee Master].[No];");
        bindControl(form.adciDataMasterDetail, connectionText,
                    "Select * From iDataMasterDetail ORDER BY [iDataMasterDetail].[No];");
        bindControl(form.adciDataVariantDetail, connectionText,
                    "Select * From iDataVariantDetail ORDER BY [iDataVariantDetail].[No];");
        bindControl(form.adciDataCalc, connectionText,
                    "Select * From [iData Calc] ORDER BY [iData Calc].[No];");
    } catch (...) {
        report::ReportError(kOwner, "OpenLayoutTable()");
    }
}

void txtDir_Change(form::Form& form, int16_t Index) {
    try {
        if (Index != 1) return;
        const std::string path = form.window.fieldText(form::Field::Database);
        const size_t length = text::charCount(path);
        if (length < kDatabaseNameLength) {
            throw text::languageError(report::errnum::kInvalidProcedureCall);
        }
        form.globals.DataFolder = text::leftChars(path, length - kDatabaseNameLength);
        OpenLayoutTable(form);
    } catch (...) {
        report::ReportError(kOwner, "txtDir(" + std::to_string(Index) + ")_Change");
    }
}

}  // namespace data_sources
