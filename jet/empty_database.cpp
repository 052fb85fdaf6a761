// A new database is generated from the file format's rules, not copied from a template. The
// result was compared with two empty files, one made by the Jet engine and one by Access 2000,
// table by table and row by row. Differences we keep on purpose:
//  - Per-file values: the creation date (header and DateCreate/DateUpdate) and the password mask
//    derived from it.
//  - Header: code page 874 (Thai) instead of 1252, because the payroll data is Thai; Jet 4 text
//    is UCS-2, so the code page only names the database's default single-byte code page.
//  - Fields the format leaves unexplained are written as zero where Jet leaves junk: TDEF bytes
//    25..39, the fixed-offset field of variable columns, the flag byte of unused index column
//    slots, the word after an index's root page.
//  - The Access-made file also holds Access's own objects (the Forms/Reports/... containers,
//    SummaryInfo, MSysAccessObjects and 36 more permission rows); Access adds those itself when
//    it first saves something, so we write the Jet engine's set only.
#include "jet/empty_database.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>

#include "jet/error.h"
#include "jet/header.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "jet/local_time.h"
#include "jet/page_builders.h"
#include "jet/tdef_writer.h"
#include "jet/value.h"

namespace jet::create {

namespace {

// ---- The header page ----

constexpr uint16_t kThaiCodePage = 874;
constexpr uint16_t kGeneralSortOrder = 0x0409;

}  // namespace

PageBuffer databaseHeaderPage(double creationDate) {
    PageBuffer page(kPageSize, 0);
    uint8_t* p = page.data();
    putU32(p + header::kMagic, 0x00000100);
    std::memcpy(p + header::kFormatName, "Standard Jet DB", 16);
    putU32(p + header::kVersion, 1);  // Jet 4
    // Unexplained constant bytes present in every Jet 4 file.
    const uint8_t lead[24] = {0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0,
                              3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
    std::memcpy(p + header::kMaskedStart, lead, sizeof lead);
    putU16(p + header::kCodePage, kThaiCodePage);
    putU32(p + header::kEncryptionKey, 0);  // pages are not encrypted
    // An empty password: 40 zero bytes masked with the truncated creation date, repeated.
    jet4PasswordMask(creationDate, p + header::kPassword);
    putU32(p + 0x6A, 0x11A6);  // unexplained; the value the Jet engine writes
    putU16(p + header::kSortOrderJet4, kGeneralSortOrder);
    p[header::kSortVersionJet4] = 0;  // General sort order, legacy version (Access 2000-2007)
    std::memcpy(p + header::kCreationDate, &creationDate, 8);
    applyHeaderMask(p, 4);
    // Unmasked trailer bytes found in every Jet 4 file.
    const uint8_t tail[8] = {0x54, 0x06, 0x00, 0x00, 0x34, 0x2E, 0x30, 0x00};
    std::memcpy(p + 0x98, tail, sizeof tail);
    p[0xE00] = 0x01;
    p[0xE01] = 0x01;
    for (uint32_t i = 0xE02; i < kPageSize; i += 2) p[i + 1] = 0x01;
    return page;
}

double oleDateNow() {
    std::time_t now = std::time(nullptr);
    const std::tm local = localTime(now);
    // Days from 1899-12-30 to the civil date, then the time of day.
    int64_t days = daysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) -
                   daysFromCivil(1899, 12, 30);
    double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
    return static_cast<double>(days) + seconds / 86400.0;
}

namespace {

// ---- System table definitions ----

Column systemColumn(const char* name, ColumnType type, uint16_t number, uint16_t fixedOffset,
                    uint16_t length, uint8_t flags) {
    Column c;
    c.name = name;
    c.type = type;
    c.number = number;
    c.fixedOffset = fixedOffset;
    c.length = length;
    c.flags = flags;
    c.sortOrder = kGeneralSortOrder;
    return c;
}

// Flags of the core system tables' columns: 0x10 on all, 0x01 fixed, 0x02 updatable, 0x20 on the
// SID columns.
constexpr uint8_t kSysFixed = 0x13, kSysVar = 0x12, kSysSid = 0x32;

// Var index of every variable column: by column number. Fixed columns carry the count of
// variable columns before them, as Jet writes it.
void numberVarColumns(std::vector<Column>& columns) {
    for (Column& c : columns) {
        uint16_t before = 0;
        for (const Column& o : columns) {
            if (!o.isFixed() && o.number < c.number) ++before;
        }
        c.varIndex = before;
    }
}

std::vector<Column> catalogColumns() {
    using T = ColumnType;
    std::vector<Column> c = {
        systemColumn("Connect", T::Memo, 9, 0, 0, kSysVar),
        systemColumn("Database", T::Memo, 8, 0, 0, kSysVar),
        systemColumn("DateCreate", T::DateTime, 4, 10, 8, kSysFixed),
        systemColumn("DateUpdate", T::DateTime, 5, 18, 8, kSysFixed),
        systemColumn("Flags", T::Long, 7, 26, 4, kSysFixed),
        systemColumn("ForeignName", T::Text, 10, 0, 510, kSysVar),
        systemColumn("Id", T::Long, 0, 0, 4, kSysFixed),
        systemColumn("Lv", T::OLE, 13, 0, 0, kSysVar),
        systemColumn("LvExtra", T::OLE, 16, 0, 0, kSysVar),
        systemColumn("LvModule", T::OLE, 15, 0, 0, kSysVar),
        systemColumn("LvProp", T::OLE, 14, 0, 0, kSysVar),
        systemColumn("Name", T::Text, 2, 0, 510, kSysVar),
        systemColumn("Owner", T::Binary, 6, 0, 510, kSysSid),
        systemColumn("ParentId", T::Long, 1, 4, 4, kSysFixed),
        systemColumn("RmtInfoLong", T::OLE, 12, 0, 0, kSysVar),
        systemColumn("RmtInfoShort", T::Binary, 11, 0, 510, kSysVar),
        systemColumn("Type", T::Integer, 3, 8, 2, kSysFixed),
    };
    numberVarColumns(c);
    return c;
}

std::vector<Column> aceColumns() {
    using T = ColumnType;
    std::vector<Column> c = {
        systemColumn("ACM", T::Long, 2, 4, 4, kSysFixed),
        systemColumn("FInheritable", T::Boolean, 3, 0, 1, kSysFixed),
        systemColumn("ObjectId", T::Long, 0, 0, 4, kSysFixed),
        systemColumn("SID", T::Binary, 1, 0, 510, kSysSid),
    };
    numberVarColumns(c);
    return c;
}

std::vector<Column> queryColumns() {
    using T = ColumnType;
    std::vector<Column> c = {
        systemColumn("Attribute", T::Byte, 1, 4, 1, kSysFixed),
        systemColumn("Expression", T::Memo, 5, 0, 0, kSysVar),
        systemColumn("Flag", T::Integer, 6, 5, 2, kSysFixed),
        systemColumn("LvExtra", T::Long, 7, 7, 4, kSysFixed),
        systemColumn("Name1", T::Text, 3, 0, 510, kSysVar),
        systemColumn("Name2", T::Text, 4, 0, 510, kSysVar),
        systemColumn("ObjectId", T::Long, 0, 0, 4, kSysFixed),
        systemColumn("Order", T::Binary, 2, 0, 510, kSysVar),
    };
    numberVarColumns(c);
    return c;
}

std::vector<Column> relationshipColumns() {
    using T = ColumnType;
    std::vector<Column> c = {
        systemColumn("ccolumn", T::Long, 2, 4, 4, kSysFixed),
        systemColumn("grbit", T::Long, 1, 0, 4, kSysFixed),
        systemColumn("icolumn", T::Long, 3, 8, 4, kSysFixed),
        systemColumn("szColumn", T::Text, 5, 0, 510, kSysVar),
        systemColumn("szObject", T::Text, 4, 0, 510, kSysVar),
        systemColumn("szReferencedColumn", T::Text, 7, 0, 510, kSysVar),
        systemColumn("szReferencedObject", T::Text, 6, 0, 510, kSysVar),
        systemColumn("szRelationship", T::Text, 0, 0, 510, kSysVar),
    };
    numberVarColumns(c);
    return c;
}

RealIndexImage realIndex(std::vector<uint16_t> columns, uint32_t map, uint32_t root, uint8_t flags,
                         uint32_t uniqueKeys = 0) {
    RealIndexImage r;
    for (uint16_t c : columns) r.columns.push_back({c, true});
    r.usageMap = map;
    r.rootPage = root;
    r.flags = flags;
    r.uniqueKeys = uniqueKeys;
    return r;
}

// ---- Page layout of the new file ----
//  0 header, 1 global map, 2..5 TDEFs, 6 MSysObjects maps, 7..8 its index leaves,
//  9 MSysACEs maps, 10 its leaf, 11 MSysQueries maps, 12 its leaf,
//  13 MSysRelationships maps, 14..16 its leaves, 17 catalog rows, 18 permission rows.
constexpr uint32_t kAcesTdef = 3, kQueriesTdef = 4, kRelationshipsTdef = 5;
constexpr uint32_t kCatalogMaps = 6, kCatalogNameLeaf = 7, kCatalogIdLeaf = 8;
constexpr uint32_t kAcesMaps = 9, kAcesLeaf = 10;
constexpr uint32_t kQueriesMaps = 11, kQueriesLeaf = 12;
constexpr uint32_t kRelationshipsMaps = 13, kRelationshipsLeaf0 = 14;
constexpr uint32_t kCatalogData = 17, kAcesData = 18;

struct CatalogEntry {
    int32_t id;
    int32_t parentId;
    const char* name;
    int16_t type;
    uint8_t sid[2];
};

const CatalogEntry kCatalog[] = {
    {kTablesContainerId, kContainersParentId, "Tables", 3, {0x06, 0xEA}},
    {kDatabasesContainerId, kContainersParentId, "Databases", 3, {0x06, 0xEA}},
    {kRelationshipsContainerId, kContainersParentId, "Relationships", 3, {0x06, 0xEA}},
    {kDatabaseObjectId, kDatabasesContainerId, "MSysDb", 2, {0x07, 0xE8}},
    {2, kTablesContainerId, "MSysObjects", 1, {0x06, 0xEA}},
    {3, kTablesContainerId, "MSysACEs", 1, {0x06, 0xEA}},
    {4, kTablesContainerId, "MSysQueries", 1, {0x06, 0xEA}},
    {5, kTablesContainerId, "MSysRelationships", 1, {0x06, 0xEA}},
};

// Permissions of the default users and groups on the objects above, as the Jet engine grants
// them (access mask, inheritable to new objects of a container).
struct AceEntry {
    int32_t objectId;
    uint8_t sid[2];
    uint32_t acm;
    bool inheritable;
};

const AceEntry kAces[] = {
    {2, {0x07, 0xE8}, 0x00060000, false},
    {3, {0x07, 0xE8}, 0x00060000, false},
    {4, {0x07, 0xE8}, 0x00060000, false},
    {5, {0x07, 0xE8}, 0x000E0000, false},
    {kTablesContainerId, {0x06, 0xED}, 0x000F00FE, true},
    {kTablesContainerId, {0x07, 0xE8}, 0x00060001, false},
    {kRelationshipsContainerId, {0x06, 0xED}, 0x000F00FE, true},
    {kRelationshipsContainerId, {0x07, 0xE8}, 0x00060001, false},
    {kDatabasesContainerId, {0x07, 0xE8}, 0x00060000, false},
    {kDatabaseObjectId, {0x07, 0xE8}, 0x0006000E, false},
    {kDatabaseObjectId, {0x06, 0xE8}, 0x0000000E, false},
    {4, {0x06, 0xE8}, 0x00000014, false},
    {5, {0x06, 0xE8}, 0x00000014, false},
    {2, {0x06, 0xE8}, 0x00000014, false},
    {kTablesContainerId, {0x06, 0xE8}, 0x000FFEFF, true},
    {kRelationshipsContainerId, {0x06, 0xE8}, 0x000FFFFF, true},
};

constexpr uint32_t kSystemObjectFlags = 0x80000000;
constexpr uint16_t kCatalogColumnCount = 17;
constexpr uint16_t kCatalogVarColumns = 11;

std::vector<uint8_t> catalogRow(const CatalogEntry& e, double date) {
    std::vector<uint8_t> fixed;
    ByteWriter w(fixed);
    w.u32(static_cast<uint32_t>(e.id));
    w.u32(static_cast<uint32_t>(e.parentId));
    w.u16(static_cast<uint16_t>(e.type));
    w.f64(date);
    w.f64(date);
    w.u32(kSystemObjectFlags);
    std::vector<std::optional<std::vector<uint8_t>>> vars(kCatalogVarColumns);
    vars[0] = ucs2Bytes(e.name);
    vars[1] = std::vector<uint8_t>{e.sid[0], e.sid[1]};
    std::vector<bool> present(kCatalogColumnCount, false);
    for (int c : {0, 1, 2, 3, 4, 5, 6, 7}) present[c] = true;
    return buildRow(kCatalogColumnCount, fixed, vars, present);
}

std::vector<uint8_t> aceRow(const AceEntry& e) {
    std::vector<uint8_t> fixed;
    ByteWriter w(fixed);
    w.u32(static_cast<uint32_t>(e.objectId));
    w.u32(e.acm);
    std::vector<std::optional<std::vector<uint8_t>>> vars = {
        std::vector<uint8_t>{e.sid[0], e.sid[1]}};
    return buildRow(4, fixed, vars, {true, true, true, e.inheritable});
}

uint32_t countDistinct(std::vector<std::vector<uint8_t>> keys) {
    std::sort(keys.begin(), keys.end(), BytesLess());
    return static_cast<uint32_t>(std::unique(keys.begin(), keys.end()) - keys.begin());
}

void writePage(Pager& pager, uint32_t number, const PageBuffer& content) {
    std::memcpy(pager.write(number), content.data(), kPageSize);
}

void writeTdef(Pager& pager, uint32_t page, const TdefImage& image) {
    std::vector<uint8_t> definition = encodeTdef(image);
    writePage(pager, page, tdefPages(definition, {page}).front());
}

}  // namespace

void writeEmptyDatabase(Pager& pager, double creationDate) {
    if (pager.pageCount() != 0 || pager.pageSize() != kPageSize) {
        throw Error(
            ErrorCode::Unsupported,
            "a new database needs an empty file of 4096-byte pages: " + pager.path().string());
    }
    for (uint32_t i = 0; i < kEmptyDatabasePages; ++i) pager.append();

    writePage(pager, 0, databaseHeaderPage(creationDate));

    // Global map: row 0 marks every page past the end of the file free; row 1 is always zero.
    PageBuffer global = emptyDataPage(1);
    std::vector<uint32_t> freePages;
    for (uint32_t p = kEmptyDatabasePages; p < 512; ++p) freePages.push_back(p);
    addRow(global.data(), inlineUsageMap(0, freePages));
    addRow(global.data(), std::vector<uint8_t>(69, 0));
    writePage(pager, kGlobalMapPage, global);

    // Catalog rows and their index entries.
    PageBuffer catalogData = emptyDataPage(kCatalogTdefPage);
    std::vector<std::vector<uint8_t>> nameKeys, idKeys, nameEntries, idEntries;
    for (const CatalogEntry& e : kCatalog) {
        uint8_t slot = *addRow(catalogData.data(), catalogRow(e, creationDate));
        IndexKey nameKey, idKey;
        appendKeySegment(nameKey, ColumnType::Long, true, Value(e.parentId));
        appendKeySegment(nameKey, ColumnType::Text, true, Value(e.name));
        appendKeySegment(idKey, ColumnType::Long, true, Value(e.id));
        nameEntries.push_back(leafEntry(nameKey, kCatalogData, slot));
        idEntries.push_back(leafEntry(idKey, kCatalogData, slot));
        nameKeys.push_back(nameKey);
        idKeys.push_back(idKey);
    }
    writePage(pager, kCatalogData, catalogData);
    writePage(pager, kCatalogNameLeaf, indexLeaf(kCatalogTdefPage, nameEntries));
    writePage(pager, kCatalogIdLeaf, indexLeaf(kCatalogTdefPage, idEntries));

    PageBuffer aceData = emptyDataPage(kAcesTdef);
    std::vector<std::vector<uint8_t>> aceKeys, aceEntries;
    for (const AceEntry& e : kAces) {
        uint8_t slot = *addRow(aceData.data(), aceRow(e));
        IndexKey key;
        appendKeySegment(key, ColumnType::Long, true, Value(e.objectId));
        aceEntries.push_back(leafEntry(key, kAcesData, slot));
        aceKeys.push_back(key);
    }
    writePage(pager, kAcesData, aceData);
    writePage(pager, kAcesLeaf, indexLeaf(kAcesTdef, aceEntries));

    // MSysObjects: maps in the order owned, free, the long-value pairs by column number, indexes.
    TdefImage catalog;
    catalog.systemTable = true;
    catalog.rowCount = std::size(kCatalog);
    catalog.columns = catalogColumns();
    PageBuffer catalogMaps = emptyDataPage(0);
    catalog.ownedMap =
        rowPointer(kCatalogMaps, *addRow(catalogMaps.data(), inlineUsageMap(0, {kCatalogData})));
    catalog.freeMap =
        rowPointer(kCatalogMaps, *addRow(catalogMaps.data(), inlineUsageMap(0, {kCatalogData})));
    for (uint16_t column : std::initializer_list<uint16_t>{8, 9, 12, 13, 14, 15, 16}) {
        LongValueMapImage m;
        m.columnNumber = column;
        m.ownedMap = rowPointer(kCatalogMaps, *addRow(catalogMaps.data(), inlineUsageMap(0)));
        m.freeMap = rowPointer(kCatalogMaps, *addRow(catalogMaps.data(), inlineUsageMap(0)));
        catalog.longValueMaps.push_back(m);
    }
    // The definition lists long-value maps in descriptor order.
    std::vector<LongValueMapImage> ordered;
    for (const Column& c : catalog.columns) {
        for (const auto& m : catalog.longValueMaps) {
            if (m.columnNumber == c.number) ordered.push_back(m);
        }
    }
    catalog.longValueMaps = ordered;
    uint32_t nameMap = rowPointer(
        kCatalogMaps, *addRow(catalogMaps.data(), inlineUsageMap(0, {kCatalogNameLeaf})));
    uint32_t idMap =
        rowPointer(kCatalogMaps, *addRow(catalogMaps.data(), inlineUsageMap(0, {kCatalogIdLeaf})));
    constexpr uint8_t kUniqueIndex = 0x81;
    catalog.realIndexes = {
        realIndex({1, 2}, nameMap, kCatalogNameLeaf, kUniqueIndex, countDistinct(nameKeys)),
        realIndex({0}, idMap, kCatalogIdLeaf, kUniqueIndex, countDistinct(idKeys))};
    catalog.logicalIndexes = {{"Id", 1, 1, true}, {"ParentIdName", 0, 0, false}};
    writePage(pager, kCatalogMaps, catalogMaps);
    writeTdef(pager, kCatalogTdefPage, catalog);

    // MSysACEs.
    TdefImage aces;
    aces.systemTable = true;
    aces.rowCount = std::size(kAces);
    aces.columns = aceColumns();
    PageBuffer aceMaps = emptyDataPage(0);
    aces.ownedMap = rowPointer(kAcesMaps, *addRow(aceMaps.data(), inlineUsageMap(0, {kAcesData})));
    aces.freeMap = rowPointer(kAcesMaps, *addRow(aceMaps.data(), inlineUsageMap(0, {kAcesData})));
    uint32_t aceIndexMap =
        rowPointer(kAcesMaps, *addRow(aceMaps.data(), inlineUsageMap(0, {kAcesLeaf})));
    constexpr uint8_t kRequiredIndex = 0x88;
    aces.realIndexes = {
        realIndex({0}, aceIndexMap, kAcesLeaf, kRequiredIndex, countDistinct(aceKeys))};
    aces.logicalIndexes = {{"ObjectId", 0, 0, false}};
    writePage(pager, kAcesMaps, aceMaps);
    writeTdef(pager, kAcesTdef, aces);

    // MSysQueries: empty, primary key (ObjectId, Attribute, Order).
    TdefImage queries;
    queries.systemTable = true;
    queries.columns = queryColumns();
    PageBuffer queryMaps = emptyDataPage(0);
    queries.ownedMap = rowPointer(kQueriesMaps, *addRow(queryMaps.data(), inlineUsageMap(0)));
    queries.freeMap = rowPointer(kQueriesMaps, *addRow(queryMaps.data(), inlineUsageMap(0)));
    LongValueMapImage expression;
    expression.columnNumber = 5;
    expression.ownedMap = rowPointer(kQueriesMaps, *addRow(queryMaps.data(), inlineUsageMap(0)));
    expression.freeMap = rowPointer(kQueriesMaps, *addRow(queryMaps.data(), inlineUsageMap(0)));
    queries.longValueMaps = {expression};
    uint32_t queryIndexMap =
        rowPointer(kQueriesMaps, *addRow(queryMaps.data(), inlineUsageMap(0, {kQueriesLeaf})));
    queries.realIndexes = {realIndex({0, 1, 2}, queryIndexMap, kQueriesLeaf, kUniqueIndex)};
    queries.logicalIndexes = {{"ObjectIdAttribute", 0, 0, true}};
    writePage(pager, kQueriesMaps, queryMaps);
    writePage(pager, kQueriesLeaf, emptyIndexLeaf(kQueriesTdef));
    writeTdef(pager, kQueriesTdef, queries);

    // MSysRelationships: empty, three plain indexes that ignore nulls.
    TdefImage relationships;
    relationships.systemTable = true;
    relationships.columns = relationshipColumns();
    PageBuffer relMaps = emptyDataPage(0);
    relationships.ownedMap =
        rowPointer(kRelationshipsMaps, *addRow(relMaps.data(), inlineUsageMap(0)));
    relationships.freeMap =
        rowPointer(kRelationshipsMaps, *addRow(relMaps.data(), inlineUsageMap(0)));
    constexpr uint8_t kIgnoreNullsIndex = 0x82;
    const uint16_t relIndexColumns[3] = {0, 4, 6};
    for (uint32_t i = 0; i < 3; ++i) {
        uint32_t leaf = kRelationshipsLeaf0 + i;
        uint32_t map =
            rowPointer(kRelationshipsMaps, *addRow(relMaps.data(), inlineUsageMap(0, {leaf})));
        relationships.realIndexes.push_back(
            realIndex({relIndexColumns[i]}, map, leaf, kIgnoreNullsIndex));
        writePage(pager, leaf, emptyIndexLeaf(kRelationshipsTdef));
    }
    relationships.logicalIndexes = {{"szObject", 1, 1, false},
                                    {"szReferencedObject", 2, 2, false},
                                    {"szRelationship", 0, 0, false}};
    writePage(pager, kRelationshipsMaps, relMaps);
    writeTdef(pager, kRelationshipsTdef, relationships);
}

}  // namespace jet::create
