// Index pages: the leaf (0x04) and intermediate (0x03) pages of a Jet index B-tree, decoded into
// a flat list of whole entries and encoded back.
//
// On disk a page has a header (sibling links, the tail child of an intermediate page, the prefix
// length P), an entry-end bitmap, and entries packed from a fixed offset. Every entry after the
// first omits the P bytes it shares with the first. An entry is the key, the row's data page
// (u24 big-endian) and row number; intermediate entries add the child page (u32 big-endian).
// Entries sort by unsigned comparison of everything but the child pointer.
//
// Decoding checks every length and offset against the page: a damaged page throws
// jet::Error(Corrupt) naming the file and page; it never reads outside the buffer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "jet/coding.h"
#include "jet/row_id.h"

namespace jet {

constexpr size_t kLeafEntryTrailer = 4;  // page u24 + row
constexpr size_t kNodeEntryTrailer = 8;  // page u24 + row + child u32

class IndexPage {
  public:
    uint8_t type = page_type::kIndexLeaf;
    uint32_t tdefPage = 0;
    uint32_t prevPage = 0;
    uint32_t nextPage = 0;
    uint32_t tailPage = 0;  // intermediate pages: the last child, which has no entry

    bool leaf() const { return type == page_type::kIndexLeaf; }
    size_t trailerSize() const { return leaf() ? kLeafEntryTrailer : kNodeEntryTrailer; }

    size_t count() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    // The whole entry (prefix restored), child pointer included.
    std::span<const uint8_t> entry(size_t i) const {
        size_t start = i == 0 ? 0 : ends_[i - 1];
        return {data_.data() + start, ends_[i] - start};
    }
    // Key, data page and row: what entries sort by.
    std::span<const uint8_t> sortBytes(size_t i) const {
        auto e = entry(i);
        return e.first(e.size() - (leaf() ? 0 : 4));
    }
    std::span<const uint8_t> key(size_t i) const {
        auto e = entry(i);
        return e.first(e.size() - trailerSize());
    }
    RowId rowId(size_t i) const;
    uint32_t child(size_t i) const;  // REQUIRES: !leaf()

    // Children of an intermediate page in order: each entry's child, then the tail if any.
    size_t childCount() const { return count() + (tailPage ? 1 : 0); }
    uint32_t childAt(size_t i) const { return i < count() ? child(i) : tailPage; }

    // First entry whose sort bytes are >= `target` (count() if none).
    size_t lowerBound(std::span<const uint8_t> target) const;

    void insert(size_t pos, std::span<const uint8_t> entry);
    void erase(size_t pos);
    void replace(size_t pos, std::span<const uint8_t> entry);
    // Moves entries [0, n) to the end of `to`, in order.
    void moveFront(size_t n, IndexPage& to);
    void clear() {
        data_.clear();
        ends_.clear();
        unchangedLead_ = 0;
        unchangedTail_ = 0;
    }

    // Bytes the entries take on disk with the prefix this page would be written with.
    size_t encodedSize() const;
    // The prefix written: the common prefix of the first and last entries.
    size_t prefixLength() const;

    // How many leading entries are as they were when the page was last decoded or encoded
    // (encodeIndexPageChanges rewrites only what follows them).
    size_t unchangedLead() const { return unchangedLead_; }
    // How many trailing entries are as they were then; on disk they end where the entries
    // ended then (encodedEnd(), written with prefix length encodedPrefix(), encodedCount()
    // entries).
    size_t unchangedTail() const { return unchangedTail_; }
    size_t encodedCount() const { return encodedCount_; }
    size_t encodedEnd() const { return encodedEnd_; }
    size_t encodedPrefix() const { return encodedPrefix_; }
    void markEncoded() {
        unchangedLead_ = unchangedTail_ = encodedCount_ = count();
        encodedPrefix_ = prefixLength();
        encodedEnd_ = encodedSize();
    }
    // Where entry i starts among the entries on disk, written with prefix length `prefix`.
    size_t encodedOffset(size_t i, size_t prefix) const {
        return i == 0 ? 0 : ends_[i - 1] - (i - 1) * prefix;
    }

  private:
    std::vector<uint8_t> data_;
    std::vector<uint32_t> ends_;
    size_t unchangedLead_ = 0;
    size_t unchangedTail_ = 0;
    size_t encodedEnd_ = 0;
    size_t encodedPrefix_ = 0;
    size_t encodedCount_ = 0;
    friend IndexPage decodeIndexPage(const uint8_t*, const JetFormat&, const std::filesystem::path&,
                                     uint32_t);
};

// Decodes `page` (pageSize bytes). Throws Corrupt naming `file` and `pageNumber`.
IndexPage decodeIndexPage(const uint8_t* page, const JetFormat& format,
                          const std::filesystem::path& file, uint32_t pageNumber);

// Room for entries on a page.
inline size_t indexEntryCapacity(const JetFormat& format) {
    return format.pageSize - format.indexEntries;
}
inline bool fitsOnPage(const IndexPage& page, const JetFormat& format) {
    return page.encodedSize() <= indexEntryCapacity(format);
}

// Writes the whole page (header, bitmap, entries, zeroed rest).
// REQUIRES: fitsOnPage(page, format).
void encodeIndexPage(const IndexPage& page, uint8_t* out, const JetFormat& format);
// The same result as encodeIndexPage, rewriting only the entries after page.unchangedLead()
// when the prefix length has not changed.
// REQUIRES: fitsOnPage(page, format); `out` holds the page as it was last decoded from or
// encoded into (the bytes page.unchangedLead() refers to).
void encodeIndexPageChanges(const IndexPage& page, uint8_t* out, const JetFormat& format);

// Builds an entry from its parts.
void appendEntryTrailer(std::vector<uint8_t>& entry, RowId row);

// Unsigned lexicographic comparison.
int compareBytes(std::span<const uint8_t> a, std::span<const uint8_t> b);
// Orders byte strings as compareBytes does. Sorting with it rather than the vectors' own `<`
// keeps mingw GCC 12 from warning of a read past the end in its inlined comparison.
struct BytesLess {
    bool operator()(std::span<const uint8_t> a, std::span<const uint8_t> b) const {
        return compareBytes(a, b) < 0;
    }
};

}  // namespace jet
