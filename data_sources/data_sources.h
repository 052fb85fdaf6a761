// The window's data sources: the two data controls of a transfer, the four layout grids' data
// controls and the data folder derived from the database path.
//
// OpenAdc binds adcDestination to the destination table of a transfer kind in the payroll
// database and adcStructure to that kind's layout rows (FieldNo above 0, ascending No) in
// ImportData.mdb. OpenLayoutTable opens the four layout tables for the grids. txtDir_Change
// derives DataFolder from the database path field: the path without its last 11 characters
// (the length of the separator and "Melvar.mdb"). Each reports its own failures through
// ReportError and returns normally; nothing is retried.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "form/form.h"

namespace data_sources {

// Connection text of a database file: the provider text followed by the full path.
std::string connectionTextFor(const std::string& databasePath);
// Full path of the layout database in `dataFolder`, joined by the platform's separator.
std::string layoutDatabasePath(const std::string& dataFolder);

// Destination query of a transfer's table name ("Data Calc" -> "SELECT * FROM [Data Calc]"),
// and the layout query of its layout table. Empty for an unknown name.
std::string destinationQuery(const std::string& sTableName);
std::string layoutQuery(const std::string& sTableName);

// Binds adcDestination and adcStructure for the table name of a transfer kind ("Employee
// Master", "Data Calc", "Data Master Detail", "Data Variant Detail"). Reports failures with the
// context "OpenAdc(<name>)".
void OpenAdc(form::Form& form, const std::string& sTableName, const std::string& sDbPath);

// Opens the four layout grids' data controls from DataFolder. Reports the first failure with
// the context "OpenLayoutTable()"; the controls after it are not opened.
void OpenLayoutTable(form::Form& form);

// Change of txtDir(Index). For Index 1 derives DataFolder and runs OpenLayoutTable; a path
// shorter than 11 characters is reported ("txtDir(1)_Change") and changes nothing.
void txtDir_Change(form::Form& form, int16_t Index);

}  // namespace data_sources
