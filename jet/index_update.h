// Keeping a table's indexes in step with its rows: the constraint checks that must pass before
// a row is written, and the entry changes that follow an insert, update or delete.
//
// Callers (the row writers) work in two steps so that a refused change writes nothing:
//   1. checkRowAgainstIndexes() for the new values: unique keys, required keys, sort orders;
//   2. write the row, then addRowToIndexes() / updateRowInIndexes() / removeRowFromIndexes().
// Step 2 can still fail on a damaged file; the caller then rolls its transaction back to the
// savepoint it took before step 2.
//
// The unique-key count statistic of an index grows when an entry with a key the index did not
// hold is added; it never shrinks. The functions return which indexes grew; the caller updates
// the counts in the table definition.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jet/index_key.h"
#include "jet/pager.h"
#include "jet/row_id.h"
#include "jet/value.h"

namespace jet {

struct IndexPageHooks {
    // A new page for `index`: appended to the file, marked used in the global map, added to the
    // index's usage map. Without it pages are simply appended.
    std::function<uint32_t(const IndexDescriptor& index)> allocatePage;
    // A page `index` no longer uses: marked free in the global map, dropped from its usage map.
    std::function<void(const IndexDescriptor& index, uint32_t page)> releasePage;
};

// Jet's wording for the refusals below.
extern const char* const kDuplicateKeyMessage;
extern const char* const kNullKeyMessage;

// Throws, before anything is written, if `row` cannot go into the indexes: DuplicateKey when a
// unique index already holds its key for a row other than `self` (rows whose key columns are
// all null never collide), NullNotAllowed when a required index gets a null key column,
// Unsupported when a text key column uses a sort order we cannot build. Messages name the index
// and `table`.
void checkRowAgainstIndexes(Pager& pager, const std::vector<IndexDescriptor>& indexes,
                            const Row& row, std::optional<RowId> self, const std::string& table);

// Adds the row's entries (ignore-nulls indexes skip all-null keys). Returns the numbers of the
// indexes whose unique-key count grows.
std::vector<int> addRowToIndexes(Pager& pager, const std::vector<IndexDescriptor>& indexes,
                                 const Row& row, RowId id, const IndexPageHooks& hooks = {});

// Removes the row's entries. Corrupt (naming the index) if an expected entry is missing.
void removeRowFromIndexes(Pager& pager, const std::vector<IndexDescriptor>& indexes, const Row& row,
                          RowId id, const IndexPageHooks& hooks = {});

// Moves the row's entries from the keys of `before` to those of `after`, touching only indexes
// whose key changed. Returns the indexes whose unique-key count grows.
std::vector<int> updateRowInIndexes(Pager& pager, const std::vector<IndexDescriptor>& indexes,
                                    const Row& before, const Row& after, RowId id,
                                    const IndexPageHooks& hooks = {});

// Row ids in index order whose leading key columns equal `values` (fewer values than columns
// seek by a prefix; none gives every entry).
std::vector<RowId> seekIndex(Pager& pager, const IndexDescriptor& index,
                             const std::vector<Value>& values);

}  // namespace jet
