// Writing rows of a table: insert, update and delete, each checked in full before anything is
// written and kept in step with the table's pages, maps, long values, definition counters and
// indexes.
//
// Each call is atomic: inside an open transaction it runs under its own savepoint (a failure
// undoes just this call), otherwise in a transaction of its own that commits before returning.
// These are what Table::insert/update/remove do; the engine's own writers (catalog rows of new
// tables) call them directly.
#pragma once

#include "jet/row_id.h"
#include "jet/value.h"

namespace jet {

class TableImpl;

// REQUIRES: values.size() == table.columns().size(), in column order.
RowId insertRow(TableImpl& table, const Row& values);
// Inserts a row a table held before, as it was: AutoNumber and GUID values are kept, the table's
// AutoNumber counter is set to `autoNumberCounter`, and relationships are not checked (the rows
// come from a database that kept them). Uniqueness is still checked.
RowId restoreRow(TableImpl& table, const Row& values, uint32_t autoNumberCounter);
void updateRow(TableImpl& table, RowId id, const Row& values);
void removeRow(TableImpl& table, RowId id);

}  // namespace jet
