// ImportToDataCalc: one line of a calculation-data file into [Data Calc].
//
// The line's employee code is the column of layout row No 1 of [iData Calc]. All rows that
// [Data Calc] holds for the employee, of every year and period, are deleted through a connection
// of the importer's own; then every non-zero amount of the line becomes one new row for the year
// and period typed in the window, keyed by its layout row's pay-item key.
#pragma once

#include <cstdio>
#include <string>

#include "form/form.h"

namespace importers::payroll {

// Returns true when the line was transferred. On any failure the line is shown in
// lblProcessStatus, the error is reported ("ImportToDataCalc()") and false is returned; rows
// already written for the line are the caller's to undo.
// REQUIRES: OpenAdc has bound adcDestination and adcStructure for "Data Calc"; sData not empty.
bool ImportToDataCalc(form::Form& form, const std::string& sData, const std::string& sDelimiter,
                      const std::string& sDbPath);

}  // namespace importers::payroll
