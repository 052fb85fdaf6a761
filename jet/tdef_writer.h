// Serialises a table definition (TDEF) into the bytes of one or more type-0x02 pages.
//
// A TdefImage is everything the definition stores: counters, usage-map pointers, column
// descriptors and names, real indexes (B-trees), logical indexes (what users see) and the
// long-value column maps. encodeTdef() produces the logical definition (the first page's header
// included); tdefPages() cuts it into pages, each continuation page repeating only the 8-byte
// page header, and chains them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/pager.h"
#include "jet/schema.h"

namespace jet::create {

struct RealIndexImage {
    std::vector<IndexColumn> columns;  // at most 10
    uint32_t usageMap = 0;             // row pointer to the index's page map
    uint32_t rootPage = 0;
    uint8_t flags = 0x80;  // 0x01 unique, 0x02 ignore nulls, 0x08 required; 0x80 always
    uint32_t uniqueKeys = 0;
};

struct LogicalIndexImage {
    std::string name;
    uint32_t number = 0;
    uint32_t realIndex = 0;
    bool primaryKey = false;
    // Relationship fields, kept as read from an existing definition (new indexes take part in
    // no relationship): side 1 = referenced, 2 = referencing; the matching index and its table.
    uint8_t relationshipSide = 0;
    uint32_t otherIndex = 0xFFFFFFFF;
    uint32_t otherTable = 0;
    uint8_t cascadeUpdates = 0x04, cascadeDeletes = 0x04;
    bool foreignKey = false;
};

struct LongValueMapImage {
    uint16_t columnNumber = 0;
    uint32_t ownedMap = 0;  // row pointers
    uint32_t freeMap = 0;
};

struct TdefImage {
    bool systemTable = false;
    uint32_t rowCount = 0;
    uint32_t autoNumber = 0;  // last AutoNumber value handed out
    uint32_t ownedMap = 0;    // row pointers to the table's usage maps
    uint32_t freeMap = 0;
    std::vector<Column> columns;  // in descriptor order
    std::vector<RealIndexImage> realIndexes;
    std::vector<LogicalIndexImage> logicalIndexes;
    std::vector<LongValueMapImage> longValueMaps;  // one per Memo/OLE column
};

// The logical definition. Throws InvalidDefinition when it cannot be stored (more than 10
// columns in an index, a name too long for its length field).
std::vector<uint8_t> encodeTdef(const TdefImage& image);

// Number of pages a definition of `length` bytes needs.
uint32_t tdefPageCount(size_t length);

// The pages of a definition; `pageNumbers` (tdefPageCount() of them, the first being the TDEF
// page itself) are used to chain them.
std::vector<PageBuffer> tdefPages(const std::vector<uint8_t>& definition,
                                  const std::vector<uint32_t>& pageNumbers);

// The inverse of encodeTdef(), for definitions this engine changes after creating them (a new
// index, the catalog's counters). Fields encodeTdef() does not keep are dropped. Throws Corrupt
// when the bytes do not hold a whole definition.
TdefImage decodeTdef(const std::vector<uint8_t>& definition);

// A table definition as stored: the logical bytes and the pages holding them.
struct StoredTdef {
    std::vector<uint8_t> definition;
    std::vector<uint32_t> pages;
};
StoredTdef readTdef(Pager& pager, uint32_t tdefPage);
// Stores `image` over the definition at `stored.pages`, appending continuation pages when it
// has grown. REQUIRES: pager.inTransaction().
void rewriteTdef(Pager& pager, const StoredTdef& stored, const TdefImage& image);

}  // namespace jet::create
