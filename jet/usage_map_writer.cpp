#include "jet/usage_map_writer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/pager.h"
#include "jet/usage_map.h"

namespace jet {

namespace {

constexpr size_t kInlineHeader = 5;  // type byte, u32 start page
// Access grows the global map's inline row by this many bitmap bytes at a time.
constexpr size_t kGlobalGrowth = 32;
// A reference map row: the type byte and 17 bitmap page pointers, as Access writes it.
constexpr size_t kReferenceRowBytes = 69;

Error mapError(const std::string& file, RowPointer where, const std::string& what) {
    return fileError(ErrorCode::Corrupt, file,
                     "the usage map at page " + std::to_string(where.page) + " row " +
                         std::to_string(where.row) + " " + what);
}

// The map row's bytes, writable. Valid until the page's rows are moved (replaceRow).
std::span<uint8_t> mapRow(Pager& pager, const JetFormat& format, RowPointer where,
                          const std::string& file) {
    if (where.page == 0 || where.page >= pager.pageCount()) {
        throw mapError(file, where, "is outside the file");
    }
    uint8_t* page = pager.write(where.page);
    if (page[0] != page_type::kData || where.row >= data_page::slotCount(page, format) ||
        (data_page::slotFlags(page, format, where.row) & kRowDeleted)) {
        throw mapError(file, where, "is missing");
    }
    std::span<const uint8_t> row = data_page::rowBytes(page, format, where.row);
    if (row.empty()) throw mapError(file, where, "is missing");
    return {const_cast<uint8_t*>(row.data()), row.size()};
}

void setBit(uint8_t* bitmap, uint64_t bit, bool on) {
    if (on) {
        bitmap[bit / 8] |= uint8_t(1u << (bit % 8));
    } else {
        bitmap[bit / 8] &= uint8_t(~(1u << (bit % 8)));
    }
}

uint64_t referenceSpan(const JetFormat& format) {
    return uint64_t(format.referenceMapPageBytes) * 8;
}

// Sets a bit in a reference map, allocating its bitmap page when needed.
void setReferenceBit(Pager& pager, const JetFormat& format, RowPointer where, uint32_t page,
                     bool on, const std::string& file) {
    std::span<uint8_t> row = mapRow(pager, format, where, file);
    size_t pointers = (row.size() - 1) / 4;
    uint64_t k = page / referenceSpan(format);
    if (k >= pointers) {
        throw fileError(ErrorCode::Unsupported, file,
                        "page " + std::to_string(page) +
                            " lies beyond what the usage map at page " +
                            std::to_string(where.page) + " can describe");
    }
    uint32_t bitmapPage = getU32(row.data() + 1 + 4 * k);
    if (bitmapPage == 0) {
        if (!on) return;
        bitmapPage = allocatePage(pager, format, file);
        uint8_t* bits = pager.write(bitmapPage);
        bits[0] = page_type::kUsageBitmap;
        bits[1] = 0x01;
        row = mapRow(pager, format, where, file);  // allocation may have moved rows
        putU32(row.data() + 1 + 4 * k, bitmapPage);
    }
    if (bitmapPage >= pager.pageCount()) throw mapError(file, where, "refers outside the file");
    uint8_t* bits = pager.write(bitmapPage);
    if (bits[0] != page_type::kUsageBitmap)
        throw mapError(file, where, "refers to a non-bitmap page");
    setBit(bits + format.referenceMapPageHeader, page - k * referenceSpan(format), on);
}

// Rewrites an inline map row to list exactly `pages`: slides the window when they fit, else turns
// the row into a reference map.
void rewriteMap(Pager& pager, const JetFormat& format, RowPointer where,
                const std::vector<uint32_t>& pages, const std::string& file) {
    std::span<uint8_t> row = mapRow(pager, format, where, file);
    uint64_t bits = uint64_t(row.size() - kInlineHeader) * 8;
    uint32_t start = pages.empty() ? 0 : (pages.front() & ~7u);
    if (pages.empty() || uint64_t(pages.back() - start) < bits) {
        row[0] = UsageMap::kInline;
        putU32(row.data() + 1, start);
        std::memset(row.data() + kInlineHeader, 0, row.size() - kInlineHeader);
        for (uint32_t p : pages) setBit(row.data() + kInlineHeader, p - start, true);
        return;
    }
    row[0] = UsageMap::kReference;
    std::memset(row.data() + 1, 0, row.size() - 1);
    for (uint32_t p : pages) setReferenceBit(pager, format, where, p, true, file);
}

// Whether the map already says `on` for `page`, read without asking for a writable page: a
// change that would leave the map as it is then copies nothing for the open savepoint. False
// when unsure; the writer then looks again and reports what is wrong.
bool mapAlreadySays(Pager& pager, const JetFormat& format, RowPointer where, uint32_t page,
                    bool on) {
    if (where.page == 0 || where.page >= pager.pageCount()) return false;
    const PageRef mapPage = pager.read(where.page);
    const uint8_t* bytes = mapPage->data();
    if (bytes[0] != page_type::kData || where.row >= data_page::slotCount(bytes, format) ||
        (data_page::slotFlags(bytes, format, where.row) & kRowDeleted)) {
        return false;
    }
    std::span<const uint8_t> row = data_page::rowBytes(bytes, format, where.row);
    if (row.empty()) return false;
    auto bitIs = [on](const uint8_t* bitmap, uint64_t bit) {
        return bool(bitmap[bit / 8] & (1u << (bit % 8))) == on;
    };
    if (row[0] == UsageMap::kInline && row.size() >= kInlineHeader) {
        const uint32_t start = getU32(row.data() + 1);
        const uint64_t bits = uint64_t(row.size() - kInlineHeader) * 8;
        if (page >= start && page - start < bits)
            return bitIs(row.data() + kInlineHeader, page - start);
        return !on;
    }
    if (row[0] != UsageMap::kReference) return false;
    const uint64_t k = page / referenceSpan(format);
    if (k >= (row.size() - 1) / 4) return false;
    const uint32_t bitmapPage = getU32(row.data() + 1 + 4 * k);
    if (bitmapPage == 0) return !on;
    if (bitmapPage >= pager.pageCount()) return false;
    const PageRef bitmap = pager.read(bitmapPage);
    if ((*bitmap)[0] != page_type::kUsageBitmap) return false;
    return bitIs(bitmap->data() + format.referenceMapPageHeader, page - k * referenceSpan(format));
}

void setTableMapBit(Pager& pager, const JetFormat& format, RowPointer where, uint32_t page, bool on,
                    const std::string& file) {
    if (mapAlreadySays(pager, format, where, page, on)) return;
    std::span<uint8_t> row = mapRow(pager, format, where, file);
    if (row[0] == UsageMap::kReference) {
        setReferenceBit(pager, format, where, page, on, file);
        return;
    }
    if (row[0] != UsageMap::kInline || row.size() < kInlineHeader) {
        throw mapError(file, where, "has an unknown type");
    }
    uint32_t start = getU32(row.data() + 1);
    uint64_t bits = uint64_t(row.size() - kInlineHeader) * 8;
    if (page >= start && page - start < bits) {
        setBit(row.data() + kInlineHeader, page - start, on);
        return;
    }
    if (!on) return;  // not listed
    std::vector<uint32_t> pages = UsageMap::read(pager, format, where, file).pages();
    pages.insert(std::lower_bound(pages.begin(), pages.end(), page), page);
    rewriteMap(pager, format, where, pages, file);
}

// Appends a bitmap page holding `bitmap` and returns its number. Marking the page itself used is
// the caller's business.
uint32_t appendBitmapPage(Pager& pager, const JetFormat& format,
                          const std::vector<uint8_t>& bitmap) {
    uint32_t page = pager.append();
    uint8_t* bytes = pager.write(page);
    bytes[0] = page_type::kUsageBitmap;
    bytes[1] = 0x01;
    std::copy(bitmap.begin(), bitmap.end(), bytes + format.referenceMapPageHeader);
    return page;
}

// The global map in reference form. A range whose pointer is 0 has no page in use, so freeing
// there changes nothing and using a page there first gives the range a bitmap page (all free).
// That page is itself in use, and when it opens the next range that range needs one too.
void setGlobalReferenceBit(Pager& pager, const JetFormat& format, uint32_t page, bool free,
                           const std::string& file) {
    std::span<uint8_t> row = mapRow(pager, format, kGlobalMap, file);
    const uint64_t span = referenceSpan(format);
    const uint64_t k = page / span;
    if (k >= (row.size() - 1) / 4) {
        if (free) return;
        throw fileError(ErrorCode::Unsupported, file,
                        "the free-page map cannot describe page " + std::to_string(page) +
                            ": the file is as large as the format allows");
    }
    uint32_t bitmapPage = getU32(row.data() + 1 + 4 * k);
    if (bitmapPage == 0) {
        if (free) return;
        bitmapPage = appendBitmapPage(pager, format,
                                      std::vector<uint8_t>(format.referenceMapPageBytes, 0xFF));
        putU32(mapRow(pager, format, kGlobalMap, file).data() + 1 + 4 * k, bitmapPage);
        setGlobalReferenceBit(pager, format, bitmapPage, false, file);
    }
    if (bitmapPage >= pager.pageCount()) {
        throw mapError(file, kGlobalMap, "refers outside the file");
    }
    uint8_t* bits = pager.write(bitmapPage);
    if (bits[0] != page_type::kUsageBitmap) {
        throw mapError(file, kGlobalMap, "refers to a non-bitmap page");
    }
    setBit(bits + format.referenceMapPageHeader, page - k * span, free);
}

// Turns the inline global map, which page 1 has no room left to grow, into a reference map that
// says the same of every page: each bit of the old row is carried over, pages past its reach
// stay free, pages below its start stay in use. Every range holding a page of the file gets its
// bitmap page, so only ranges wholly past the end keep a 0 pointer.
void promoteGlobalMap(Pager& pager, const JetFormat& format, const std::string& file) {
    std::span<uint8_t> row = mapRow(pager, format, kGlobalMap, file);
    const uint64_t start = getU32(row.data() + 1);
    const std::vector<uint8_t> old(row.begin() + kInlineHeader, row.end());
    const uint64_t reach = start + uint64_t(old.size()) * 8;

    const uint64_t span = referenceSpan(format);
    const uint64_t inFile = pager.pageCount();
    const uint64_t ranges = (inFile + span - 1) / span;
    if (ranges > (kReferenceRowBytes - 1) / 4) {
        throw fileError(ErrorCode::Unsupported, file,
                        "the file is too large for the free-page map");
    }
    std::vector<uint8_t> reference(kReferenceRowBytes, 0);
    reference[0] = UsageMap::kReference;
    if (!data_page::replaceRow(pager.write(kGlobalMap.page), format, kGlobalMap.row, reference,
                               0)) {
        throw fileError(ErrorCode::Unsupported, file,
                        "page 1 has no room for the free-page map in reference form");
    }
    std::vector<uint32_t> made;
    for (uint64_t k = 0; k < ranges; ++k) {
        std::vector<uint8_t> bitmap(format.referenceMapPageBytes, 0xFF);
        for (uint64_t i = 0; i < span && k * span + i < inFile; ++i) {
            uint64_t p = k * span + i;
            bool free =
                p >= reach || (p >= start && ((old[(p - start) / 8] >> ((p - start) % 8)) & 1));
            if (!free) setBit(bitmap.data(), i, false);
        }
        made.push_back(appendBitmapPage(pager, format, bitmap));
        putU32(mapRow(pager, format, kGlobalMap, file).data() + 1 + 4 * k, made.back());
    }
    for (uint32_t page : made) setGlobalReferenceBit(pager, format, page, false, file);
    // Pages of the file past the old row's reach are free now: the search must see them.
    if (reach < inFile && reach < pager.freePageHint()) pager.setFreePageHint(uint32_t(reach));
}

// The global map: a set bit means free; pages past the map's reach count as free.
void setGlobalBit(Pager& pager, const JetFormat& format, uint32_t page, bool free,
                  const std::string& file) {
    std::span<uint8_t> row = mapRow(pager, format, kGlobalMap, file);
    if (row[0] == UsageMap::kReference) {
        setGlobalReferenceBit(pager, format, page, free, file);
        return;
    }
    if (row[0] != UsageMap::kInline || row.size() < kInlineHeader) {
        throw mapError(file, kGlobalMap, "has an unknown type");
    }
    uint32_t start = getU32(row.data() + 1);
    if (page < start)
        throw mapError(file, kGlobalMap, "does not reach page " + std::to_string(page));
    uint64_t bits = uint64_t(row.size() - kInlineHeader) * 8;
    if (page - start >= bits) {
        if (free) return;
        // Grow the row in place: the new bytes describe pages past the end, all free.
        size_t need = size_t((page - start) / 8 + 1);
        size_t have = row.size() - kInlineHeader;
        size_t grown = have + ((need - have + kGlobalGrowth - 1) / kGlobalGrowth) * kGlobalGrowth;
        std::vector<uint8_t> bigger(row.begin(), row.end());
        bigger.resize(kInlineHeader + grown, 0xFF);
        uint8_t* page1 = pager.write(kGlobalMap.page);
        if (!data_page::replaceRow(page1, format, kGlobalMap.row, bigger, 0)) {
            // Page 1 is full: the map goes on in bitmap pages.
            promoteGlobalMap(pager, format, file);
            setGlobalReferenceBit(pager, format, page, false, file);
            return;
        }
        row = mapRow(pager, format, kGlobalMap, file);
    }
    setBit(row.data() + kInlineHeader, page - start, free);
}

// The lowest page in [from, to) whose bit in `bitmap` (bit 0 = page `base`) is set, or `to`.
uint64_t firstSetBit(const uint8_t* bitmap, uint64_t base, uint64_t from, uint64_t to) {
    uint64_t p = from;
    while (p < to) {
        const uint64_t bit = p - base;
        const uint8_t byte = bitmap[bit / 8];
        if (bit % 8 == 0 && byte == 0) {
            p += 8;  // a whole byte of used pages
            continue;
        }
        if ((byte >> (bit % 8)) & 1) return p;
        ++p;
    }
    return to;
}

// The lowest page of the file at or after `from` that the global map lists as free, or 0. Only
// pages the map describes count: past an inline map's reach, or in a range a reference map gives
// no bitmap page, pages are free only in the sense that the file has not grown there yet.
uint32_t findFreePage(Pager& pager, const JetFormat& format, uint32_t from,
                      const std::string& file) {
    const uint64_t end = pager.pageCount();
    from = std::max<uint32_t>(from, 2);  // the header and the map's own page are never free
    PageRef page1 = pager.read(kGlobalMap.page);
    const uint8_t* bytes = page1->data();
    if (bytes[0] != page_type::kData || kGlobalMap.row >= data_page::slotCount(bytes, format)) {
        throw mapError(file, kGlobalMap, "is missing");
    }
    std::span<const uint8_t> row = data_page::rowBytes(bytes, format, kGlobalMap.row);
    if (row.size() < kInlineHeader) throw mapError(file, kGlobalMap, "is missing");
    if (row[0] == UsageMap::kInline) {
        const uint64_t start = getU32(row.data() + 1);
        const uint64_t to =
            std::min<uint64_t>(end, start + uint64_t(row.size() - kInlineHeader) * 8);
        const uint64_t lo = std::max<uint64_t>(from, start);
        if (lo >= to) return 0;
        const uint64_t found = firstSetBit(row.data() + kInlineHeader, start, lo, to);
        return found < to ? uint32_t(found) : 0;
    }
    if (row[0] != UsageMap::kReference) throw mapError(file, kGlobalMap, "has an unknown type");
    const uint64_t span = referenceSpan(format);
    const size_t pointers = (row.size() - 1) / 4;
    for (uint64_t k = from / span; k < pointers && k * span < end; ++k) {
        const uint32_t bitmapPage = getU32(row.data() + 1 + 4 * k);
        if (bitmapPage == 0 || bitmapPage >= end) continue;
        PageRef bits = pager.read(bitmapPage);
        if ((*bits)[0] != page_type::kUsageBitmap) continue;
        const uint64_t lo = std::max<uint64_t>(from, k * span);
        const uint64_t to = std::min<uint64_t>(end, (k + 1) * span);
        const uint64_t found =
            firstSetBit(bits->data() + format.referenceMapPageHeader, k * span, lo, to);
        if (found < to) return uint32_t(found);
    }
    return 0;
}

}  // namespace

uint32_t allocatePage(Pager& pager, const JetFormat& format, const std::string& file) {
    // Pages given back come first: the file grows only when none is left.
    if (uint32_t page = findFreePage(pager, format, pager.freePageHint(), file)) {
        setGlobalBit(pager, format, page, false, file);
        std::memset(pager.write(page), 0, format.pageSize);
        pager.setFreePageHint(page + 1);
        return page;
    }
    uint32_t page = pager.append();
    pager.setFreePageHint(page + 1);  // before the map may change form and lower it
    setGlobalBit(pager, format, page, false, file);
    return page;
}

void freePage(Pager& pager, const JetFormat& format, uint32_t page, const std::string& file) {
    setGlobalBit(pager, format, page, true, file);
    if (page < pager.freePageHint()) pager.setFreePageHint(page);
}

void addPageToMap(Pager& pager, const JetFormat& format, RowPointer where, uint32_t page,
                  const std::string& file) {
    setTableMapBit(pager, format, where, page, true, file);
}

void removePageFromMap(Pager& pager, const JetFormat& format, RowPointer where, uint32_t page,
                       const std::string& file) {
    setTableMapBit(pager, format, where, page, false, file);
}

uint32_t findPageWithRoom(Pager& pager, const JetFormat& format, RowPointer freeMap, size_t size,
                          const std::function<bool(const uint8_t*)>& isOwn,
                          const std::string& file) {
    constexpr int kTries = 8;
    std::vector<uint32_t> pages = UsageMap::read(pager, format, freeMap, file).pages();
    int tried = 0;
    for (uint32_t page : pages) {
        if (tried++ == kTries) break;
        if (page < pager.pageCount()) {
            PageRef bytes = pager.read(page);
            if (isOwn(bytes->data()) && data_page::hasRoomFor(bytes->data(), format, size)) {
                return page;
            }
        }
        removePageFromMap(pager, format, freeMap, page, file);
    }
    return 0;
}

bool globalMapSaysFree(Pager& pager, const JetFormat& format, uint32_t page,
                       const std::string& file) {
    return globalMapSaysFree(UsageMap::read(pager, format, kGlobalMap, file), format, page);
}

bool globalMapSaysFree(const UsageMap& map, const JetFormat& format, uint32_t page) {
    if (map.type() == UsageMap::kInline) {
        uint64_t bits = uint64_t(map.bitmapBytes()) * 8;
        if (page < map.startPage() || page - map.startPage() >= bits) return true;
    } else {
        // A range without a bitmap page holds no page in use.
        uint64_t k = page / referenceSpan(format);
        if (k >= map.bitmapPages().size() || map.bitmapPages()[k] == 0) return true;
    }
    return map.contains(page);
}

}  // namespace jet
