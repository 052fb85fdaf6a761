// The row ids of a record set, in the record set's order, held in blocks of a few hundred so
// that a row can be put in or taken out anywhere without moving the whole list: a record set
// over a table of hundreds of thousands of rows stays cheap to keep current row by row.
#pragma once

#include <vector>

#include "jet/database.h"

namespace data {

class Keyset {
  public:
    Keyset() = default;
    explicit Keyset(std::vector<jet::RowId> ids) { assign(std::move(ids)); }

    void assign(std::vector<jet::RowId> ids);
    long size() const { return size_; }
    bool empty() const { return size_ == 0; }

    const jet::RowId& operator[](long position) const;
    const jet::RowId& back() const { return blocks_.back().back(); }

    void push_back(const jet::RowId& id);
    void insert(long position, const jet::RowId& id);
    void erase(long position);
    void pop_back() { erase(size_ - 1); }

    // For a keyset ascending in positions below `end` (all by default): the first position
    // below `end` whose id is not less than `id`, or `end`.
    long lowerBound(const jet::RowId& id) const;
    long lowerBound(const jet::RowId& id, long end) const;
    bool isSorted() const;

    std::vector<jet::RowId> toVector() const;

  private:
    // Block b holds positions starts_[b] .. starts_[b] + blocks_[b].size() - 1. No block is
    // empty; a block that grows past twice the usual size is split. Only the starts of blocks
    // below valid_ are right: a change puts off moving the starts after it until a position
    // there is asked for, so changes close together (a requery's) do not each move them all.
    std::vector<std::vector<jet::RowId>> blocks_;
    mutable std::vector<long> starts_;
    mutable size_t valid_ = 0;
    long size_ = 0;

    // The block holding `position` (0 <= position < size_), or the last block for size_.
    size_t blockOf(long position) const;
    // The first position of block b.
    long startOf(size_t block) const;
    void split(size_t block);
};

}  // namespace data
