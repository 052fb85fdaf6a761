// Writing rows of a table: insert, update and delete, each checked in full before anything is
// written and kept in step with the table's pages, maps, long values, definition counters and
// indexes.
//
// Each call is atomic: inside an open transaction it runs under its own savepoint (a failure
// undoes just this call), otherwise in a transaction of its own that commits before returning.
// These are what Table::insert/update/remove do; the engine's own writers (catalog rows of new
// tables) call them directly.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

#include "jet/row_id.h"
#include "jet/value.h"

namespace jet {

class TableImpl;

// REQUIRES: values.size() == table.columns().size(), in column order.
RowId insertRow(TableImpl& table, const Row& values);
// Receives the index entries of a restored row instead of the index: the position of the index
// in the table's indexDescriptors(), the key, the row, and whether a key column is null.
using IndexEntrySink =
    std::function<void(size_t index, const std::vector<uint8_t>& key, RowId row, bool hasNull)>;

// Inserts a row a table held before, as it was: AutoNumber and GUID values are kept, the table's
// AutoNumber counter is set to `autoNumberCounter`, and relationships are not checked (the rows
// come from a database that kept them). With `indexEntries` set the indexes are left alone and
// the row's entries go there (the caller builds the indexes and checks their uniqueness);
// otherwise they go into the indexes, checked as by insertRow.
RowId restoreRow(TableImpl& table, const Row& values, uint32_t autoNumberCounter,
                 const IndexEntrySink& indexEntries = {});
void updateRow(TableImpl& table, RowId id, const Row& values);
void removeRow(TableImpl& table, RowId id);
// Removes every row of `ids` (each once, as removeRow would one after another) in one change.
void removeRows(TableImpl& table, std::span<const RowId> ids);

}  // namespace jet
