#include "jet/index_pack.h"

#include <algorithm>
#include <numeric>

#include "jet/error.h"
#include "jet/index_page.h"

namespace jet {

void IndexEntries::add(std::span<const uint8_t> key, RowId row, bool hasNull) {
    const size_t offset = bytes_.size();
    bytes_.insert(bytes_.end(), key.begin(), key.end());
    uint8_t trailer[4];
    putU24BE(trailer, row.page);
    trailer[3] = row.row;
    bytes_.insert(bytes_.end(), trailer, trailer + 4);
    spans_.push_back(uint64_t(offset) << 17 | uint64_t(hasNull) << 16 | (key.size() + 4));
}

std::span<const uint8_t> IndexEntries::entry(size_t i) const {
    return {bytes_.data() + (spans_[i] >> 17), size_t(spans_[i] & 0xFFFF)};
}

void IndexEntries::sort() {
    std::sort(spans_.begin(), spans_.end(), [this](uint64_t a, uint64_t b) {
        return compareBytes({bytes_.data() + (a >> 17), size_t(a & 0xFFFF)},
                            {bytes_.data() + (b >> 17), size_t(b & 0xFFFF)}) < 0;
    });
}

namespace {

// A page of the level being built: its contents and, below the root, its number.
struct Node {
    IndexPage page;
    uint32_t number = 0;
    std::vector<uint8_t> max;  // the largest entry below it (sort bytes)
};

// Fills pages of `type` with `count` entries in order, each page as full as it goes.
template <typename EntryAt>
std::vector<Node> fill(size_t count, const EntryAt& entryAt, uint8_t type, uint32_t tdefPage,
                       const JetFormat& format) {
    std::vector<Node> nodes;
    auto open = [&] {
        nodes.emplace_back();
        nodes.back().page.type = type;
        nodes.back().page.tdefPage = tdefPage;
    };
    open();
    for (size_t i = 0; i < count; ++i) {
        const std::span<const uint8_t> entry = entryAt(i);
        IndexPage& page = nodes.back().page;
        page.insert(page.count(), entry);
        if (page.count() > 1 && !fitsOnPage(page, format)) {
            page.erase(page.count() - 1);
            open();
            nodes.back().page.insert(0, entry);
        }
    }
    return nodes;
}

bool sameBytes(std::span<const uint8_t> a, std::span<const uint8_t> b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace

uint32_t packIndex(Pager& pager, const IndexDescriptor& index, IndexEntries& entries,
                   const IndexTree::PageHooks& hooks) {
    const JetFormat& format =
        JetFormat::forVersion(pager.pageSize() == JetFormat::jet3().pageSize ? 3 : 4);
    entries.sort();
    uint32_t distinct = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0 && sameBytes(entries.key(i), entries.key(i - 1))) {
            // A key with a null column is never a duplicate of anything.
            if (index.unique() && !entries.hasNull(i)) {
                throw Error(ErrorCode::DuplicateKey,
                            "index " + index.name + " holds a key twice, though it is unique");
            }
            continue;
        }
        ++distinct;
    }

    std::vector<uint32_t> old;
    IndexTree(pager, index).verifyStructure(&old);
    std::sort(old.begin(), old.end());
    for (uint32_t page : old)
        if (page != index.rootPage) hooks.release(page);

    std::vector<Node> level = fill(
        entries.size(), [&](size_t i) { return entries.entry(i); }, page_type::kIndexLeaf,
        index.tdefPage, format);
    for (Node& node : level) {
        if (node.page.empty()) continue;
        auto last = node.page.sortBytes(node.page.count() - 1);
        node.max.assign(last.begin(), last.end());
    }
    while (level.size() > 1) {
        for (Node& node : level) node.number = hooks.allocate();
        // The parents: an entry for each child (its largest entry and its page), the last
        // child of each parent then becoming its tail.
        std::vector<std::vector<uint8_t>> childEntries;
        for (const Node& child : level) {
            std::vector<uint8_t> entry = child.max;
            uint8_t pointer[4];
            putU32BE(pointer, child.number);
            entry.insert(entry.end(), pointer, pointer + 4);
            childEntries.push_back(std::move(entry));
        }
        std::vector<Node> parents = fill(
            childEntries.size(),
            [&](size_t i) { return std::span<const uint8_t>(childEntries[i]); },
            page_type::kIndexNode, index.tdefPage, format);
        // A parent of one child would keep it as an entry: the last parent takes one more.
        if (parents.size() > 1 && parents.back().page.count() == 1) {
            IndexPage& before = parents[parents.size() - 2].page;
            parents.back().page.insert(0, before.entry(before.count() - 1));
            before.erase(before.count() - 1);
        }
        size_t first = 0;
        for (Node& parent : parents) {
            const size_t end = first + parent.page.count();
            const bool leaves = level[first].page.leaf();
            for (size_t c = first; c < end; ++c) {
                IndexPage& page = level[c].page;
                // Leaves are linked first to last; other pages only under one parent.
                page.prevPage = c > 0 && (leaves || c > first) ? level[c - 1].number : 0;
                page.nextPage =
                    c + 1 < level.size() && (leaves || c + 1 < end) ? level[c + 1].number : 0;
                encodeIndexPage(page, pager.write(level[c].number), format);
            }
            if (end - first > 1) {
                parent.page.tailPage = level[end - 1].number;
                parent.page.erase(parent.page.count() - 1);
            }
            parent.max = level[end - 1].max;
            first = end;
        }
        level = std::move(parents);
    }
    encodeIndexPage(level.front().page, pager.write(index.rootPage), format);
    return distinct;
}

}  // namespace jet
