// The index check: does every index of a table agree with the table's rows?
//
// For one index it walks the B-tree and verifies that entries are in strictly increasing order,
// that parent entries equal their child's last entry and sibling links are consistent, that every
// entry names a live row exactly once, that every live row that should have an entry has one, and
// that each stored key equals the key the key builder computes from the row (skipped for text in
// sort orders we cannot build). Problems come back as one line each, naming table and index.
//
// describeIndexes() converts a parsed table definition into the index code's own descriptors;
// the writers use it too.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "jet/index_key.h"
#include "jet/pager.h"
#include "jet/row_id.h"
#include "jet/value.h"

namespace jet {

class TableImpl;

// One descriptor per real index of the table, in real-index order. Text columns of Jet 3 files
// are marked unbuildable (their "General 97" order is not the one we key).
std::vector<IndexDescriptor> describeIndexes(const TableImpl& table);

// Checks one index against `rows` (every live row of the table with its values).
// `label` prefixes every problem line (e.g. "table Employees, index PrimaryKey").
std::vector<std::string> checkIndex(Pager& pager, const IndexDescriptor& index,
                                    const std::vector<std::pair<RowId, Row>>& rows,
                                    const std::string& label);

// Checks every index of the table; `report` (optional) receives one progress line per index.
std::vector<std::string> checkTableIndexes(
    const TableImpl& table, const std::function<void(const std::string&)>& report = {});

}  // namespace jet
