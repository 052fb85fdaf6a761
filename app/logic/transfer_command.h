// cmdTransfer_Click: the one handler of the four transfer buttons; runs a whole transfer.
//
// Index is the transfer kind: 0 [Employee Master], 1 [Data Calc], 2 [Data Master Detail] (PM),
// 3 [Data Variant Detail] (PD). The handler tests the separator and the two paths, binds the
// data controls of the kind, streams the input file line by line (counting every line in the
// 16-bit iLineCount), hands each non-empty line to the kind's importer and tells the user how
// the transfer ended, by message boxes through the form's window.
//
// Lines are atomic: the transfer runs in one transaction of the payroll database with a
// savepoint before every line. A line whose importer fails is rolled back to its savepoint, so
// it leaves no trace; the lines before it are committed when the transfer stops, and all lines
// when it completes or ends on an unexpected error. A click that arrives while a transfer runs
// (through the importers' yield to the message loop) is ignored.
#pragma once

#include <cstdint>
#include <cstdio>

#include "form/form.h"

namespace app {

void cmdTransfer_Click(form::Form& form, int16_t Index);

}  // namespace app
