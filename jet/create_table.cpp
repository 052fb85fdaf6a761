#include "jet/create_table.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "jet/empty_database.h"
#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/index_tree.h"
#include "jet/page_builders.h"
#include "jet/property_writer.h"
#include "jet/tdef.h"
#include "jet/usage_map_writer.h"

namespace jet::create {

namespace {

constexpr size_t kMaxNameLength = 64;
constexpr size_t kMaxColumns = 255;
constexpr size_t kMaxIndexColumns = 10;
constexpr int kMaxTextSize = 255;
constexpr uint32_t kLargestRow = 4060;  // the largest row a data page holds

// ASCII case folding: Jet compares names without regard to case.
std::string folded(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

Error invalid(const std::string& message) {
    return Error(ErrorCode::InvalidDefinition, message);
}

void checkName(const std::string& name, const std::string& what) {
    if (name.empty()) throw invalid(what + " has no name");
    std::u16string units = utf8ToUtf16(name, what + " name \"" + name + "\"");
    if (units.size() > kMaxNameLength) {
        throw invalid(what + " name \"" + name + "\" is longer than 64 characters");
    }
    if (units.front() == u' ') throw invalid(what + " name \"" + name + "\" starts with a space");
    for (char16_t u : units) {
        if (u < 0x20 || u == 0x7F) {
            throw invalid(what + " name \"" + name + "\" contains a control character");
        }
        if (u == u'.' || u == u'!' || u == u'`' || u == u'[' || u == u']') {
            throw invalid(what + " name \"" + name + "\" contains the character '" +
                          static_cast<char>(u) + "', which Jet does not allow in names");
        }
    }
}

bool isVariable(ColumnType type) {
    return type == ColumnType::Text || type == ColumnType::Memo || type == ColumnType::OLE ||
           type == ColumnType::Binary;
}

bool creatable(ColumnType type) {
    return fixedLength(type) > 0 || isVariable(type);
}

void checkIndex(const IndexDefinition& index, const std::string& table,
                const std::vector<Column>& columns) {
    checkName(index.name, "index");
    std::string where = "index \"" + index.name + "\" of table \"" + table + "\"";
    if (index.columns.empty()) throw invalid(where + " has no columns");
    if (index.columns.size() > kMaxIndexColumns) throw invalid(where + " has more than 10 columns");
    std::vector<std::string> seen;
    for (const IndexColumnDefinition& ic : index.columns) {
        auto it = std::find_if(columns.begin(), columns.end(), [&](const Column& c) {
            return folded(c.name) == folded(ic.column);
        });
        if (it == columns.end()) {
            throw invalid(where + " names the unknown column \"" + ic.column + "\"");
        }
        if (it->isLongValue()) {
            throw invalid(where + " names the Memo/OLE column \"" + ic.column +
                          "\", which cannot be indexed");
        }
        if (std::find(seen.begin(), seen.end(), folded(ic.column)) != seen.end()) {
            throw invalid(where + " names the column \"" + ic.column + "\" twice");
        }
        seen.push_back(folded(ic.column));
    }
}

// Minimal column list (names and types) to check indexes of a definition before layout.
std::vector<Column> namedColumns(const TableDefinition& t) {
    std::vector<Column> out;
    for (const ColumnDefinition& c : t.columns) {
        Column col;
        col.name = c.name;
        col.type = c.type;
        out.push_back(col);
    }
    return out;
}

// Adds a logical index to `image`, sharing a real index with the same columns and flags.
void addIndex(TdefImage& image, const IndexDefinition& d) {
    RealIndexImage real;
    for (const IndexColumnDefinition& ic : d.columns) {
        for (const Column& c : image.columns) {
            if (folded(c.name) == folded(ic.column))
                real.columns.push_back({c.number, ic.ascending});
        }
    }
    real.flags = indexFlags(d);
    uint32_t realNumber = 0;
    for (; realNumber < image.realIndexes.size(); ++realNumber) {
        const RealIndexImage& r = image.realIndexes[realNumber];
        bool sameColumns =
            r.columns.size() == real.columns.size() &&
            std::equal(r.columns.begin(), r.columns.end(), real.columns.begin(),
                       [](const IndexColumn& a, const IndexColumn& b) {
                           return a.columnNumber == b.columnNumber && a.ascending == b.ascending;
                       });
        if (sameColumns && r.flags == real.flags) break;
    }
    if (realNumber == image.realIndexes.size()) image.realIndexes.push_back(real);
    LogicalIndexImage logical;
    logical.name = d.name;
    logical.number = static_cast<uint32_t>(image.logicalIndexes.size());
    logical.realIndex = realNumber;
    logical.primaryKey = d.primaryKey;
    image.logicalIndexes.push_back(logical);
    // Access lists logical indexes by name.
    std::stable_sort(image.logicalIndexes.begin(), image.logicalIndexes.end(),
                     [](const LogicalIndexImage& a, const LogicalIndexImage& b) {
                         return folded(a.name) < folded(b.name);
                     });
}

}  // namespace

uint8_t indexFlags(const IndexDefinition& d) {
    uint8_t flags = 0x80;
    if (d.unique || d.primaryKey) flags |= 0x01;
    if (d.ignoreNulls) flags |= 0x02;
    if (d.required || d.primaryKey) flags |= 0x08;
    return flags;
}

void validateTableDefinition(const TableDefinition& t) {
    checkName(t.name, "table");
    std::string where = "table \"" + t.name + "\"";
    if (t.columns.empty()) throw invalid(where + " has no columns");
    if (t.columns.size() > kMaxColumns) throw invalid(where + " has more than 255 columns");
    std::vector<std::string> names;
    int autoNumbers = 0;
    uint32_t fixedBytes = 0, varColumns = 0;
    for (const ColumnDefinition& c : t.columns) {
        checkName(c.name, "column");
        std::string col = "column \"" + c.name + "\" of " + where;
        if (std::find(names.begin(), names.end(), folded(c.name)) != names.end()) {
            throw invalid(where + " has two columns named \"" + c.name + "\"");
        }
        names.push_back(folded(c.name));
        if (!creatable(c.type)) {
            throw invalid(col + " has an unknown or unsupported type (code " +
                          std::to_string(static_cast<int>(c.type)) + ")");
        }
        if ((c.type == ColumnType::Text || c.type == ColumnType::Binary) &&
            (c.size < 0 || c.size > kMaxTextSize)) {
            throw invalid(col + " has size " + std::to_string(c.size) +
                          "; the size must be 1 to 255");
        }
        if (c.autoNumber && c.type != ColumnType::Long) {
            throw invalid(col + " is an AutoNumber but not a Long");
        }
        if (c.autoNumber && ++autoNumbers > 1) throw invalid(where + " has two AutoNumber columns");
        if (c.type == ColumnType::Decimal &&
            (c.precision < 1 || c.precision > 28 || c.scale > c.precision)) {
            throw invalid(col + " has a precision or scale outside 1..28");
        }
        if (isVariable(c.type)) {
            ++varColumns;
        } else if (c.type != ColumnType::Boolean) {
            fixedBytes += fixedLength(c.type);
        }
    }
    // Count, fixed area, var table, end offset and null mask must fit in one row.
    uint32_t overhead =
        2 + fixedBytes + 2 * (varColumns + 2) + static_cast<uint32_t>((t.columns.size() + 7) / 8);
    if (overhead > kLargestRow) throw invalid(where + " has rows too large for a page");

    std::vector<Column> columns = namedColumns(t);
    std::vector<std::string> indexNames;
    int primaryKeys = 0;
    for (const IndexDefinition& index : t.indexes) {
        checkIndex(index, t.name, columns);
        if (std::find(indexNames.begin(), indexNames.end(), folded(index.name)) !=
            indexNames.end()) {
            throw invalid(where + " has two indexes named \"" + index.name + "\"");
        }
        indexNames.push_back(folded(index.name));
        if (index.primaryKey && ++primaryKeys > 1) {
            throw invalid(where + " has more than one primary key");
        }
    }
}

TdefImage layoutTable(const TableDefinition& t) {
    TdefImage image;
    uint16_t fixedOffset = 0, varIndex = 0;
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const ColumnDefinition& d = t.columns[i];
        Column c;
        c.name = d.name;
        c.type = d.type;
        c.number = static_cast<uint16_t>(i);
        c.sortOrder = 0x0409;
        if (isVariable(d.type)) {
            c.flags = 0x02;
            c.varIndex = varIndex++;
            if (d.type == ColumnType::Text) {
                c.length = static_cast<uint16_t>(2 * (d.size == 0 ? kMaxTextSize : d.size));
                if (d.unicodeCompression) c.extraFlags = 0x01;
            } else if (d.type == ColumnType::Binary) {
                c.length = static_cast<uint16_t>(d.size == 0 ? kMaxTextSize : d.size);
            }
        } else {
            c.flags = d.autoNumber ? 0x07 : 0x03;
            c.varIndex = varIndex;  // the count of variable columns before it, as Jet writes
            c.length = fixedLength(d.type);
            // A Yes/No value lives in the null mask and takes no room in the fixed area; Access
            // gives it offset 0.
            if (d.type != ColumnType::Boolean) {
                c.fixedOffset = fixedOffset;
                fixedOffset += c.length;
            }
            if (d.type == ColumnType::Decimal) {
                c.precision = d.precision;
                c.scale = d.scale;
            }
        }
        c.required = d.required;
        c.allowZeroLength = d.allowZeroLength;
        c.defaultValue = d.defaultValue;
        c.description = d.description;
        image.columns.push_back(c);
    }
    for (const IndexDefinition& index : t.indexes) addIndex(image, index);
    return image;
}

namespace {

// ---- The catalog (MSysObjects) ----

struct Catalog {
    StoredTdef stored;
    TdefImage image;
    int nameIndex = -1;  // real index on (ParentId, Name)
    int idIndex = -1;    // real index on (Id)
};

Catalog readCatalog(Pager& pager) {
    Catalog c;
    c.stored = readTdef(pager, kCatalogTdefPage);
    c.image = decodeTdef(c.stored.definition);
    for (size_t i = 0; i < c.image.realIndexes.size(); ++i) {
        const auto& cols = c.image.realIndexes[i].columns;
        if (cols.size() == 2 && cols[0].columnNumber == 1 && cols[1].columnNumber == 2) {
            c.nameIndex = static_cast<int>(i);
        }
        if (cols.size() == 1 && cols[0].columnNumber == 0) c.idIndex = static_cast<int>(i);
    }
    if (c.nameIndex < 0 || c.idIndex < 0) {
        throw Error(ErrorCode::Corrupt,
                    "the catalog lacks its name or id index: " + pager.path().string());
    }
    return c;
}

IndexKey nameKey(std::string_view name) {
    IndexKey key;
    appendKeySegment(key, ColumnType::Long, true, Value(kTablesContainerId));
    appendKeySegment(key, ColumnType::Text, true, Value(std::string(name)));
    return key;
}

void addToMap(Pager& pager, uint32_t pointer, uint32_t page);

// One of the catalog's two B-trees; new index pages join the index's usage map.
// The tree of a real index being written, whose new pages join the index's usage map.
IndexTree treeOfImage(Pager& pager, const RealIndexImage& r, int number, const std::string& name,
                      uint32_t tdefPage) {
    IndexDescriptor d;
    d.number = number;
    d.name = name;
    d.tdefPage = tdefPage;
    d.rootPage = r.rootPage;
    d.usageMap = RowPointer{r.usageMap >> 8, static_cast<uint8_t>(r.usageMap & 0xFF)};
    d.flags = r.flags;
    uint32_t map = r.usageMap;
    IndexTree::PageHooks hooks;
    hooks.allocate = [&pager, map] {
        uint32_t page = allocatePage(pager);
        addToMap(pager, map, page);
        return page;
    };
    return IndexTree(pager, d, hooks);
}

IndexTree catalogTree(Pager& pager, const Catalog& c, int realIndex) {
    return treeOfImage(pager, c.image.realIndexes[realIndex], realIndex,
                       realIndex == c.nameIndex ? "ParentIdName" : "Id", kCatalogTdefPage);
}

void addToMap(Pager& pager, uint32_t pointer, uint32_t page) {
    addPageToMap(pager, JetFormat::forVersion(4),
                 RowPointer{pointer >> 8, static_cast<uint8_t>(pointer & 0xFF)}, page,
                 pager.path().string());
}

std::vector<uint8_t> propertyBlob(const TdefImage& image) {
    PropertyBlobWriter writer;
    for (const Column& c : image.columns) {
        if (c.required) writer.addColumnProperty(c.name, PropertyValue::yesNo("Required", true));
        if (c.type == ColumnType::Text || c.type == ColumnType::Memo) {
            writer.addColumnProperty(c.name,
                                     PropertyValue::yesNo("AllowZeroLength", c.allowZeroLength));
        }
        if (c.defaultValue) {
            writer.addColumnProperty(c.name, PropertyValue::text("DefaultValue", *c.defaultValue,
                                                                 ColumnType::Memo, true));
        }
        if (!c.description.empty()) {
            writer.addColumnProperty(
                c.name, PropertyValue::text("Description", c.description, ColumnType::Text, false));
        }
    }
    return writer.build();
}

// The table's maps live in new rows of `mapPage`, spilling to further pages when full.
class MapRows {
  public:
    MapRows(Pager& pager, uint32_t start) : pager_(pager), start_(start) {}
    uint32_t add(const std::vector<uint32_t>& pages = {}) {
        std::vector<uint8_t> row = inlineUsageMap(start_, pages);
        if (page_ != 0) {
            if (auto slot = addRow(pager_.write(page_), row)) return rowPointer(page_, *slot);
        }
        page_ = allocatePage(pager_);
        std::memcpy(pager_.write(page_), emptyDataPage(0).data(), kPageSize);
        return rowPointer(page_, *addRow(pager_.write(page_), row));
    }

  private:
    Pager& pager_;
    uint32_t start_;
    uint32_t page_ = 0;
};

}  // namespace

uint32_t findTable(Pager& pager, std::string_view name) {
    Catalog catalog = readCatalog(pager);
    for (RowId id : catalogTree(pager, catalog, catalog.nameIndex).seekPrefix(nameKey(name))) {
        std::vector<uint8_t> row = rowBytes(pager.read(id.page)->data(), id.row);
        if (row.size() < 12) throw Error(ErrorCode::Corrupt, "a short catalog row");
        int16_t type = static_cast<int16_t>(getU16(&row[10]));
        return type == 1 ? (getU32(&row[2]) & 0x00FFFFFF) : 0;
    }
    return 0;
}

NewTable writeTable(Pager& pager, const TableDefinition& definition) {
    // Everything that can refuse the table runs before the first write.
    validateTableDefinition(definition);
    TdefImage image = layoutTable(definition);
    Catalog catalog = readCatalog(pager);
    IndexTree names = catalogTree(pager, catalog, catalog.nameIndex);
    IndexKey key = nameKey(definition.name);
    if (names.containsKey(key)) {
        throw invalid("the name \"" + definition.name + "\" is already used by a table or " +
                      "another object");
    }
    if (key.size() > names.maxKeySize()) {
        throw invalid("the name \"" + definition.name + "\" is too long for the catalog index");
    }
    uint32_t pageCount = tdefPageCount(encodeTdef(image).size());

    // Pages: the definition, then the map rows, then one empty root leaf per real index.
    std::vector<uint32_t> tdefPagesUsed;
    for (uint32_t i = 0; i < pageCount; ++i) tdefPagesUsed.push_back(allocatePage(pager));
    uint32_t tdefPage = tdefPagesUsed.front();
    MapRows maps(pager, tdefPage & ~7u);
    image.ownedMap = maps.add();
    image.freeMap = maps.add();
    for (const Column& c : image.columns) {
        if (!c.isLongValue()) continue;
        LongValueMapImage m;
        m.columnNumber = c.number;
        m.ownedMap = maps.add();
        m.freeMap = maps.add();
        image.longValueMaps.push_back(m);
    }
    for (RealIndexImage& r : image.realIndexes) {
        r.rootPage = allocatePage(pager);
        std::memcpy(pager.write(r.rootPage), emptyIndexLeaf(tdefPage).data(), kPageSize);
        r.usageMap = maps.add({r.rootPage});
    }
    std::vector<PageBuffer> content = tdefPages(encodeTdef(image), tdefPagesUsed);
    for (size_t i = 0; i < content.size(); ++i) {
        std::memcpy(pager.write(tdefPagesUsed[i]), content[i].data(), kPageSize);
    }

    return NewTable{tdefPage, propertyBlob(image)};
}

Row catalogRow(const std::vector<Column>& catalogColumns, const std::string& name,
               const NewTable& table, double now) {
    Row row(catalogColumns.size());
    auto set = [&](const char* column, Value value) {
        for (size_t i = 0; i < catalogColumns.size(); ++i) {
            if (catalogColumns[i].name == column) {
                row[i] = std::move(value);
                return;
            }
        }
        throw Error(ErrorCode::Corrupt, std::string("the catalog has no column ") + column);
    };
    set("Id", static_cast<int32_t>(table.tdefPage));
    set("ParentId", kTablesContainerId);
    set("Name", name);
    set("Type", static_cast<int16_t>(1));  // a local table
    set("DateCreate", DateTime{now});
    set("DateUpdate", DateTime{now});
    set("Owner", Bytes(std::begin(kOwnerSid), std::end(kOwnerSid)));
    set("Flags", static_cast<int32_t>(0));  // a user table
    if (!table.properties.empty()) set("LvProp", Bytes(table.properties));
    return row;
}

void createIndex(Pager& pager, std::string_view table, const IndexDefinition& definition,
                 const std::vector<IndexEntry>* entries) {
    uint32_t tdefPage = findTable(pager, table);
    if (tdefPage == 0) {
        throw Error(ErrorCode::NotFound, "no table named \"" + std::string(table) + "\"");
    }
    StoredTdef stored = readTdef(pager, tdefPage);
    TdefImage image = decodeTdef(stored.definition);
    checkIndex(definition, std::string(table), image.columns);
    for (const LogicalIndexImage& l : image.logicalIndexes) {
        if (folded(l.name) == folded(definition.name)) {
            throw invalid("table \"" + std::string(table) + "\" already has an index named \"" +
                          definition.name + "\"");
        }
        if (l.primaryKey && definition.primaryKey) {
            throw invalid("table \"" + std::string(table) + "\" already has a primary key");
        }
    }
    if (image.rowCount != 0 && !entries) {
        throw Error(ErrorCode::Unsupported,
                    "the index of a table that holds rows needs its "
                    "entries: \"" +
                        std::string(table) + "\"");
    }
    if (entries) {
        size_t maxKey = IndexTree(pager, IndexDescriptor{}).maxKeySize();
        for (const IndexEntry& e : *entries) {
            if (e.key.size() > maxKey) {
                throw Error(ErrorCode::TooLong, "a key of index \"" + definition.name +
                                                    "\" is too long for an index page");
            }
        }
    }
    size_t realBefore = image.realIndexes.size();
    addIndex(image, definition);
    if (image.realIndexes.size() == realBefore) {
        // It shares an existing B-tree, whose entries are already there.
        rewriteTdef(pager, stored, image);
        return;
    }
    RealIndexImage& r = image.realIndexes.back();
    r.rootPage = allocatePage(pager);
    std::memcpy(pager.write(r.rootPage), emptyIndexLeaf(tdefPage).data(), kPageSize);
    // The index's map joins the table's other map rows when their page has room.
    std::vector<uint8_t> row = inlineUsageMap(r.rootPage & ~7u, {r.rootPage});
    uint32_t mapPage = image.ownedMap >> 8;
    std::optional<uint8_t> slot;
    if (freeSpace(pager.read(mapPage)->data()) >= row.size() + 2) {
        slot = addRow(pager.write(mapPage), row);
    }
    if (!slot) {
        mapPage = allocatePage(pager);
        std::memcpy(pager.write(mapPage), emptyDataPage(0).data(), kPageSize);
        slot = addRow(pager.write(mapPage), row);
    }
    r.usageMap = rowPointer(mapPage, *slot);

    if (entries && !entries->empty()) {
        IndexTree tree = treeOfImage(pager, r, static_cast<int>(image.realIndexes.size() - 1),
                                     definition.name, tdefPage);
        for (const IndexEntry& e : *entries) {
            if (tree.insert(e.key, e.row)) ++r.uniqueKeys;
        }
    }
    rewriteTdef(pager, stored, image);
}

}  // namespace jet::create
