// ImportToEmployeeMaster: one line of an employee master file into [Employee Master].
//
// The employee code is the column of layout row No 2 of [iEmployee Master], untrimmed. The
// employee is searched by that code; a new record is added when none has it, otherwise the
// record found is updated. Four fixed stamps are written, then the layout rows from the code
// row on are applied in order by their ToFieldName (coded fields, dates, dependants, plain
// fields), then the completion rules with the window's bank code, and the record is saved.
#pragma once

#include <cstdio>
#include <string>

#include "form/form.h"

namespace importers::employee {

// Returns true when the line was saved. On any failure nothing of the line is saved, the line is
// shown in lblProcessStatus, the error is reported with the employee code, the ToFieldName of the
// current layout row (empty when there is none) and the error's description, and false is
// returned.
// REQUIRES: OpenAdc has bound adcDestination and adcStructure for "Employee Master".
bool ImportToEmployeeMaster(form::Form& form, const std::string& sData,
                            const std::string& sDelimiter);

}  // namespace importers::employee
