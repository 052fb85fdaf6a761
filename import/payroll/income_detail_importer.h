// ImportToPMPD: one line of an income-detail file into the amounts of existing detail rows.
//
// Kind "PM" works on [Data Master Detail], kind "PD" on [Data Variant Detail]; neither touches
// the other table. For every non-zero amount of the line the employee's detail row of the
// layout row's pay item is looked up by a statement set as adcDestination's record source;
// when a row is found its Amount alone changes, otherwise the amount is dropped silently.
#pragma once

#include <cstdio>
#include <string>

#include "form/form.h"
#include "layout/line_mapping.h"

namespace importers::payroll {

// The look-up statement of a kind ("PM" or "PD") for one employee and pay item. A code or key
// part holding a single quotation mark is refused (report::RunTimeError); an unknown kind too.
std::string detailLookupStatement(const std::string& sKind, const std::string& sEmpNo,
                                  const layout::PayItemKey& key);

// Returns true when the line was transferred. On any failure the line is shown in
// lblProcessStatus, the error is reported ("ImportToPMPD() > รหัส <code>, จำนวน <last amount>")
// and false is returned.
// REQUIRES: OpenAdc has bound adcStructure for the kind's table; sData not empty.
bool ImportToPMPD(form::Form& form, const std::string& sData, const std::string& sDelimiter,
                  const std::string& sKind);

}  // namespace importers::payroll
