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

constexpr RowPointer kGlobalMap{1, 0};
constexpr size_t kInlineHeader = 5;  // type byte, u32 start page
// Access grows the global map's inline row by this many bitmap bytes at a time.
constexpr size_t kGlobalGrowth = 32;

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

uint64_t referenceSpan(const JetFormat& format) { return uint64_t(format.referenceMapPageBytes) * 8; }

// Sets a bit in a reference map, allocating its bitmap page when needed.
void setReferenceBit(Pager& pager, const JetFormat& format, RowPointer where, uint32_t page,
                     bool on, const std::string& file) {
    std::span<uint8_t> row = mapRow(pager, format, where, file);
    size_t pointers = (row.size() - 1) / 4;
    uint64_t k = page / referenceSpan(format);
    if (k >= pointers) {
        throw fileError(ErrorCode::Unsupported, file,
                        "page " + std::to_string(page) + " lies beyond what the usage map at page " +
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
    if (bits[0] != page_type::kUsageBitmap) throw mapError(file, where, "refers to a non-bitmap page");
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

void setTableMapBit(Pager& pager, const JetFormat& format, RowPointer where, uint32_t page,
                    bool on, const std::string& file) {
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

// The global map: a set bit means free; pages past the map's reach count as free.
void setGlobalBit(Pager& pager, const JetFormat& format, uint32_t page, bool free,
                  const std::string& file) {
    std::span<uint8_t> row = mapRow(pager, format, kGlobalMap, file);
    if (row[0] == UsageMap::kReference) {
        std::vector<uint8_t> copy(row.begin(), row.end());
        uint64_t k = page / referenceSpan(format);
        uint32_t bitmapPage = k < (copy.size() - 1) / 4 ? getU32(copy.data() + 1 + 4 * k) : 0;
        if (bitmapPage == 0 || bitmapPage >= pager.pageCount()) {
            if (free) return;
            throw fileError(ErrorCode::Unsupported, file,
                            "the free-page map has no room for page " + std::to_string(page));
        }
        setBit(pager.write(bitmapPage) + format.referenceMapPageHeader,
               page - k * referenceSpan(format), free);
        return;
    }
    uint32_t start = getU32(row.data() + 1);
    if (page < start) throw mapError(file, kGlobalMap, "does not reach page " + std::to_string(page));
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
            throw fileError(ErrorCode::Unsupported, file,
                            "the free-page map on page 1 cannot grow to reach page " +
                                std::to_string(page));
        }
        row = mapRow(pager, format, kGlobalMap, file);
    }
    setBit(row.data() + kInlineHeader, page - start, free);
}

}  // namespace

uint32_t allocatePage(Pager& pager, const JetFormat& format, const std::string& file) {
    uint32_t page = pager.append();
    setGlobalBit(pager, format, page, false, file);
    return page;
}

void freePage(Pager& pager, const JetFormat& format, uint32_t page, const std::string& file) {
    setGlobalBit(pager, format, page, true, file);
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
    UsageMap map = UsageMap::read(pager, format, kGlobalMap, file);
    if (map.type() == UsageMap::kInline) {
        uint64_t bits = uint64_t(map.bitmapBytes()) * 8;
        if (page < map.startPage() || page - map.startPage() >= bits) return true;
    }
    return map.contains(page);
}

}  // namespace jet
