// IndexTree: one real index of a table as a B-tree of index pages, read and kept up to date
// through the Pager.
//
// Shape (what Access reads and writes): leaves hold entries (key, row id) in order and are linked
// first to last by prev/next. An intermediate page with two or more children stores an entry for
// each child but the last: the largest entry below that child plus the child page. The last child
// is the "tail" (a page pointer, no entry), so changes at the end of a subtree never touch the
// entries above it. A page with a single child keeps it as an ordinary entry. Intermediate pages
// are linked prev/next only among children of one parent. The root page never moves: when it
// splits, its contents move to two new pages and it becomes an intermediate page above them; new
// pages always go to the left of the page they split from.
//
// Reading follows pointers defensively: page numbers are range-checked, descent depth and the
// leaf chain are bounded, and anything inconsistent is jet::Error(Corrupt) naming the file.
//
// Writing: insert() and remove() change one entry and keep every page within its size, every
// parent entry equal to the largest entry below its child, and sibling links right. New pages come
// from the `allocate` hook (which must also record them in the index's usage map and the global
// map); pages no longer used go to `release`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "jet/index_key.h"
#include "jet/index_page.h"
#include "jet/pager.h"

namespace jet {

class IndexTree {
  public:
    struct PageHooks {
        std::function<uint32_t()> allocate;     // default: pager.append()
        std::function<void(uint32_t)> release;  // default: nothing
    };

    IndexTree(Pager& pager, const IndexDescriptor& index, PageHooks hooks = {});

    // Every entry in index order; return false from `visit` to stop.
    using Visitor = std::function<bool(std::span<const uint8_t> key, RowId row)>;
    void forEach(const Visitor& visit) const;

    // Row ids, in index order, of entries whose key starts with `keyPrefix` (whole segments).
    std::vector<RowId> seekPrefix(std::span<const uint8_t> keyPrefix) const;

    // True if an entry with exactly this key exists (any row).
    bool containsKey(std::span<const uint8_t> key) const;

    // Adds the entry. Returns true if no other entry had this key (the index's unique-key count
    // grows). An entry that is already present is left alone (returns false).
    // REQUIRES: pager in a transaction; key.size() <= maxKeySize().
    bool insert(std::span<const uint8_t> key, RowId row);

    // Removes the entry; false if it was not there.
    // REQUIRES: pager in a transaction.
    bool remove(std::span<const uint8_t> key, RowId row);

    // Removes the entries (keys with their row trailer, see appendEntryTrailer), given in index
    // order: the entries of one leaf go in one change of it. Leaves the tree as removing them one
    // by one in this order does. Returns how many were there.
    // REQUIRES: pager in a transaction; `entries` sorted.
    size_t removeSorted(const std::vector<std::vector<uint8_t>>& entries);

    // Structural problems, one line each: parent entries that differ from their child's last
    // entry, pages reached twice, leaves at different depths, broken leaf links, pages of
    // another table. Empty when sound. Throws Corrupt only for unreadable pages. `reached`
    // (optional) receives every page of the tree.
    std::vector<std::string> verifyStructure(std::vector<uint32_t>* reached = nullptr) const;

    // Longest key insert() accepts (a split must leave both halves within a page).
    size_t maxKeySize() const;

    // Pages read since construction (for tests of seek cost).
    uint64_t pagesRead() const { return pagesRead_; }

  private:
    // One page on the way from the root to a leaf; copied only when it is about to change.
    struct Step {
        const Pager* pager;
        uint32_t page;
        std::shared_ptr<const IndexPage> shared;
        std::shared_ptr<IndexPage> owned;
        size_t childIndex;  // position of this page among its parent's children

        const IndexPage& view() const { return owned ? *owned : *shared; }
        // The page to change: taken over from the decoded-page cache when nobody else holds
        // it, copied otherwise.
        IndexPage& edit();
    };

    // Decoded page, shared with a per-thread cache that is checked against the page's bytes.
    std::shared_ptr<const IndexPage> load(uint32_t page) const;
    void store(uint32_t page, const IndexPage& node);
    std::vector<Step> descend(std::span<const uint8_t> target) const;
    std::pair<uint32_t, std::shared_ptr<const IndexPage>> findLeaf(
        std::span<const uint8_t> target) const;
    void update(std::vector<Step>& path, size_t level);
    void split(std::vector<Step>& path, size_t level);
    void splitRoot(std::vector<Step>& path);
    void propagateMax(std::vector<Step>& path, size_t level);
    std::vector<uint8_t> subtreeMax(const IndexPage& node) const;
    void normalizeTail(IndexPage& node) const;
    void separateFromNext(uint32_t page);
    size_t splitCount(const IndexPage& node) const;
    void removeEmpty(std::vector<Step>& path, size_t level);
    bool mergeIntoNext(std::vector<Step>& path);
    void setSibling(uint32_t page, bool next, uint32_t value);
    uint32_t allocate();
    [[noreturn]] void corrupt(const std::string& what) const;

    Pager& pager_;
    uint32_t root_;
    uint32_t tdefPage_;
    std::string name_;
    const JetFormat& format_;
    PageHooks hooks_;
    mutable uint64_t pagesRead_ = 0;
};

}  // namespace jet
