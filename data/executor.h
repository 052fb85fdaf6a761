// Running parsed Jet SQL on a jet::Database: selecting the row ids of a query, and executing
// the statements that change data or definitions.
//
// Every statement is atomic: it runs in its own transaction, or inside a savepoint when the
// caller has a transaction open, so a failing row leaves no change of the statement behind.
// A WHERE whose equality terms cover the leading columns of an index reads the index (seek)
// instead of the whole table; the full condition is still applied to every row found, so the
// rows are the same either way.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "data/sql.h"
#include "jet/database.h"
#include "jet/scoped_transaction.h"

namespace data {

// The table of that name; 3078 naming it when there is none.
jet::Table openTable(jet::Database& db, const std::string& name);

// Binds a SELECT against its table (columns, WHERE, ORDER BY) and returns the positions of the
// selected columns in the table's columns.
std::vector<int> bindSelect(sql::Select& select, const jet::Table& table);

// Row ids of the rows meeting `where` (all rows when null), in storage order or the order of
// `orderBy`. REQUIRES: `where` and `orderBy` are bound to `table`.
std::vector<jet::RowId> selectRows(const jet::Table& table, const sql::Expr* where,
                                   const std::vector<sql::OrderTerm>& orderBy);

// Runs a DELETE, INSERT, UPDATE, CREATE TABLE or CREATE INDEX; returns the rows affected
// (0 for definitions). A SELECT is refused (3065).
long executeStatement(jet::Database& db, sql::Statement& statement);

// A whole new row: the given values (already converted for their columns), the columns'
// default values where none is given, null elsewhere. AutoNumber columns stay null.
jet::Row newRow(const jet::Table& table, const std::map<int, jet::Value>& assigned);

// Refuses a row that breaks a column rule the provider checks before writing: a null in a
// required column (3314), an empty text where none is allowed (3315). Yes/No nulls become No.
void checkRow(const jet::Table& table, jet::Row& row);

// Runs `work` as one unit: in a transaction of its own, or in a savepoint of the caller's.
using jet::atomically;

}  // namespace data
