#include "jet/tdef_writer.h"

#include <algorithm>
#include <cstring>

#include "jet/error.h"
#include "jet/page_builders.h"
#include "jet/text_codec.h"

namespace jet::create {

namespace {

constexpr uint32_t kMagic659 = 0x0659;  // found in the TDEF header, descriptors, logical indexes
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
        w.u8(l.relationshipSide);
        w.u32(l.otherIndex);
        w.u32(l.otherTable);
        w.u8(l.cascadeUpdates);  // 0x04 on indexes outside relationships, as Access writes
        w.u8(l.cascadeDeletes);
        w.u8(l.foreignKey ? 2 : l.primaryKey ? 1 : 0);
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

namespace {

// Reads fields of a definition with bounds checks.
class Reader {
  public:
    explicit Reader(const std::vector<uint8_t>& bytes) : b_(bytes) {}
    void seek(size_t pos) { pos_ = pos; }
    size_t pos() const { return pos_; }
    const uint8_t* take(size_t n) {
        if (!fits(b_.size(), pos_, n)) {
            throw Error(ErrorCode::Corrupt, "a table definition ends too early");
        }
        const uint8_t* p = b_.data() + pos_;
        pos_ += n;
        return p;
    }
    uint8_t u8() { return *take(1); }
    uint16_t u16() { return getU16(take(2)); }
    uint32_t u32() { return getU32(take(4)); }
    std::string name() {
        uint16_t length = u16();
        const uint8_t* p = take(length);
        return decodeUcs2(p, length);
    }

  private:
    const std::vector<uint8_t>& b_;
    size_t pos_ = 0;
};

}  // namespace

TdefImage decodeTdef(const std::vector<uint8_t>& definition) {
    Reader r(definition);
    TdefImage image;
    r.seek(16);
    image.rowCount = r.u32();
    image.autoNumber = r.u32();
    r.seek(40);
    image.systemTable = r.u8() == 0x53;
    r.u16();  // max_cols, recomputed from the columns
    r.u16();  // var columns, likewise
    uint16_t columns = r.u16();
    uint32_t logical = r.u32();
    uint32_t real = r.u32();
    if (real > 1000 || logical > 1000) throw Error(ErrorCode::Corrupt, "absurd index counts");
    image.ownedMap = r.u32();
    image.freeMap = r.u32();
    image.realIndexes.resize(real);
    for (auto& ri : image.realIndexes) {
        r.u32();
        ri.uniqueKeys = r.u32();
        r.u32();
    }
    image.columns.resize(columns);
    for (Column& c : image.columns) {
        const uint8_t* d = r.take(25);
        c.type = static_cast<ColumnType>(d[0]);
        c.number = getU16(d + 5);
        c.varIndex = getU16(d + 7);
        if (c.type == ColumnType::Decimal) {
            c.precision = d[11];
            c.scale = d[12];
        } else {
            c.sortOrder = getU16(d + 11);
        }
        c.sortVersion = d[14];
        c.flags = d[15];
        c.extraFlags = d[16];
        c.fixedOffset = getU16(d + 21);
        c.length = getU16(d + 23);
    }
    for (Column& c : image.columns) c.name = r.name();
    for (auto& ri : image.realIndexes) {
        const uint8_t* d = r.take(52);
        for (int i = 0; i < kIndexColumnSlots; ++i) {
            uint16_t number = getU16(d + 4 + 3 * i);
            if (number != 0xFFFF) ri.columns.push_back({number, d[6 + 3 * i] == 0x01});
        }
        ri.usageMap = getU32(d + 34);
        ri.rootPage = getU32(d + 38);
        ri.flags = d[46];
    }
    image.logicalIndexes.resize(logical);
    for (auto& li : image.logicalIndexes) {
        const uint8_t* d = r.take(28);
        li.number = getU32(d + 4);
        li.realIndex = getU32(d + 8);
        li.relationshipSide = d[12];
        li.otherIndex = getU32(d + 13);
        li.otherTable = getU32(d + 17);
        li.cascadeUpdates = d[21];
        li.cascadeDeletes = d[22];
        li.primaryKey = d[23] == 1;
        li.foreignKey = d[23] == 2;
    }
    for (auto& li : image.logicalIndexes) li.name = r.name();
    for (;;) {
        uint16_t column = r.u16();
        if (column == 0xFFFF) break;
        LongValueMapImage m;
        m.columnNumber = column;
        m.ownedMap = r.u32();
        m.freeMap = r.u32();
        image.longValueMaps.push_back(m);
    }
    return image;
}

StoredTdef readTdef(Pager& pager, uint32_t tdefPage) {
    StoredTdef stored;
    uint32_t page = tdefPage;
    while (page != 0) {
        if (stored.pages.size() > 64) {
            throw Error(ErrorCode::Corrupt, "a table definition's page chain loops");
        }
        PageRef p = pager.read(page);
        if ((*p)[0] != 0x02) {
            throw Error(ErrorCode::Corrupt,
                        "page " + std::to_string(page) + " is not a table definition");
        }
        size_t skip = stored.pages.empty() ? 0 : kPageHeader;
        stored.definition.insert(stored.definition.end(), p->begin() + skip, p->end());
        stored.pages.push_back(page);
        page = getU32(p->data() + 4);
    }
    uint32_t length = getU32(stored.definition.data() + 8);
    if (length > stored.definition.size()) {
        throw Error(ErrorCode::Corrupt, "a table definition is longer than its pages");
    }
    stored.definition.resize(length);
    return stored;
}

void rewriteTdef(Pager& pager, const StoredTdef& stored, const TdefImage& image) {
    std::vector<uint8_t> definition = encodeTdef(image);
    std::vector<uint32_t> pages = stored.pages;
    while (pages.size() < tdefPageCount(definition.size())) pages.push_back(allocatePage(pager));
    std::vector<PageBuffer> content = tdefPages(definition, pages);
    for (size_t i = 0; i < pages.size(); ++i) {
        std::memcpy(pager.write(pages[i]), content[i].data(), kPageSize);
    }
}

}  // namespace jet::create
