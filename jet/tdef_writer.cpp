#include "jet/tdef_writer.h"

#include <algorithm>
#include <cstring>

#include "jet/create_support.h"
#include "jet/error.h"

namespace jet::create {

namespace {

constexpr uint32_t kMagic659 = 0x0659;    // found in the TDEF header, descriptors, logical indexes
constexpr uint32_t kRealIndexMagic = 0x0783;
constexpr uint16_t kGeneralSortOrder = 0x0409;
constexpr uint32_t kPageHeader = 8;
constexpr int kIndexColumnSlots = 10;

void putDescriptor(ByteWriter& w, const Column& c, bool systemTable) {
    w.u8(static_cast<uint8_t>(c.type));
    w.u32(kMagic659);
    w.u16(c.number);
    w.u16(c.varIndex);
    // Access numbers user columns by position; the core system tables carry 0 here.
    w.u16(systemTable ? 0 : c.number);
    if (c.type == ColumnType::Decimal) {
        w.u8(c.precision);
        w.u8(c.scale);
    } else {
        w.u16(c.sortOrder ? c.sortOrder : kGeneralSortOrder);
    }
    w.u8(0);
    w.u8(c.sortVersion);
    w.u8(c.flags);
    w.u8(c.extraFlags);
    w.u32(0);
    w.u16(c.isFixed() ? c.fixedOffset : 0);
    w.u16(c.length);
}

}  // namespace

std::vector<uint8_t> encodeTdef(const TdefImage& image) {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    uint16_t maxColumns = 0, varColumns = 0;
    for (const Column& c : image.columns) {
        maxColumns = std::max<uint16_t>(maxColumns, c.number + 1);
        if (!c.isFixed()) varColumns = std::max<uint16_t>(varColumns, c.varIndex + 1);
    }

    w.u8(0x02);
    w.u8(0x01);
    w.u16(0);  // free space and next page are filled in by tdefPages()
    w.u32(0);
    w.u32(0);  // definition length, patched below
    w.u32(kMagic659);
    w.u32(image.rowCount);
    w.u32(image.autoNumber);
    w.u8(0x01);  // AutoNumber in use (Access expects it set)
    w.zeros(15);
    w.u8(image.systemTable ? 0x53 : 0x4E);
    w.u16(maxColumns);
    w.u16(varColumns);
    w.u16(static_cast<uint16_t>(image.columns.size()));
    w.u32(static_cast<uint32_t>(image.logicalIndexes.size()));
    w.u32(static_cast<uint32_t>(image.realIndexes.size()));
    w.u32(image.ownedMap);
    w.u32(image.freeMap);
    for (const RealIndexImage& r : image.realIndexes) {
        w.u32(0);
        w.u32(r.uniqueKeys);
        w.u32(0);
    }
    for (const Column& c : image.columns) putDescriptor(w, c, image.systemTable);
    for (const Column& c : image.columns) putName(w, c.name);
    for (const RealIndexImage& r : image.realIndexes) {
        if (r.columns.size() > kIndexColumnSlots) {
            throw Error(ErrorCode::InvalidDefinition, "an index has more than 10 columns");
        }
        w.u32(kRealIndexMagic);
        for (int i = 0; i < kIndexColumnSlots; ++i) {
            if (i < static_cast<int>(r.columns.size())) {
                w.u16(r.columns[i].columnNumber);
                w.u8(r.columns[i].ascending ? 0x01 : 0x00);
            } else {
                w.u16(0xFFFF);
                w.u8(0);
            }
        }
        w.u32(r.usageMap);
        w.u32(r.rootPage);
        w.u32(0);
        w.u8(r.flags | 0x80);
        w.zeros(5);
    }
    for (const LogicalIndexImage& l : image.logicalIndexes) {
        w.u32(kMagic659);
        w.u32(l.number);
        w.u32(l.realIndex);
        w.u8(0);            // not part of a relationship
        w.u32(0xFFFFFFFF);  // no matching index in another table
        w.u32(0);
        w.u8(0x04);  // what Access writes on indexes outside relationships
        w.u8(0x04);
        w.u8(l.primaryKey ? 1 : 0);
        w.u32(0);
    }
    for (const LogicalIndexImage& l : image.logicalIndexes) putName(w, l.name);
    for (const LongValueMapImage& m : image.longValueMaps) {
        w.u16(m.columnNumber);
        w.u32(m.ownedMap);
        w.u32(m.freeMap);
    }
    w.u16(0xFFFF);
    putU32(&out[8], static_cast<uint32_t>(out.size()));
    return out;
}

uint32_t tdefPageCount(size_t length) {
    if (length <= kPageSize) return 1;
    size_t rest = length - kPageSize;
    size_t perPage = kPageSize - kPageHeader;
    return static_cast<uint32_t>(1 + (rest + perPage - 1) / perPage);
}

std::vector<PageBuffer> tdefPages(const std::vector<uint8_t>& definition,
                                  const std::vector<uint32_t>& pageNumbers) {
    std::vector<PageBuffer> pages;
    size_t pos = 0;
    for (size_t i = 0; i < pageNumbers.size(); ++i) {
        PageBuffer page(kPageSize, 0);
        size_t headerSkip = i == 0 ? 0 : kPageHeader;
        size_t room = kPageSize - headerSkip;
        size_t n = std::min(room, definition.size() - pos);
        std::memcpy(page.data() + headerSkip, definition.data() + pos, n);
        pos += n;
        page[0] = 0x02;
        page[1] = 0x01;
        size_t used = n + headerSkip;  // bytes of this page that hold the definition
        putU16(&page[2], used + kPageHeader >= kPageSize
                             ? 0
                             : static_cast<uint16_t>(kPageSize - used - kPageHeader));
        putU32(&page[4], i + 1 < pageNumbers.size() ? pageNumbers[i + 1] : 0);
        pages.push_back(std::move(page));
    }
    return pages;
}

}  // namespace jet::create
