// Walking, seeking and maintaining an index B-tree.

#include "jet/index_tree.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "jet/error.h"

namespace jet {
namespace {

constexpr size_t kMaxDepth = 32;

bool startsWith(std::span<const uint8_t> bytes, std::span<const uint8_t> prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

bool sameBytes(std::span<const uint8_t> a, std::span<const uint8_t> b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

std::vector<uint8_t> nodeEntry(std::span<const uint8_t> sortBytes, uint32_t child) {
    std::vector<uint8_t> e(sortBytes.begin(), sortBytes.end());
    uint8_t c[4];
    putU32BE(c, child);
    e.insert(e.end(), c, c + 4);
    return e;
}

}  // namespace

IndexTree::IndexTree(Pager& pager, const IndexDescriptor& index, PageHooks hooks)
    : pager_(pager),
      root_(index.rootPage),
      tdefPage_(index.tdefPage),
      name_(index.name.empty() ? "#" + std::to_string(index.number) : index.name),
      format_(JetFormat::forVersion(pager.pageSize() == JetFormat::jet3().pageSize ? 3 : 4)),
      hooks_(std::move(hooks)) {}

void IndexTree::corrupt(const std::string& what) const {
    throw Error(ErrorCode::Corrupt, pager_.path().string() + ": index " + name_ + " (root page " +
                                        std::to_string(root_) + "): " + what);
}

size_t IndexTree::maxKeySize() const {
    // Both halves of a split must fit: entries up to a quarter of a page guarantee it.
    return indexEntryCapacity(format_) / 4 - kNodeEntryTrailer;
}

// Decoding is a pure function of the page bytes, so a cached decode is valid exactly while the
// page keeps the version the pager gave it (or, from a pager that gives none, while the bytes
// still match; comparing 4 KB is still far cheaper than decoding them again).
namespace {
struct CachedPage {
    uint64_t version = 0;
    std::vector<uint8_t> raw;            // only when the pager gives no versions
    std::shared_ptr<IndexPage> decoded;  // handed out as const; see Step::edit
};
constexpr size_t kCachedPages = 1024;

// Pages of every open file share the cache: a page is named by its pager and number, so that
// two databases used line by line (a layout and the payroll) do not push out each other's pages.
struct PageName {
    const Pager* pager;
    uint32_t page;
    bool operator==(const PageName&) const = default;
};
struct PageNameHash {
    size_t operator()(const PageName& n) const {
        return std::hash<const void*>()(n.pager) * 31 + n.page;
    }
};

std::unordered_map<PageName, CachedPage, PageNameHash>& pageCache() {
    thread_local std::unordered_map<PageName, CachedPage, PageNameHash> cache;
    return cache;
}

void remember(const Pager& pager, uint32_t page, uint64_t version, const uint8_t* raw, size_t size,
              std::shared_ptr<IndexPage> decoded) {
    auto& cache = pageCache();
    auto it = cache.find(PageName{&pager, page});
    if (it == cache.end()) {
        if (cache.size() >= kCachedPages) cache.clear();
        it = cache.emplace(PageName{&pager, page}, CachedPage{}).first;
    }
    it->second.version = version;
    if (version == 0) {
        it->second.raw.assign(raw, raw + size);
    } else {
        it->second.raw.clear();
    }
    it->second.decoded = std::move(decoded);
}
}  // namespace

IndexPage& IndexTree::Step::edit() {
    if (owned) return *owned;
    // Held only here and by the cache: the cache lets go of it, and it changes in place (the
    // cache made it non-const). The page's bytes are about to change, so the entry would not
    // be used again anyway; it is filled again when the page is written.
    auto& cache = pageCache();
    auto it = cache.find(PageName{pager, page});
    if (shared.use_count() == 2 && it != cache.end() && it->second.decoded == shared) {
        owned = std::move(it->second.decoded);
    } else {
        owned = std::make_shared<IndexPage>(*shared);
    }
    shared.reset();
    return *owned;
}

std::shared_ptr<const IndexPage> IndexTree::load(uint32_t page) const {
    if (page == 0 || page >= pager_.pageCount()) {
        corrupt("page pointer " + std::to_string(page) + " out of range");
    }
    ++pagesRead_;
    const uint64_t version = pager_.version(page);
    auto& cache = pageCache();
    auto it = cache.find(PageName{&pager_, page});
    // A version names the bytes: a page decoded at the same version is not read at all.
    if (it != cache.end() && !it->second.decoded) it = cache.end();  // a page being changed
    if (version != 0 && it != cache.end() && it->second.version == version)
        return it->second.decoded;
    PageRef ref = pager_.read(page);
    if (ref->size() < format_.pageSize) corrupt("short page " + std::to_string(page));
    if (version == 0 && it != cache.end()) {
        const CachedPage& cached = it->second;
        if (cached.raw.size() == format_.pageSize &&
            std::memcmp(cached.raw.data(), ref->data(), format_.pageSize) == 0)
            return cached.decoded;
    }
    auto decoded =
        std::make_shared<IndexPage>(decodeIndexPage(ref->data(), format_, pager_.path(), page));
    remember(pager_, page, version, ref->data(), format_.pageSize, decoded);
    return decoded;
}

void IndexTree::store(uint32_t page, const IndexPage& node) {
    uint8_t* out = pager_.write(page);
    encodeIndexPage(node, out, format_);
    auto written = std::make_shared<IndexPage>(node);
    written->markEncoded();
    remember(pager_, page, pager_.version(page), out, format_.pageSize, std::move(written));
}

uint32_t IndexTree::allocate() {
    return hooks_.allocate ? hooks_.allocate() : pager_.append();
}

// ---- Reading ----

void IndexTree::forEach(const Visitor& visit) const {
    uint32_t page = root_;
    auto node = load(page);
    for (size_t depth = 0; !node->leaf(); ++depth) {
        if (depth >= kMaxDepth) corrupt("tree deeper than " + std::to_string(kMaxDepth));
        if (node->childCount() == 0)
            corrupt("intermediate page " + std::to_string(page) + " is empty");
        page = node->childAt(0);
        node = load(page);
    }
    std::unordered_set<uint32_t> seen;
    while (true) {
        if (!seen.insert(page).second) corrupt("leaf chain loops at page " + std::to_string(page));
        if (!node->leaf()) corrupt("leaf chain reaches non-leaf page " + std::to_string(page));
        for (size_t i = 0; i < node->count(); ++i) {
            if (!visit(node->key(i), node->rowId(i))) return;
        }
        if (node->nextPage == 0) return;
        page = node->nextPage;
        node = load(page);
    }
}

std::vector<IndexTree::Step> IndexTree::descend(std::span<const uint8_t> target) const {
    std::vector<Step> path;
    path.reserve(4);  // deeper trees are rare
    path.push_back(Step{&pager_, root_, load(root_), nullptr, 0});
    while (!path.back().view().leaf()) {
        if (path.size() > kMaxDepth) corrupt("tree deeper than " + std::to_string(kMaxDepth));
        const IndexPage& node = path.back().view();
        if (node.childCount() == 0) {
            corrupt("intermediate page " + std::to_string(path.back().page) + " is empty");
        }
        size_t i = node.lowerBound(target);
        if (i >= node.childCount()) i = node.childCount() - 1;  // beyond every entry, no tail
        uint32_t child = node.childAt(i);
        path.push_back(Step{&pager_, child, load(child), nullptr, i});
    }
    return path;
}

std::pair<uint32_t, std::shared_ptr<const IndexPage>> IndexTree::findLeaf(
    std::span<const uint8_t> target) const {
    uint32_t page = root_;
    auto node = load(page);
    for (size_t depth = 0; !node->leaf(); ++depth) {
        if (depth >= kMaxDepth) corrupt("tree deeper than " + std::to_string(kMaxDepth));
        if (node->childCount() == 0) {
            corrupt("intermediate page " + std::to_string(page) + " is empty");
        }
        size_t i = std::min(node->lowerBound(target), node->childCount() - 1);
        page = node->childAt(i);
        node = load(page);
    }
    return {page, node};
}

std::vector<RowId> IndexTree::seekPrefix(std::span<const uint8_t> prefix) const {
    std::vector<RowId> rows;
    auto [page, node] = findLeaf(prefix);
    size_t i = node->lowerBound(prefix);
    std::unordered_set<uint32_t> seen;
    while (true) {
        for (; i < node->count(); ++i) {
            if (!startsWith(node->key(i), prefix)) return rows;
            rows.push_back(node->rowId(i));
        }
        if (node->nextPage == 0) return rows;
        if (!seen.insert(page).second) corrupt("leaf chain loops at page " + std::to_string(page));
        page = node->nextPage;
        node = load(page);
        if (!node->leaf()) corrupt("leaf chain reaches non-leaf page " + std::to_string(page));
        i = 0;
    }
}

bool IndexTree::containsKey(std::span<const uint8_t> key) const {
    auto [page, node] = findLeaf(key);
    size_t i = node->lowerBound(key);
    // The first entry >= key may be the first of the next leaf.
    for (int hops = 0; i == node->count() && node->nextPage != 0 && hops < 1024; ++hops) {
        node = load(node->nextPage);
        if (!node->leaf()) corrupt("leaf chain reaches a non-leaf page");
        i = 0;
    }
    return i < node->count() && sameBytes(node->key(i), key);
}

std::vector<std::string> IndexTree::verifyStructure(std::vector<uint32_t>* reached) const {
    struct Link {
        uint32_t page, prev, next;
    };
    std::vector<std::string> problems;
    std::unordered_set<uint32_t> visited;
    std::vector<Link> leaves;
    size_t leafDepth = SIZE_MAX;
    const std::string pageWord = "page ";

    // Returns the largest entry below `page` (empty if none).
    std::function<std::vector<uint8_t>(uint32_t, size_t)> visit =
        [&](uint32_t page, size_t depth) -> std::vector<uint8_t> {
        if (depth > kMaxDepth) {
            problems.push_back("tree deeper than " + std::to_string(kMaxDepth));
            return {};
        }
        if (!visited.insert(page).second) {
            problems.push_back(pageWord + std::to_string(page) + " is reached twice");
            return {};
        }
        auto held = load(page);
        const IndexPage& node = *held;
        if (node.tdefPage != tdefPage_) {
            problems.push_back(pageWord + std::to_string(page) + " belongs to table page " +
                               std::to_string(node.tdefPage));
        }
        if (node.leaf()) {
            if (leafDepth == SIZE_MAX) leafDepth = depth;
            if (leafDepth != depth) {
                problems.push_back("leaf page " + std::to_string(page) + " at depth " +
                                   std::to_string(depth) + ", others at " +
                                   std::to_string(leafDepth));
            }
            if (depth > 0 && node.empty()) {
                problems.push_back("leaf page " + std::to_string(page) + " is empty");
            }
            leaves.push_back(Link{page, node.prevPage, node.nextPage});
            if (node.empty()) return {};
            auto last = node.sortBytes(node.count() - 1);
            return std::vector<uint8_t>(last.begin(), last.end());
        }
        if (node.childCount() == 0) {
            problems.push_back("intermediate page " + std::to_string(page) + " is empty");
        }
        std::vector<uint8_t> max;
        for (size_t i = 0; i < node.childCount(); ++i) {
            max = visit(node.childAt(i), depth + 1);
            if (i < node.count() && !sameBytes(node.sortBytes(i), max)) {
                problems.push_back("entry for page " + std::to_string(node.childAt(i)) +
                                   " on page " + std::to_string(page) +
                                   " differs from the largest entry below it");
            }
        }
        return max;
    };
    visit(root_, 0);
    if (reached) reached->assign(visited.begin(), visited.end());

    for (size_t i = 0; i < leaves.size(); ++i) {
        uint32_t wantPrev = i == 0 ? 0 : leaves[i - 1].page;
        uint32_t wantNext = i + 1 == leaves.size() ? 0 : leaves[i + 1].page;
        if (leaves[i].prev != wantPrev || leaves[i].next != wantNext) {
            problems.push_back("leaf page " + std::to_string(leaves[i].page) + " links to " +
                               std::to_string(leaves[i].prev) + "/" +
                               std::to_string(leaves[i].next) + ", expected " +
                               std::to_string(wantPrev) + "/" + std::to_string(wantNext));
        }
    }
    return problems;
}

// ---- Writing ----

bool IndexTree::insert(std::span<const uint8_t> key, RowId row) {
    if (key.size() > maxKeySize()) {
        throw Error(ErrorCode::TooLong, "index " + name_ + ": key of " +
                                            std::to_string(key.size()) + " bytes is too long");
    }
    std::vector<uint8_t> entry(key.begin(), key.end());
    appendEntryTrailer(entry, row);
    std::vector<Step> path = descend(entry);
    IndexPage& leaf = path.back().edit();
    size_t pos = leaf.lowerBound(entry);
    if (pos < leaf.count() && sameBytes(leaf.sortBytes(pos), entry)) return false;
    // Equal keys sit next to each other: look at the neighbours, across a leaf edge if needed.
    bool fresh = true;
    if (pos > 0) {
        fresh = !sameBytes(leaf.key(pos - 1), key);
    } else if (leaf.prevPage != 0) {
        auto prev = load(leaf.prevPage);
        fresh = prev->empty() || !sameBytes(prev->key(prev->count() - 1), key);
    }
    if (fresh && pos < leaf.count()) {
        fresh = !sameBytes(leaf.key(pos), key);
    } else if (fresh && leaf.nextPage != 0) {
        auto next = load(leaf.nextPage);
        fresh = next->empty() || !sameBytes(next->key(0), key);
    }
    leaf.insert(pos, entry);
    update(path, path.size() - 1);
    return fresh;
}

bool IndexTree::remove(std::span<const uint8_t> key, RowId row) {
    std::vector<std::vector<uint8_t>> entry(1, std::vector<uint8_t>(key.begin(), key.end()));
    appendEntryTrailer(entry[0], row);
    return removeSorted(entry) == 1;
}

size_t IndexTree::removeSorted(const std::vector<std::vector<uint8_t>>& entries) {
    size_t removed = 0;
    for (size_t next = 0; next < entries.size();) {
        std::vector<Step> path = descend(entries[next]);
        IndexPage& leaf = path.back().edit();
        const size_t first = next;
        size_t here = 0;
        // Between two removals the leaf is written only when one of them may change the tree's
        // shape (the leaf emptied or small enough to merge); otherwise the last writes it.
        for (; next < entries.size(); ++next) {
            const std::vector<uint8_t>& entry = entries[next];
            const size_t pos = leaf.lowerBound(entry);
            if (pos >= leaf.count()) break;  // beyond this leaf: descend again
            if (!sameBytes(leaf.sortBytes(pos), entry)) continue;  // not in the index
            leaf.erase(pos);
            ++here;
            if (path.size() > 1 &&
                (leaf.empty() || leaf.encodedSize() * 4 < indexEntryCapacity(format_))) {
                ++next;
                break;
            }
        }
        if (here == 0) {
            // The leaf the first entry leads to does not hold it: the entry is not in the index.
            if (next == first) ++next;
            continue;
        }
        removed += here;
        if (leaf.empty() && path.size() > 1) {
            removeEmpty(path, path.size() - 1);
        } else if (!mergeIntoNext(path)) {
            update(path, path.size() - 1);
        }
    }
    return removed;
}

// A leaf that deletions left less than a quarter full gives its entries to the next leaf under
// the same parent when they fit there, and leaves the tree: otherwise keys deleted and added
// again elsewhere leave a trail of nearly empty pages. The next leaf's largest entry stays what
// it was, so nothing above it changes but the parent losing this child.
bool IndexTree::mergeIntoNext(std::vector<Step>& path) {
    if (path.size() < 2) return false;
    const size_t level = path.size() - 1;
    Step& step = path[level];
    const IndexPage& node = step.view();
    if (node.encodedSize() * 4 >= indexEntryCapacity(format_)) return false;
    const IndexPage& parent = path[level - 1].view();
    if (step.childIndex + 1 >= parent.childCount()) return false;
    const uint32_t nextPage = parent.childAt(step.childIndex + 1);
    if (nextPage != node.nextPage) return false;  // not linked as expected: leave it be
    IndexPage merged = node;
    IndexPage next = *load(nextPage);
    next.moveFront(next.count(), merged);
    if (!fitsOnPage(merged, format_)) return false;
    merged.prevPage = node.prevPage;
    merged.nextPage = next.nextPage;
    merged.tailPage = next.tailPage;
    store(nextPage, merged);
    step.edit().clear();
    removeEmpty(path, level);
    return true;
}

std::vector<uint8_t> IndexTree::subtreeMax(const IndexPage& node) const {
    const IndexPage* current = &node;
    std::shared_ptr<const IndexPage> hold;
    for (size_t depth = 0;; ++depth) {
        if (depth > kMaxDepth) corrupt("tree deeper than " + std::to_string(kMaxDepth));
        if (current->leaf() || current->tailPage == 0) {
            if (current->empty()) corrupt("empty page below an intermediate page");
            auto last = current->sortBytes(current->count() - 1);
            return std::vector<uint8_t>(last.begin(), last.end());
        }
        hold = load(current->tailPage);
        current = hold.get();
    }
}

// An intermediate page with two or more children keeps its last child as the tail; with one
// child that child is an ordinary entry.
void IndexTree::normalizeTail(IndexPage& node) const {
    if (node.leaf()) return;
    if (node.tailPage == 0 && node.count() >= 2) {
        node.tailPage = node.child(node.count() - 1);
        node.erase(node.count() - 1);
    } else if (node.tailPage != 0 && node.count() == 0) {
        std::vector<uint8_t> max = subtreeMax(*load(node.tailPage));
        node.insert(0, nodeEntry(max, node.tailPage));
        node.tailPage = 0;
    }
}

// Writes path[level] after a change (splitting it if it no longer fits), then brings the
// entries above it in line with its largest entry.
void IndexTree::update(std::vector<Step>& path, size_t level) {
    Step& step = path[level];
    IndexPage& node = step.edit();
    normalizeTail(node);
    if (!fitsOnPage(node, format_)) {
        if (level == 0) {
            splitRoot(path);
        } else {
            split(path, level);
        }
        return;
    }
    // The page was loaded from these very bytes: only entries after the unchanged ones are
    // written again. The written page becomes the cached decoded form as it is.
    uint8_t* out = pager_.write(step.page);
    encodeIndexPageChanges(node, out, format_);
    node.markEncoded();
    step.shared = step.owned;
    remember(pager_, step.page, pager_.version(step.page), out, format_.pageSize,
             std::move(step.owned));
    propagateMax(path, level);
}

// Parent entries hold the largest entry below their child. A tail child has no entry, but its
// largest entry is its parent's, so the walk continues upwards.
void IndexTree::propagateMax(std::vector<Step>& path, size_t level) {
    for (size_t l = level; l > 0; --l) {
        Step& step = path[l];
        const IndexPage& parent = path[l - 1].view();
        if (step.childIndex >= parent.count()) continue;  // the tail
        std::vector<uint8_t> max = subtreeMax(step.view());
        if (sameBytes(parent.sortBytes(step.childIndex), max)) return;
        path[l - 1].edit().replace(step.childIndex, nodeEntry(max, step.page));
        update(path, l - 1);
        return;
    }
}

// An intermediate page's children that are themselves intermediate pages are linked only among
// siblings of one parent (leaves are linked end to end): cut the link after `page`.
void IndexTree::separateFromNext(uint32_t page) {
    auto node = load(page);
    if (node->leaf() || node->nextPage == 0) return;
    setSibling(node->nextPage, false, 0);
    setSibling(page, true, 0);
}

size_t IndexTree::splitCount(const IndexPage& node) const {
    // Split by the sizes the entries take with this page's prefix; both halves then fit.
    const size_t prefix = node.prefixLength();
    const size_t total = node.encodedSize();
    size_t n = 0, bytes = 0;
    while (n + 1 < node.count() && bytes < total / 2) {
        bytes += node.entry(n).size() - (n == 0 ? 0 : prefix);
        ++n;
    }
    return n == 0 ? 1 : n;
}

// Moves the first half (by bytes) of path[level] to a new page on its left.
void IndexTree::split(std::vector<Step>& path, size_t level) {
    Step& step = path[level];
    IndexPage& node = step.edit();
    const size_t n = splitCount(node);

    const uint32_t leftPage = allocate();
    IndexPage left;
    left.type = node.type;
    left.tdefPage = tdefPage_;
    left.prevPage = node.prevPage;
    left.nextPage = step.page;
    node.moveFront(n, left);
    if (node.prevPage != 0) setSibling(node.prevPage, true, leftPage);
    node.prevPage = leftPage;
    auto last = left.sortBytes(left.count() - 1);  // entries hold their child's largest
    const std::vector<uint8_t> leftMax(last.begin(), last.end());
    normalizeTail(left);
    normalizeTail(node);
    store(leftPage, left);
    store(step.page, node);
    if (!left.leaf()) separateFromNext(left.childAt(left.childCount() - 1));

    IndexPage& parent = path[level - 1].edit();
    const size_t at = step.childIndex;
    parent.insert(at, nodeEntry(leftMax, leftPage));
    step.childIndex = at + 1;
    if (step.childIndex < parent.count()) {
        parent.replace(step.childIndex, nodeEntry(subtreeMax(node), step.page));
    }
    update(path, level - 1);
}

// The root keeps its page number: its entries move to two new pages and it points at them.
void IndexTree::splitRoot(std::vector<Step>& path) {
    IndexPage& root = path[0].edit();
    const size_t n = splitCount(root);

    const uint32_t leftPage = allocate();
    const uint32_t rightPage = allocate();
    IndexPage left, right;
    left.type = right.type = root.type;
    left.tdefPage = right.tdefPage = tdefPage_;
    left.nextPage = rightPage;
    right.prevPage = leftPage;
    root.moveFront(n, left);
    root.moveFront(root.count(), right);
    right.tailPage = root.tailPage;
    auto last = left.sortBytes(left.count() - 1);
    const std::vector<uint8_t> leftMax(last.begin(), last.end());
    normalizeTail(left);
    normalizeTail(right);
    store(leftPage, left);
    store(rightPage, right);
    if (!left.leaf()) separateFromNext(left.childAt(left.childCount() - 1));

    IndexPage top;
    top.type = page_type::kIndexNode;
    top.tdefPage = tdefPage_;
    top.insert(0, nodeEntry(leftMax, leftPage));
    top.tailPage = rightPage;
    root = std::move(top);
    store(path[0].page, root);
}

// path[level] (not the root) lost its last entry: unlink it and drop it from its parent.
void IndexTree::removeEmpty(std::vector<Step>& path, size_t level) {
    Step& step = path[level];
    const IndexPage& gone = step.view();
    if (gone.prevPage != 0) setSibling(gone.prevPage, true, gone.nextPage);
    if (gone.nextPage != 0) setSibling(gone.nextPage, false, gone.prevPage);
    if (hooks_.release) hooks_.release(step.page);

    IndexPage& parent = path[level - 1].edit();
    if (step.childIndex < parent.count()) {
        parent.erase(step.childIndex);
    } else if (parent.count() > 0) {
        // The tail went: the last child with an entry becomes the tail.
        parent.tailPage = parent.child(parent.count() - 1);
        parent.erase(parent.count() - 1);
    } else {
        parent.tailPage = 0;
    }
    if (parent.childCount() > 0) {
        update(path, level - 1);
    } else if (level - 1 > 0) {
        removeEmpty(path, level - 1);
    } else {
        IndexPage emptyRoot;
        emptyRoot.tdefPage = tdefPage_;
        parent = std::move(emptyRoot);
        store(path[0].page, parent);
    }
}

void IndexTree::setSibling(uint32_t page, bool next, uint32_t value) {
    if (page == 0 || page >= pager_.pageCount()) {
        corrupt("sibling pointer " + std::to_string(page) + " out of range");
    }
    uint8_t* p = pager_.write(page);
    if (p[0] != page_type::kIndexLeaf && p[0] != page_type::kIndexNode) {
        corrupt("sibling page " + std::to_string(page) + " is not an index page");
    }
    putU32(p + (next ? format_.indexNextPage : format_.indexPrevPage), value);
}

}  // namespace jet
