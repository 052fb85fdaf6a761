// Decoding and encoding of index pages.

#include "jet/index_page.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/error.h"

namespace jet {
namespace {

[[noreturn]] void corrupt(const std::filesystem::path& file, uint32_t page,
                          const std::string& what) {
    throw Error(ErrorCode::Corrupt,
                file.string() + ": index page " + std::to_string(page) + ": " + what);
}

size_t bitmapBytes(const JetFormat& f) {
    return f.indexEntries - f.indexBitmap;
}

}  // namespace

int compareBytes(std::span<const uint8_t> a, std::span<const uint8_t> b) {
    size_t n = std::min(a.size(), b.size());
    int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
    if (c != 0) return c < 0 ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

RowId IndexPage::rowId(size_t i) const {
    auto e = entry(i);
    const uint8_t* p = e.data() + e.size() - trailerSize();
    return RowId{getU24BE(p), p[3]};
}

uint32_t IndexPage::child(size_t i) const {
    auto e = entry(i);
    return getU32BE(e.data() + e.size() - 4);
}

size_t IndexPage::lowerBound(std::span<const uint8_t> target) const {
    size_t lo = 0, hi = count();
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (compareBytes(sortBytes(mid), target) < 0) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

void IndexPage::insert(size_t pos, std::span<const uint8_t> e) {
    unchangedLead_ = std::min(unchangedLead_, pos);
    unchangedTail_ = std::min(unchangedTail_, count() - pos);
    size_t start = pos == 0 ? 0 : ends_[pos - 1];
    data_.insert(data_.begin() + long(start), e.begin(), e.end());
    ends_.insert(ends_.begin() + long(pos), uint32_t(start));
    for (size_t i = pos; i < ends_.size(); ++i) ends_[i] += uint32_t(e.size());
}

void IndexPage::erase(size_t pos) {
    unchangedLead_ = std::min(unchangedLead_, pos);
    unchangedTail_ = std::min(unchangedTail_, count() - pos - 1);
    size_t start = pos == 0 ? 0 : ends_[pos - 1];
    size_t len = ends_[pos] - start;
    data_.erase(data_.begin() + long(start), data_.begin() + long(start + len));
    ends_.erase(ends_.begin() + long(pos));
    for (size_t i = pos; i < ends_.size(); ++i) ends_[i] -= uint32_t(len);
}

void IndexPage::replace(size_t pos, std::span<const uint8_t> e) {
    std::vector<uint8_t> copy(e.begin(), e.end());  // e may point into this page
    erase(pos);
    insert(pos, copy);
}

void IndexPage::moveFront(size_t n, IndexPage& to) {
    if (n == 0) return;
    unchangedLead_ = unchangedTail_ = 0;
    to.unchangedLead_ = to.unchangedTail_ = 0;
    size_t bytes = ends_[n - 1];
    size_t base = to.data_.size();
    to.data_.insert(to.data_.end(), data_.begin(), data_.begin() + long(bytes));
    for (size_t i = 0; i < n; ++i) to.ends_.push_back(uint32_t(base + ends_[i]));
    data_.erase(data_.begin(), data_.begin() + long(bytes));
    ends_.erase(ends_.begin(), ends_.begin() + long(n));
    for (auto& e : ends_) e -= uint32_t(bytes);
}

size_t IndexPage::prefixLength() const {
    if (count() < 2) return 0;
    auto first = entry(0), last = entry(count() - 1);
    // Stopping one byte short of the shorter of the two leaves every entry a byte of its own:
    // an entry no longer than the prefix would be a prefix of the first and sort before it.
    size_t limit = std::min(first.size(), last.size()) - 1;
    size_t p = 0;
    while (p < limit && first[p] == last[p]) ++p;
    return p;
}

size_t IndexPage::encodedSize() const {
    if (empty()) return 0;
    return data_.size() - prefixLength() * (count() - 1);
}

IndexPage decodeIndexPage(const uint8_t* page, const JetFormat& f,
                          const std::filesystem::path& file, uint32_t pageNumber) {
    IndexPage out;
    out.type = page[0];
    if (out.type != page_type::kIndexLeaf && out.type != page_type::kIndexNode) {
        corrupt(file, pageNumber, "not an index page (type " + std::to_string(page[0]) + ")");
    }
    out.tdefPage = getU32(page + 4);
    out.prevPage = getU32(page + f.indexPrevPage);
    out.nextPage = getU32(page + f.indexNextPage);
    out.tailPage = out.leaf() ? 0 : getU32(page + f.indexTailPage);
    // Jet 3 keeps the prefix length in one byte (the next byte is a flag); Jet 4 in two.
    const size_t prefix =
        f.version < 4 ? page[f.indexPrefixLength] : getU16(page + f.indexPrefixLength);
    const size_t trailer = out.trailerSize();
    const size_t room = f.pageSize - f.indexEntries;

    size_t start = 0;
    const uint8_t* bitmap = page + f.indexBitmap;
    const size_t bits = std::min(bitmapBytes(f) * 8, room + 1);
    out.data_.reserve(room);
    std::vector<uint8_t> shared;  // the first entry's first P bytes
    auto addEntry = [&](size_t b) {
        const size_t stored = b - start;
        const size_t entryPrefix = out.ends_.empty() ? 0 : prefix;
        if (b > room || stored == 0) corrupt(file, pageNumber, "entry bitmap out of range");
        if (out.ends_.empty() && stored < prefix) {
            corrupt(file, pageNumber, "prefix longer than the first entry");
        }
        if (stored + entryPrefix < trailer + 1) corrupt(file, pageNumber, "entry too short");
        out.data_.insert(out.data_.end(), shared.begin(), shared.begin() + long(entryPrefix));
        const uint8_t* src = page + f.indexEntries + start;
        out.data_.insert(out.data_.end(), src, src + stored);
        out.ends_.push_back(uint32_t(out.data_.size()));
        if (out.ends_.size() == 1) shared.assign(src, src + prefix);
        start = b;
    };
    const size_t totalBits = bitmapBytes(f) * 8;
    for (size_t byte = 0; byte < bitmapBytes(f); ++byte) {
        const uint8_t bitsHere = bitmap[byte];
        if (bitsHere == 0) continue;
        for (unsigned bit = 0; bit < 8; ++bit) {
            if (!(bitsHere & (1u << bit))) continue;
            const size_t b = byte * 8 + bit;
            if (b >= bits || b >= totalBits) corrupt(file, pageNumber, "entry bitmap out of range");
            addEntry(b);
        }
    }
    if (out.ends_.empty() && prefix != 0) corrupt(file, pageNumber, "prefix on an empty page");
    out.markEncoded();
    return out;
}

void appendEntryTrailer(std::vector<uint8_t>& entry, RowId row) {
    uint8_t t[4];
    putU24BE(t, row.page);
    t[3] = row.row;
    entry.insert(entry.end(), t, t + 4);
}

namespace {

void encodeHeader(const IndexPage& p, uint8_t* out, const JetFormat& f, size_t prefix) {
    out[0] = p.type;
    out[1] = 0x01;
    putU32(out + 4, p.tdefPage);
    putU32(out + f.indexPrevPage, p.prevPage);
    putU32(out + f.indexNextPage, p.nextPage);
    putU32(out + f.indexTailPage, p.leaf() ? 0 : p.tailPage);
    putU16(out + f.indexPrefixLength, uint16_t(prefix));
    // Access wrote 1 here on the intermediate page it made.
    out[f.indexPrefixLength + 2] = p.leaf() ? 0 : 1;
}

// Writes entries [from, count) from entry offset `pos` on, marks their ends in the bitmap,
// zeroes the rest of the page and stores the free space. The last `tail` of them already lie on
// the page, written with the same prefix and ending at `oldEnd`: they are moved, not rebuilt.
void encodeEntries(const IndexPage& p, uint8_t* out, const JetFormat& f, size_t prefix, size_t from,
                   size_t pos, size_t tail = 0, size_t oldEnd = 0) {
    uint8_t* bitmap = out + f.indexBitmap;
    uint8_t* entries = out + f.indexEntries;
    const size_t count = p.count();
    const size_t rebuilt = count - tail;
    if (tail > 0) {
        const size_t tailBytes =
            (p.encodedOffset(count, prefix) - p.encodedOffset(rebuilt, prefix));
        const size_t newStart = p.encodedOffset(count, prefix) - tailBytes;
        std::memmove(entries + newStart, entries + oldEnd - tailBytes, tailBytes);
    }
    for (size_t i = from; i < count; ++i) {
        auto e = p.entry(i);
        size_t skip = i == 0 ? 0 : prefix;
        if (i < rebuilt) std::memcpy(entries + pos, e.data() + skip, e.size() - skip);
        pos += e.size() - skip;
        bitmap[pos / 8] |= uint8_t(1u << (pos % 8));
    }
    std::memset(entries + pos, 0, f.pageSize - f.indexEntries - pos);
    putU16(out + 2, uint16_t(f.pageSize - f.indexEntries - pos));
}

}  // namespace

void encodeIndexPage(const IndexPage& p, uint8_t* out, const JetFormat& f) {
    const size_t prefix = p.prefixLength();
    std::memset(out, 0, f.indexEntries);
    encodeHeader(p, out, f, prefix);
    encodeEntries(p, out, f, prefix, 0, 0);
}

void encodeIndexPageChanges(const IndexPage& p, uint8_t* out, const JetFormat& f) {
    const size_t prefix = p.prefixLength();
    const size_t count = p.count();
    if (count == 0 || out[0] != p.type || f.version < 4 ||
        getU16(out + f.indexPrefixLength) != prefix) {
        encodeIndexPage(p, out, f);
        return;
    }
    const size_t lead = std::min(p.unchangedLead(), count);
    // Unchanged trailing entries keep their bytes when none of them is or was the first entry,
    // the one written without the shared prefix.
    size_t tail = 0;
    if (p.encodedPrefix() == prefix && p.encodedCount() > 0) {
        tail =
            std::min({p.unchangedTail(), count - std::max<size_t>(lead, 1), p.encodedCount() - 1});
    }
    if (lead == 0 && tail == 0) {
        encodeIndexPage(p, out, f);
        return;
    }
    // The leading entries keep their bytes and the bitmap bits up to the end of the last of
    // them; every later bit goes.
    const size_t pos = p.encodedOffset(lead, prefix);
    uint8_t* bitmap = out + f.indexBitmap;
    bitmap[pos / 8] &= uint8_t((2u << (pos % 8)) - 1);
    std::memset(bitmap + pos / 8 + 1, 0, bitmapBytes(f) - pos / 8 - 1);
    std::memset(out, 0, f.indexBitmap);
    encodeHeader(p, out, f, prefix);
    encodeEntries(p, out, f, prefix, lead, pos, tail, p.encodedEnd());
}

}  // namespace jet
