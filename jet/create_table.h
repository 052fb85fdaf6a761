// Creating tables and indexes in a Jet 4 database: checking a definition, laying out its columns
// and indexes as Access would, and writing the table's pages and its catalog row.
//
// Every check runs before the first page is touched, so a refused definition leaves the file as
// it was. A created table has: its TDEF page(s), one page of usage-map rows (owned and free-space
// maps of the table, a pair per Memo/OLE column, one map per index), an empty root leaf per real
// index, and a row in MSysObjects (with a property blob in LvProp when any column has
// properties), which the row writer inserts with its entries in MSysObjects' two indexes.
#pragma once

#include <cstdint>
#include <string_view>

#include "jet/pager.h"
#include "jet/row_id.h"
#include "jet/schema.h"
#include "jet/tdef_writer.h"

namespace jet::create {

// Throws InvalidDefinition naming the table, column or index at fault: a bad or duplicate name
// (longer than 64 characters, containing . ! ` [ ] or control characters, starting with a
// space), a type the engine cannot create, a Text size outside 1..255, more than 255 columns,
// an index naming an unknown, Memo/OLE or repeated column, more than 10 index columns, two
// primary keys.
void validateTableDefinition(const TableDefinition& definition);

// The table's definition as stored, without page numbers: column numbers in definition order,
// fixed offsets, var indexes, flags; real indexes (one per distinct column list and flags) and
// logical indexes. REQUIRES: validateTableDefinition(definition) passed.
TdefImage layoutTable(const TableDefinition& definition);

// A table whose pages are written and whose catalog row is still to be inserted.
struct NewTable {
    uint32_t tdefPage = 0;
    std::vector<uint8_t> properties;  // the LvProp blob; empty when no column has properties
};

// Writes the table's pages (definition, maps, empty index roots). Throws InvalidDefinition for a
// bad definition or a name already used by another table (case-insensitive), before writing
// anything. The caller then inserts catalogRow() into MSysObjects with the engine's row writer.
// REQUIRES: pager.inTransaction(); the database is Jet 4.
NewTable writeTable(Pager& pager, const TableDefinition& definition);

// The MSysObjects row of a new table, one value per catalog column (`catalogColumns`, in the
// catalog table's column order).
Row catalogRow(const std::vector<Column>& catalogColumns, const std::string& name,
               const NewTable& table, double now);

// One entry of a new index: the key of a row and the row.
struct IndexEntry {
    std::vector<uint8_t> key;
    RowId row;
};

// Adds an index to an existing table. `entries` are the new index's entries for the rows the
// table holds, built and checked (unique, required) by the caller; a table with rows needs them.
// Throws NotFound for an unknown table, InvalidDefinition for a bad index definition or a name
// already used by an index of the table, before writing anything.
// REQUIRES: pager.inTransaction().
void createIndex(Pager& pager, std::string_view table, const IndexDefinition& definition,
                 const std::vector<IndexEntry>* entries = nullptr);

// Real-index flags (0x80 | unique 0x01 | ignore nulls 0x02 | required 0x08) of a definition;
// a primary key is unique and required.
uint8_t indexFlags(const IndexDefinition& definition);

// TDEF page of a user table found through the catalog's name index, or 0.
uint32_t findTable(Pager& pager, std::string_view name);

}  // namespace jet::create
