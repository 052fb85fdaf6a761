// Reading the layout rows of a transfer through the layout record set of adcStructure.
//
// The record set holds the rows of one layout table whose FieldNo is above 0, in ascending No.
// The importers position it afresh on every line: to the first row, then forward to the row of
// the employee code; they read FieldNo, ToFieldName and sFormat of the current row. Reading a
// row when the record set stands after its last row fails with the data layer's error, which is
// how a layout without the employee-code row makes every line fail.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "data/recordset.h"
#include "jet/value.h"

namespace layout {

// Moves to the first row and searches forward for the row with `no` ("No=1").
void moveToLayoutRow(data::Recordset& rows, int no);

// FieldNo of the current row. REQUIRES: a current row (else the data layer's error).
long layoutFieldNo(const data::Recordset& rows);
// ToFieldName of the current row as text (null gives the empty text).
std::string layoutToFieldName(const data::Recordset& rows);
// sFormat of the current row, null included.
jet::Value layoutFormat(const data::Recordset& rows);

// The column that the current row reads from `pieces` (piece FieldNo - 1).
const std::string& layoutColumn(const data::Recordset& rows,
                                const std::vector<std::string>& pieces);

}  // namespace layout
