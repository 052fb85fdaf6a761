#include "jet/tdef.h"

#include <algorithm>
#include <set>

#include "jet/error.h"
#include "jet/pager.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

// Bounds-checked reading of the logical definition.
class TdefCursor {
  public:
    TdefCursor(const Tdef& tdef, const std::string& file) : tdef_(tdef), file_(file) {}

    const uint8_t* at(size_t offset, size_t length) const {
        if (!fits(tdef_.raw.size(), offset, length))
            throw fileError(ErrorCode::Corrupt, file_,
                            "table definition on page " + std::to_string(tdef_.firstPage) +
                                " is shorter than its contents");
        return tdef_.raw.data() + offset;
    }
    [[noreturn]] void fail(const std::string& what) const {
        throw fileError(
            ErrorCode::Corrupt, file_,
            "table definition on page " + std::to_string(tdef_.firstPage) + ": " + what);
    }

  private:
    const Tdef& tdef_;
    const std::string& file_;
};

// Reads one stored name at `offset`, advancing it.
std::string readName(const TdefCursor& c, size_t& offset, const JetFormat& format,
                     uint16_t codePage) {
    if (format.version >= 4) {
        uint16_t length = getU16(c.at(offset, 2));
        const uint8_t* p = c.at(offset + 2, length);
        offset += 2 + length;
        return decodeUcs2(p, length);
    }
    uint8_t length = *c.at(offset, 1);
    const uint8_t* p = c.at(offset + 1, length);
    offset += 1 + length;
    return decodeCodePageText(p, length, codePage);
}

}  // namespace

uint16_t fixedLength(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean:
        case ColumnType::Byte:
            return 1;
        case ColumnType::Integer:
            return 2;
        case ColumnType::Long:
        case ColumnType::Single:
            return 4;
        case ColumnType::Currency:
        case ColumnType::Double:
        case ColumnType::DateTime:
            return 8;
        case ColumnType::Guid:
            return 16;
        case ColumnType::Decimal:
            return 17;
        default:
            return 0;
    }
}

uint16_t fixedSize(const Column& column) {
    if (column.type == ColumnType::Boolean) return 0;
    uint16_t length = fixedLength(column.type);
    return length != 0 ? length : column.length;
}

int Tdef::columnByNumber(uint16_t number) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].number == number) return int(i);
    return -1;
}

std::vector<Index> Tdef::publicIndexes() const {
    std::vector<Index> out;
    out.reserve(logicalIndexes.size());
    for (const auto& l : logicalIndexes) out.push_back(l.index);
    std::stable_sort(out.begin(), out.end(), [](const Index& a, const Index& b) {
        return a.logicalNumber < b.logicalNumber;
    });
    return out;
}

Tdef readTdef(Pager& pager, const JetFormat& format, uint32_t page, uint16_t codePage,
              const std::string& file) {
    Tdef tdef;
    tdef.firstPage = page;
    std::set<uint32_t> seen;
    uint32_t current = page;
    while (current != 0) {
        if (!seen.insert(current).second)
            throw fileError(
                ErrorCode::Corrupt, file,
                "the table definition on page " + std::to_string(page) + " continues in a loop");
        if (current >= pager.pageCount())
            throw fileError(ErrorCode::Corrupt, file,
                            "the table definition on page " + std::to_string(page) +
                                " points to page " + std::to_string(current) +
                                ", past the end of the file");
        PageRef ref = pager.read(current);
        const PageBuffer& buf = *ref;
        if (buf.size() < format.pageSize || buf[0] != page_type::kTableDefinition)
            throw fileError(ErrorCode::Corrupt, file,
                            "page " + std::to_string(current) + " is not a table definition");
        tdef.pages.push_back(current);
        if (current == page) {
            tdef.raw.assign(buf.begin(), buf.begin() + format.pageSize);
        } else {
            tdef.raw.insert(tdef.raw.end(), buf.begin() + format.tdefContinuationHeader,
                            buf.begin() + format.pageSize);
        }
        current = getU32(buf.data() + format.tdefNextPage);
    }
    parseTdef(tdef, format, codePage, file);
    return tdef;
}

void parseTdef(Tdef& tdef, const JetFormat& format, uint16_t codePage, const std::string& file) {
    TdefCursor c(tdef, file);
    const bool jet4 = format.version >= 4;
    c.at(0, format.tdefRealIndexSlots);
    const uint8_t* h = tdef.raw.data();
    if (jet4) {
        uint32_t length = getU32(h + format.tdefLength);
        if (length > tdef.raw.size()) c.fail("its length exceeds its pages");
    }
    tdef.rowCount = getU32(h + format.tdefRowCount);
    tdef.autoNumber = getU32(h + format.tdefAutoNumber);
    tdef.tableType = h[format.tdefTableType];
    tdef.maxColumns = getU16(h + format.tdefMaxColumns);
    tdef.varColumns = getU16(h + format.tdefVarColumns);
    tdef.columnCount = getU16(h + format.tdefColumnCount);
    tdef.logicalIndexCount = getU32(h + format.tdefLogicalIndexCount);
    tdef.realIndexCount = getU32(h + format.tdefRealIndexCount);
    tdef.ownedMap = getRowPointer(h + format.tdefOwnedMap);
    tdef.freeMap = getRowPointer(h + format.tdefFreeMap);
    // Counts bounded by what can fit in a definition keep a damaged count from allocating wildly.
    if (tdef.columnCount > 4096 || tdef.realIndexCount > 1000 || tdef.logicalIndexCount > 1000)
        c.fail("absurd column or index counts");
    if (tdef.columnCount > tdef.maxColumns) c.fail("more columns than its column limit");

    // Real index slots.
    size_t offset = format.tdefRealIndexSlots;
    tdef.realIndexes.resize(tdef.realIndexCount);
    for (uint32_t i = 0; i < tdef.realIndexCount; ++i) {
        const uint8_t* slot = c.at(offset, format.realIndexSlotSize);
        tdef.realIndexes[i].number = int(i);
        tdef.realIndexes[i].slotOffset = offset;
        tdef.realIndexes[i].uniqueCount = getU32(slot + 4);
        offset += format.realIndexSlotSize;
    }

    // Column descriptors, then their names in the same order.
    tdef.columnsOffset = offset;
    std::vector<Column> stored(tdef.columnCount);
    for (auto& col : stored) {
        const uint8_t* d = c.at(offset, format.columnSize);
        col.type = ColumnType(d[format.colType]);
        col.number = getU16(d + format.colNumber);
        col.varIndex = getU16(d + format.colVarIndex);
        col.flags = d[format.colFlags];
        col.fixedOffset = getU16(d + format.colFixedOffset);
        col.length = getU16(d + format.colLength);
        if (jet4) {
            col.extraFlags = d[16];
            if (col.type == ColumnType::Decimal) {
                col.precision = d[format.colPrecision];
                col.scale = d[format.colScale];
            } else {
                col.sortOrder = getU16(d + format.colSortOrder);
                col.sortVersion = d[14];
            }
        } else {
            if (col.type == ColumnType::Decimal) {
                col.precision = d[format.colPrecision];
                col.scale = d[format.colScale];
            }
            // Jet 3 text is one byte a character; Column.length counts two bytes a character.
            if (col.type == ColumnType::Text) col.length = uint16_t(col.length * 2);
        }
        if (col.number >= tdef.maxColumns) c.fail("a column number beyond its column limit");
        if (!col.isFixed() && col.type != ColumnType::Boolean && col.varIndex >= tdef.varColumns)
            c.fail("a variable column beyond its variable-column count");
        offset += format.columnSize;
    }
    tdef.namesOffset = offset;
    for (auto& col : stored) col.name = readName(c, offset, format, codePage);

    // Real index definitions.
    tdef.realIndexesOffset = offset;
    for (auto& real : tdef.realIndexes) {
        const uint8_t* d = c.at(offset, format.realIndexSize);
        real.definitionOffset = offset;
        for (int k = 0; k < 10; ++k) {
            const uint8_t* e = d + format.realIndexColumns + 3 * k;
            uint16_t number = getU16(e);
            if (number == 0xFFFF) continue;
            real.columns.push_back(IndexColumn{number, (e[2] & 0x01) != 0});
        }
        real.usageMap = getRowPointer(d + format.realIndexUsageMap);
        real.rootPage = getU32(d + format.realIndexRoot);
        real.flags = d[format.realIndexFlags];
        offset += format.realIndexSize;
    }

    // Logical index definitions, then their names.
    tdef.logicalIndexesOffset = offset;
    tdef.logicalIndexes.resize(tdef.logicalIndexCount);
    for (auto& logical : tdef.logicalIndexes) {
        const uint8_t* d = c.at(offset, format.logicalIndexSize);
        logical.definitionOffset = offset;
        logical.index.logicalNumber = int(getU32(d + format.logicalNumber));
        uint32_t real = getU32(d + format.logicalRealIndex);
        if (real >= tdef.realIndexCount) c.fail("an index refers to a missing index structure");
        logical.index.realIndex = int(real);
        logical.relatedSide = d[format.logicalRelatedKind];
        logical.relatedIndex = getI32(d + format.logicalRelatedIndex);
        logical.relatedTable = getU32(d + format.logicalRelatedTable);
        logical.cascadeUpdates = d[format.logicalCascadeUpdate];
        logical.cascadeDeletes = d[format.logicalCascadeDelete];
        logical.kind = d[format.logicalKind];
        const RealIndex& r = tdef.realIndexes[real];
        logical.index.columns = r.columns;
        logical.index.primaryKey = logical.kind == 1;
        logical.index.unique = r.unique() || logical.index.primaryKey;
        logical.index.ignoreNulls = r.ignoreNulls();
        logical.index.required = r.required() || logical.index.primaryKey;
        logical.index.foreignKey = logical.kind == 2 && logical.relatedSide == 2;
        offset += format.logicalIndexSize;
    }
    tdef.logicalNamesOffset = offset;
    for (auto& logical : tdef.logicalIndexes)
        logical.index.name = readName(c, offset, format, codePage);

    // Long-value column maps, ended by 0xFFFF (Jet 4).
    tdef.longValueMapsOffset = offset;
    if (jet4) {
        for (;;) {
            uint16_t number = getU16(c.at(offset, 2));
            if (number == 0xFFFF) break;
            const uint8_t* d = c.at(offset + 2, 8);
            tdef.longValueMaps.push_back(
                LongValueMaps{number, getRowPointer(d), getRowPointer(d + 4), offset});
            offset += 10;
        }
    }

    // Column-number order; index columns must name live columns.
    std::vector<uint16_t> order(stored.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = uint16_t(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint16_t a, uint16_t b) { return stored[a].number < stored[b].number; });
    tdef.columns.clear();
    tdef.descriptorPosition = order;
    for (uint16_t i : order) tdef.columns.push_back(stored[i]);
    for (size_t i = 1; i < tdef.columns.size(); ++i)
        if (tdef.columns[i].number == tdef.columns[i - 1].number)
            c.fail("two columns share column number " + std::to_string(tdef.columns[i].number));
    for (const auto& real : tdef.realIndexes)
        for (const auto& ic : real.columns)
            if (tdef.columnByNumber(ic.columnNumber) < 0) c.fail("an index names a missing column");
}

}  // namespace jet
