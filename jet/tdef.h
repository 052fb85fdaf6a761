// A table definition (TDEF) as stored in the file: the parsed fields that readers need and, for the
// engine's writers, where each structure sits in the definition's bytes.
//
// A definition may span several type-0x02 pages. Its logical bytes (`raw`) are the whole first page
// followed by every continuation page without its 8-byte header; every offset kept here is into
// `raw`. Parsing checks every length against the bytes present, so a damaged definition is reported
// as Corrupt (naming the file and the page), never read past its end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/coding.h"
#include "jet/schema.h"

namespace jet {

class Pager;

// One physical B-tree of the table.
struct RealIndex {
    int number = 0;                    // position among the table's real indexes
    std::vector<IndexColumn> columns;  // up to 10 key columns, by column number
    RowPointer usageMap;               // the index's owned pages
    uint32_t rootPage = 0;
    uint8_t flags = 0;            // 0x01 unique, 0x02 ignore nulls, 0x08 required (0x80 always set)
    uint32_t uniqueCount = 0;     // "unique key count" statistic in the index's slot
    size_t slotOffset = 0;        // 12-byte (Jet 3: 8-byte) slot after the fixed header
    size_t definitionOffset = 0;  // 52-byte (Jet 3: 39-byte) definition

    bool unique() const { return flags & 0x01; }
    bool ignoreNulls() const { return flags & 0x02; }
    bool required() const { return flags & 0x08; }
};

// One logical index (what users see) as stored, beside its public form.
struct LogicalIndex {
    Index index;                // name, numbers, columns and flags (from its real index)
    uint8_t relatedSide = 0;    // 1 referenced ("one") side, 2 referencing side, 0 none
    int32_t relatedIndex = -1;  // logical index number in the other table
    uint32_t relatedTable = 0;  // TDEF page of the other table
    uint8_t cascadeUpdates = 0, cascadeDeletes = 0;
    uint8_t kind = 0;  // 0 normal, 1 primary key, 2 foreign key
    size_t definitionOffset = 0;
};

// The usage maps of one Memo/OLE column's long-value pages.
struct LongValueMaps {
    uint16_t columnNumber = 0;
    RowPointer ownedMap, freeMap;  // page 0: none
    size_t offset = 0;
};

struct Tdef {
    uint32_t firstPage = 0;
    std::vector<uint32_t> pages;  // the chain, first page first
    std::vector<uint8_t> raw;     // logical definition bytes

    uint32_t rowCount = 0;
    uint32_t autoNumber = 0;  // last AutoNumber handed out
    uint8_t tableType = 0;    // 0x4E user, 0x53 system
    uint16_t maxColumns = 0;  // highest column number ever used + 1
    uint16_t varColumns = 0;  // variable columns including deleted ones
    uint16_t columnCount = 0;
    uint32_t logicalIndexCount = 0, realIndexCount = 0;
    RowPointer ownedMap, freeMap;

    // Live columns sorted by column number (properties not applied yet).
    std::vector<Column> columns;
    // descriptorPosition[i]: position of columns[i]'s descriptor among the stored descriptors.
    std::vector<uint16_t> descriptorPosition;
    std::vector<RealIndex> realIndexes;
    std::vector<LogicalIndex> logicalIndexes;  // stored order
    std::vector<LongValueMaps> longValueMaps;

    // Where the structures start in `raw`.
    size_t columnsOffset = 0, namesOffset = 0, realIndexesOffset = 0;
    size_t logicalIndexesOffset = 0, logicalNamesOffset = 0, longValueMapsOffset = 0;

    // Public indexes sorted by logical number.
    std::vector<Index> publicIndexes() const;
    // Position in `columns` of a column number, or -1.
    int columnByNumber(uint16_t number) const;
};

// Reads and parses the definition starting at `page`. `codePage` decodes Jet 3 names.
Tdef readTdef(Pager& pager, const JetFormat& format, uint32_t page, uint16_t codePage,
              const std::string& file);

// Parses logical definition bytes already assembled (used by readTdef and by writers that
// rebuild a definition in memory).
void parseTdef(Tdef& tdef, const JetFormat& format, uint16_t codePage, const std::string& file);

// The length a column descriptor gives a value of a fixed-size type (1 for Yes/No, as Access
// writes it); 0 for variable-length and unknown types.
uint16_t fixedLength(ColumnType type);
// Size in bytes of a fixed column's value in the fixed area: fixedLength of its type, but 0 for
// Yes/No (its value lives in the null mask) and the descriptor's length for types the engine does
// not know.
uint16_t fixedSize(const Column& column);

}  // namespace jet
