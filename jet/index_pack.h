// Writing an index B-tree whole from its entries, every page filled: how a compact builds the
// indexes of the rows it writes again (one insert at a time would leave pages split in halves).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/index_key.h"
#include "jet/index_tree.h"
#include "jet/pager.h"
#include "jet/row_id.h"

namespace jet {

// The entries of one index, gathered in one buffer (a large table has hundreds of thousands).
class IndexEntries {
  public:
    // `hasNull`: a key column is null, so the key never counts as a duplicate.
    void add(std::span<const uint8_t> key, RowId row, bool hasNull);
    size_t size() const { return spans_.size(); }
    // Puts the entries in index order.
    void sort();
    // Entry i as an index leaf stores it: key, data page (u24 big-endian), row.
    std::span<const uint8_t> entry(size_t i) const;
    bool hasNull(size_t i) const { return (spans_[i] >> 16) & 1; }
    // Its key alone.
    std::span<const uint8_t> key(size_t i) const {
        auto e = entry(i);
        return e.first(e.size() - 4);
    }

  private:
    std::vector<uint8_t> bytes_;
    std::vector<uint64_t> spans_;  // offset << 17 | hasNull << 16 | length
};

// Replaces the contents of `index` with `entries`: every page but the root goes back through
// `hooks.release`, then the entries are written in the shape IndexTree keeps (leaves linked
// first to last, a tail child on every intermediate page, siblings linked among children of one
// parent) with every page filled, new pages taken through `hooks.allocate` in key order. The root
// keeps its page number. Returns the number of distinct keys. Throws DuplicateKey, writing
// nothing, when a unique index would hold a key twice (entries with a null key column aside).
// REQUIRES: pager in a transaction; both hooks set.
uint32_t packIndex(Pager& pager, const IndexDescriptor& index, IndexEntries& entries,
                   const IndexTree::PageHooks& hooks);

}  // namespace jet
