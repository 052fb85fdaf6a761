// Index constraints and entry maintenance for whole rows.

#include "jet/index_update.h"

#include "jet/error.h"
#include "jet/index_tree.h"

namespace jet {

const char* const kDuplicateKeyMessage =
    "The changes you requested to the table were not successful because they would create "
    "duplicate values in the index, primary key, or relationship. Change the data in the field "
    "or fields that contain duplicate data, remove the index, or redefine the index to permit "
    "duplicate entries and try again.";
const char* const kNullKeyMessage = "Index or primary key cannot contain a Null value.";

namespace {

IndexTree::PageHooks treeHooks(const IndexDescriptor& index, const IndexPageHooks& hooks) {
    IndexTree::PageHooks h;
    if (hooks.allocatePage) h.allocate = [&] { return hooks.allocatePage(index); };
    if (hooks.releasePage) h.release = [&](uint32_t page) { hooks.releasePage(index, page); };
    return h;
}

bool hasEntry(const IndexDescriptor& index, const Row& row) {
    return !(index.ignoreNulls() && allKeyColumnsNull(index, row));
}

std::string where(const IndexDescriptor& index, const std::string& table) {
    return " (index " + index.name + " of table " + table + ")";
}

}  // namespace

void checkRowAgainstIndexes(Pager& pager, const std::vector<IndexDescriptor>& indexes,
                            const Row& row, std::optional<RowId> self, const std::string& table) {
    for (const IndexDescriptor& index : indexes) {
        if (!index.keysBuildable()) {
            throw Error(ErrorCode::Unsupported,
                        "index " + index.name + " of table " + table +
                            " sorts text in an order this engine cannot write");
        }
        if (index.required()) {
            for (const KeyColumn& c : index.columns) {
                if (c.rowPosition < 0 || size_t(c.rowPosition) >= row.size() ||
                    row[size_t(c.rowPosition)].isNull()) {
                    if (c.type == ColumnType::Boolean) continue;
                    throw Error(ErrorCode::NullNotAllowed,
                                kNullKeyMessage + where(index, table) + ": field " + c.name);
                }
            }
        }
        IndexKey key = buildIndexKey(index, row);  // type errors surface here, before any write
        if (!index.unique() || allKeyColumnsNull(index, row)) continue;
        IndexTree tree(pager, index);
        for (RowId other : tree.seekPrefix(key)) {
            if (!self || other != *self) {
                throw Error(ErrorCode::DuplicateKey, kDuplicateKeyMessage + where(index, table));
            }
        }
    }
}

std::vector<int> addRowToIndexes(Pager& pager, const std::vector<IndexDescriptor>& indexes,
                                 const Row& row, RowId id, const IndexPageHooks& hooks) {
    std::vector<int> grown;
    for (const IndexDescriptor& index : indexes) {
        if (!hasEntry(index, row)) continue;
        IndexTree tree(pager, index, treeHooks(index, hooks));
        if (tree.insert(buildIndexKey(index, row), id)) grown.push_back(index.number);
    }
    return grown;
}

void removeRowFromIndexes(Pager& pager, const std::vector<IndexDescriptor>& indexes, const Row& row,
                          RowId id, const IndexPageHooks& hooks) {
    for (const IndexDescriptor& index : indexes) {
        if (!hasEntry(index, row)) continue;
        IndexTree tree(pager, index, treeHooks(index, hooks));
        if (!tree.remove(buildIndexKey(index, row), id)) {
            throw Error(ErrorCode::Corrupt, pager.path().string() + ": index " + index.name +
                                                " has no entry for row " + std::to_string(id.page) +
                                                ":" + std::to_string(id.row));
        }
    }
}

std::vector<int> updateRowInIndexes(Pager& pager, const std::vector<IndexDescriptor>& indexes,
                                    const Row& before, const Row& after, RowId id,
                                    const IndexPageHooks& hooks) {
    std::vector<int> grown;
    for (const IndexDescriptor& index : indexes) {
        const bool had = hasEntry(index, before), has = hasEntry(index, after);
        IndexKey oldKey = had ? buildIndexKey(index, before) : IndexKey();
        IndexKey newKey = has ? buildIndexKey(index, after) : IndexKey();
        if (had == has && oldKey == newKey) continue;
        IndexTree tree(pager, index, treeHooks(index, hooks));
        if (had && !tree.remove(oldKey, id)) {
            throw Error(ErrorCode::Corrupt, pager.path().string() + ": index " + index.name +
                                                " has no entry for row " + std::to_string(id.page) +
                                                ":" + std::to_string(id.row));
        }
        if (has && tree.insert(newKey, id)) grown.push_back(index.number);
    }
    return grown;
}

std::vector<RowId> seekIndex(Pager& pager, const IndexDescriptor& index,
                             const std::vector<Value>& values) {
    if (values.size() > index.columns.size()) {
        throw Error(ErrorCode::InvalidDefinition, "index " + index.name + " has only " +
                                                      std::to_string(index.columns.size()) +
                                                      " columns");
    }
    IndexKey prefix;
    for (size_t i = 0; i < values.size(); ++i) {
        const KeyColumn& c = index.columns[i];
        if ((c.type == ColumnType::Text || c.type == ColumnType::Memo) &&
            !canBuildTextKeys(c.sortOrder, c.sortVersion)) {
            throw Error(ErrorCode::Unsupported, "index " + index.name +
                                                    " sorts text in an order this engine "
                                                    "cannot search");
        }
        appendKeySegment(prefix, c.type, c.ascending, values[i]);
    }
    IndexTree tree(pager, index);
    if (prefix.empty()) {
        std::vector<RowId> all;
        tree.forEach([&](std::span<const uint8_t>, RowId id) {
            all.push_back(id);
            return true;
        });
        return all;
    }
    return tree.seekPrefix(prefix);
}

}  // namespace jet
