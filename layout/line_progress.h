// The progress of one input line, as every importer shows it before touching the database.
//
// The three status labels get the employee code, the time used since the transfer started and
// the number of lines read so far; then the window gets one pass of its message loop so that
// they repaint. The clock is the form's (replaceable by tests), else the local time of day.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "data/recordset.h"
#include "form/form.h"
#include "jet/value.h"

namespace layout {

// The local date and time now, as a date-time value.
jet::DateTime currentDateTime();
// The form's clock when it has one, else currentDateTime().
jet::DateTime nowOf(const form::Form& form);

// lblProcessStatus "กำลังโอนข้อมูล รหัส: <code>", lblUseTime "เวลาที่ใช้ <elapsed>",
// lblRecordCount "จำนวนข้อมูลที่อ่านได้ <iLineCount> คน", in this order, then one yield.
void showLineProgress(form::Form& form, const std::string& employeeCode);

// Notes the layout column that the current layout row reads (its No, ToFieldName and text), so
// that a line failing there can name it.
void noteColumn(form::Form& form, const data::Recordset& rows,
                const std::vector<std::string>& pieces);

// lblProcessStatus "ข้อมูลสุดท้ายที่อ่านได้ '<line>'": the line an importer failed on. Also keeps the
// error being handled and the column last noted in the form's result.
// REQUIRES: called inside the importer's catch block.
void showFailedLine(form::Form& form, const std::string& sData);

// Drops the pending row of an importer's failed line (none when `destination` is null) so that
// it is never stored. Never throws: the error that ended the line is the one to report.
void dropPendingRow(data::Recordset* destination) noexcept;

}  // namespace layout
