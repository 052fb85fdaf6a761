// Insert, update and delete of table rows.
//
// Order of every change: check everything (values, keys, relationships), then write long values,
// the row, the table's counters and the index entries. Checks never touch a page, so a refused
// change leaves nothing behind even before the savepoint is rolled back.
#include "jet/table_write.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <random>

#include "jet/data_page.h"
#include "jet/database_impl.h"
#include "jet/index_check.h"
#include "jet/index_key.h"
#include "jet/index_tree.h"
#include "jet/long_value_writer.h"
#include "jet/row_writer.h"
#include "jet/scoped_transaction.h"
#include "jet/text_codec.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"

namespace jet {

namespace {

// The entry a row has in one real index: none for an ignore-nulls index whose key columns are
// all null.
struct IndexEntry {
    bool present = false;
    bool hasNull = false;  // some key column is null: never a duplicate of anything
    IndexKey key;
};

// A relationship with referential integrity, as MSysRelationships describes it: the "many" table's
// columns refer to the "one" table's columns.
struct Relationship {
    std::string name;
    uint32_t flags = 0;
    std::string manyTable, oneTable;
    std::vector<std::string> manyColumns, oneColumns;  // in the relationship's column order

    bool cascadesUpdates() const { return flags & 0x100; }
    bool cascadesDeletes() const { return flags & 0x1000; }
};

constexpr uint32_t kRelationNotEnforced = 0x2;

// Every enforced relationship of the database that involves `table`.
std::vector<Relationship> relationshipsOf(DatabaseImpl& db, const TableImpl& table) {
    std::vector<Relationship> out;
    // Access gives both tables of an enforced relationship an index entry naming the other
    // table; a table without one takes part in none, and the catalog need not be read.
    bool related = false;
    for (const LogicalIndex& logical : table.tdef().logicalIndexes)
        related |= logical.relatedSide != 0;
    if (!related || !db.catalog().findTable("MSysRelationships")) return out;
    TableImpl& rel = db.table("MSysRelationships");
    auto column = [&](const char* name) {
        for (size_t i = 0; i < rel.columns().size(); ++i) {
            if (sameName(rel.columns()[i].name, name)) return int(i);
        }
        return -1;
    };
    int cName = column("szRelationship"), cFlags = column("grbit"), cIndex = column("icolumn");
    int cMany = column("szObject"), cManyColumn = column("szColumn");
    int cOne = column("szReferencedObject"), cOneColumn = column("szReferencedColumn");
    if (std::min({cName, cFlags, cIndex, cMany, cManyColumn, cOne, cOneColumn}) < 0) return out;
    auto text = [](const Value& v) {
        return v.is<std::string>() ? v.as<std::string>() : std::string();
    };
    std::map<std::string, std::map<int32_t, std::pair<std::string, std::string>>> columnsOf;
    rel.scan([&](RowId, const Row& row) {
        std::string many = text(row[size_t(cMany)]), one = text(row[size_t(cOne)]);
        if (!sameName(many, table.name()) && !sameName(one, table.name())) return true;
        uint32_t flags =
            row[size_t(cFlags)].is<int32_t>() ? uint32_t(row[size_t(cFlags)].as<int32_t>()) : 0;
        if (flags & kRelationNotEnforced) return true;
        std::string name = text(row[size_t(cName)]);
        auto found = std::find_if(out.begin(), out.end(),
                                  [&](const Relationship& r) { return r.name == name; });
        if (found == out.end()) {
            out.push_back(Relationship{name, flags, many, one, {}, {}});
        }
        int32_t position =
            row[size_t(cIndex)].is<int32_t>() ? row[size_t(cIndex)].as<int32_t>() : 0;
        columnsOf[name][position] = {text(row[size_t(cManyColumn)]), text(row[size_t(cOneColumn)])};
        return true;
    });
    for (Relationship& r : out) {
        for (const auto& [position, names] : columnsOf[r.name]) {
            r.manyColumns.push_back(names.first);
            r.oneColumns.push_back(names.second);
        }
    }
    return out;
}

// Positions in `table`'s rows of the named columns; empty when one is missing.
std::vector<int> positionsOf(const TableImpl& table, const std::vector<std::string>& names) {
    std::vector<int> out;
    for (const std::string& name : names) {
        int found = -1;
        for (size_t i = 0; i < table.columns().size(); ++i) {
            if (sameName(table.columns()[i].name, name)) found = int(i);
        }
        if (found < 0) return {};
        out.push_back(found);
    }
    return out;
}

// Rows of `table` whose columns at `positions` hold `values` (none of them null): through an
// index that starts with those columns, else by a scan.
std::vector<RowId> findRows(TableImpl& table, const std::vector<int>& positions,
                            const std::vector<Value>& values) {
    Row probe(table.columns().size());
    for (size_t k = 0; k < positions.size(); ++k) probe[size_t(positions[k])] = values[k];
    for (IndexDescriptor d : table.indexDescriptors()) {
        if (d.columns.size() < positions.size() || !d.keysBuildable()) continue;
        bool leading = true;
        for (size_t k = 0; k < positions.size(); ++k)
            leading &= d.columns[k].rowPosition == positions[k];
        if (!leading) continue;
        d.columns.resize(positions.size());
        IndexKey prefix = buildIndexKey(d, probe);
        return IndexTree(table.db().pager(), d).seekPrefix(prefix);
    }
    std::vector<RowId> out;
    table.scan([&](RowId id, const Row& row) {
        bool match = true;
        for (size_t k = 0; k < positions.size() && match; ++k) {
            match = row[size_t(positions[k])] == values[k];
        }
        if (match) out.push_back(id);
        return true;
    });
    return out;
}

class RowWriter {
  public:
    explicit RowWriter(TableImpl& table)
        : table_(table),
          db_(table.db()),
          pager_(db_.pager()),
          format_(db_.format()),
          file_(db_.fileName()),
          indexes_(table.writeDescriptors()) {}

    // `restoredCounter`: the row is one the table held before (a rebuild), so it keeps its
    // AutoNumber and GUID values, the counter takes that value, and related tables are not
    // consulted (they may not be rebuilt yet).
    RowId insert(const Row& values, std::optional<uint32_t> restoredCounter = std::nullopt,
                 const IndexEntrySink* sink = nullptr) {
        requireWritable();
        requireShape(values);
        const Tdef& tdef = table_.tdef();
        Row row = values;
        uint32_t autoNumber = tdef.autoNumber;
        if (restoredCounter)
            autoNumber = *restoredCounter;
        else
            assignAutoNumbers(row, autoNumber);
        std::vector<ColumnBytes> encoded = encode(row);
        Row exact = normalised(row, encoded);
        std::vector<IndexEntry> keys = indexEntries(exact);
        // Entries handed to a sink are checked where the index is built.
        if (!sink) requireUnique(keys, nullptr);
        if (!restoredCounter) requireReferencedRows(exact, nullptr);

        return atomically([&] {
            storeLongValues(encoded, {});
            Bytes bytes = packRow(table_.tdef(), encoded, table_.name());
            RowId id = placeRow(bytes, 0);
            writeCounters(table_.tdef().rowCount + 1, autoNumber);
            if (sink) {
                for (size_t i = 0; i < keys.size(); ++i)
                    if (keys[i].present) (*sink)(i, keys[i].key, id, keys[i].hasNull);
            } else {
                insertEntries(keys, id);
            }
            table_.db().noteRowChange(table_.tdef().firstPage, id, true);
            return id;
        });
    }

    void update(RowId id, const Row& values) {
        requireWritable();
        requireShape(values);
        Row old = table_.read(id);
        std::vector<ColumnBytes> stored;
        std::vector<Bytes> oldStored;
        readStored(id, stored, oldStored);
        Row row = values;
        // AutoNumber values never change.
        const auto& columns = table_.columns();
        for (size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].isAutoNumber() || columns[i].isGuidAutoNumber()) row[i] = old[i];
        }
        // A value left as it was keeps its stored bytes. Nulls and empty texts are encoded
        // again, so that a column's rules on them still hold.
        std::vector<ColumnBytes> encoded(columns.size());
        for (size_t i = 0; i < columns.size(); ++i) {
            const bool asStored = !columns[i].isLongValue() && !row[i].isNull() &&
                                  !(row[i].is<std::string>() && row[i].as<std::string>().empty()) &&
                                  row[i] == old[i];
            encoded[i] =
                asStored ? std::move(stored[i]) : encodeValue(columns[i], row[i], table_.name());
        }
        Row exact = normalised(row, encoded, &old);
        std::vector<bool> unchanged(indexes_.size(), true);
        for (size_t i = 0; i < indexes_.size(); ++i) {
            for (const KeyColumn& k : indexes_[i].columns) {
                const size_t p = size_t(k.rowPosition);
                if (k.rowPosition >= 0 && !(exact[p] == old[p])) unchanged[i] = false;
            }
        }
        std::vector<IndexEntry> oldKeys = indexEntries(old, &unchanged);
        std::vector<IndexEntry> newKeys = indexEntries(exact, &unchanged);
        requireUnique(newKeys, &oldKeys);
        requireReferencedRows(exact, &old);
        std::vector<Cascade> cascades = relatedRowsOf(old, &exact);

        atomically([&] {
            // Unchanged long values keep their pages; changed ones are written anew.
            std::vector<bool> keep(columns.size(), false);
            for (size_t i = 0; i < columns.size(); ++i) {
                if (!columns[i].isLongValue() || !encoded[i].present) continue;
                if (row[i] == old[i] && !oldStored[i].empty()) {
                    keep[i] = true;
                    encoded[i].bytes = oldStored[i];
                }
            }
            for (size_t i = 0; i < columns.size(); ++i) {
                if (columns[i].isLongValue() && !oldStored[i].empty() && !keep[i]) {
                    freeLongValue(pager_, format_, longValueMaps(columns[i].number), oldStored[i],
                                  file_);
                }
            }
            storeLongValues(encoded, keep);
            Bytes bytes = packRow(table_.tdef(), encoded, table_.name());
            replaceRow(id, bytes);
            for (size_t i = 0; i < indexes_.size(); ++i) {
                if (oldKeys[i].present == newKeys[i].present && oldKeys[i].key == newKeys[i].key) {
                    continue;
                }
                IndexTree& tree = treeOf(i);
                if (oldKeys[i].present) tree.remove(oldKeys[i].key, id);
                if (newKeys[i].present && tree.insert(newKeys[i].key, id)) countUniqueKey(i);
            }
            // Referring rows follow the new key once it is in place.
            for (const Cascade& c : cascades) {
                for (RowId related : c.rows) {
                    Row changed = c.table->read(related);
                    for (size_t k = 0; k < c.positions.size(); ++k) {
                        changed[size_t(c.positions[k])] = c.newValues[k];
                    }
                    updateRow(*c.table, related, changed);
                }
            }
            return RowId{};
        });
    }

    void remove(RowId id) {
        requireWritable();
        std::vector<Bytes> oldStored = storedLongValues(id);
        Row old = table_.read(id);
        std::vector<IndexEntry> oldKeys = indexEntries(old);
        std::vector<Cascade> cascades = relatedRowsOf(old, nullptr);
        atomically([&] {
            for (const Cascade& c : cascades) {
                for (RowId related : c.rows) removeRow(*c.table, related);
            }
            for (size_t i = 0; i < indexes_.size(); ++i) {
                if (oldKeys[i].present) treeOf(i).remove(oldKeys[i].key, id);
            }
            dropRow(id, oldStored);
            const Tdef& tdef = table_.tdef();
            writeCounters(tdef.rowCount > 0 ? tdef.rowCount - 1 : 0, tdef.autoNumber);
            return RowId{};
        });
    }

    // Removes rows of this table that no relationship carries a change from, their index
    // entries index by index in index order. Rows other tables' rows depend on are removed one
    // by one instead, as remove() does.
    void removeAll(std::span<const RowId> ids) {
        requireWritable();
        struct Gone {
            RowId id;
            std::vector<Bytes> stored;
            std::vector<IndexEntry> keys;
        };
        std::vector<Gone> gone;
        gone.reserve(ids.size());
        for (const RowId& id : ids) {
            Gone g{id, storedLongValues(id), {}};
            Row old = table_.read(id);
            g.keys = indexEntries(old);
            if (!relatedRowsOf(old, nullptr).empty()) {
                for (const RowId& each : ids) remove(each);
                return;
            }
            gone.push_back(std::move(g));
        }
        atomically([&] {
            for (size_t i = 0; i < indexes_.size(); ++i) {
                std::vector<std::vector<uint8_t>> entries;
                for (const Gone& g : gone) {
                    if (!g.keys[i].present) continue;
                    entries.push_back(g.keys[i].key);
                    appendEntryTrailer(entries.back(), g.id);
                }
                std::sort(entries.begin(), entries.end());
                if (!entries.empty()) treeOf(i).removeSorted(entries);
            }
            for (const Gone& g : gone) dropRow(g.id, g.stored);
            const Tdef& tdef = table_.tdef();
            const uint32_t count = uint32_t(gone.size());
            writeCounters(tdef.rowCount > count ? tdef.rowCount - count : 0, tdef.autoNumber);
            return RowId{};
        });
    }

  private:
    // A removed row's own storage: its long values (`stored`, as storedLongValues gives them)
    // and its slot, and the table's change history. Its index entries are the caller's.
    void dropRow(RowId id, const std::vector<Bytes>& stored) {
        const auto& columns = table_.columns();
        for (size_t i = 0; i < columns.size(); ++i) {
            if (stored[i].empty()) continue;
            freeLongValue(pager_, format_, longValueMaps(columns[i].number), stored[i], file_);
        }
        deleteRow(id);
        table_.db().noteRowChange(table_.tdef().firstPage, id, false);
    }

    void requireWritable() const {
        if (format_.version < 4) {
            throw fileError(ErrorCode::Unsupported, file_,
                            "Access 97 (Jet 3) databases can be read but not written");
        }
        if (!pager_.writable()) {
            throw fileError(ErrorCode::ReadOnly, file_, "the database is open read-only");
        }
    }

    void requireShape(const Row& values) const {
        if (values.size() != table_.columns().size()) {
            throw Error(ErrorCode::TypeMismatch, "table '" + table_.name() + "' has " +
                                                     std::to_string(table_.columns().size()) +
                                                     " columns; " + std::to_string(values.size()) +
                                                     " values were given");
        }
    }

    void assignAutoNumbers(Row& row, uint32_t& counter) const {
        const auto& columns = table_.columns();
        bool counted = false;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].isAutoNumber()) {
                if (!counted) {
                    ++counter;
                    counted = true;
                }
                row[i] = Value(int32_t(counter));
            } else if (columns[i].isGuidAutoNumber()) {
                row[i] = Value(newGuid());
            }
        }
    }

    static Guid newGuid() {
        static std::mt19937_64 random{std::random_device{}()};
        Guid g;
        for (size_t i = 0; i < 16; i += 8) {
            uint64_t r = random();
            std::memcpy(g.bytes.data() + i, &r, 8);
        }
        g.bytes[7] = uint8_t((g.bytes[7] & 0x0F) | 0x40);  // version 4, as stored little-endian
        g.bytes[8] = uint8_t((g.bytes[8] & 0x3F) | 0x80);
        return g;
    }

    std::vector<ColumnBytes> encode(const Row& row) const {
        const auto& columns = table_.columns();
        std::vector<ColumnBytes> out;
        out.reserve(columns.size());
        for (size_t i = 0; i < columns.size(); ++i) {
            out.push_back(encodeValue(columns[i], row[i], table_.name()));
        }
        return out;
    }

    // Replaces each present Memo/OLE payload by what the row holds (header, maybe inline data).
    void storeLongValues(std::vector<ColumnBytes>& encoded, const std::vector<bool>& keep) {
        const auto& columns = table_.columns();
        for (size_t i = 0; i < columns.size(); ++i) {
            if (!columns[i].isLongValue() || !encoded[i].present) continue;
            if (!keep.empty() && keep[i]) continue;
            encoded[i].bytes = storeLongValue(pager_, format_, longValueMaps(columns[i].number),
                                              encoded[i].bytes, file_);
        }
    }

    const LongValueMaps* longValueMaps(uint16_t columnNumber) const {
        for (const LongValueMaps& m : table_.tdef().longValueMaps) {
            if (m.columnNumber == columnNumber) return &m;
        }
        return nullptr;
    }

    // The stored row `id`: each column's bytes as stored, and the row bytes of each long value
    // (empty for null / other columns).
    void readStored(RowId id, std::vector<ColumnBytes>& bytes,
                    std::vector<Bytes>& longValues) const {
        const auto& columns = table_.columns();
        bytes.assign(columns.size(), ColumnBytes{});
        longValues.assign(columns.size(), Bytes{});
        table_.withRow(id, [&](const RowLayout& layout) {
            for (size_t i = 0; i < columns.size(); ++i) {
                bytes[i].present = layout.present(columns[i]);
                if (!bytes[i].present || columns[i].type == ColumnType::Boolean) continue;
                std::span<const uint8_t> b = layout.bytes(columns[i]);
                if (!columns[i].isLongValue()) {
                    bytes[i].bytes.assign(b.begin(), b.end());
                } else if (b.size() >= kLongValueHeaderSize) {
                    longValues[i].assign(b.begin(), b.end());
                }
            }
        });
    }

    // The row bytes of each long value of a stored row (empty for null / other columns).
    std::vector<Bytes> storedLongValues(RowId id) const {
        const auto& columns = table_.columns();
        std::vector<Bytes> out(columns.size());
        const bool any = std::any_of(columns.begin(), columns.end(),
                                     [](const Column& c) { return c.isLongValue(); });
        if (!any) return out;  // no memo or OLE column: the row need not be read for them
        std::vector<ColumnBytes> bytes;
        readStored(id, bytes, out);
        return out;
    }

    // Runs `change` so that it either happens whole or not at all.
    RowId atomically(const std::function<RowId()>& change) {
        try {
            return jet::atomically(pager_, change);
        } catch (...) {
            // The definitions in memory may have run ahead of the pages: read them again.
            db_.invalidate();
            throw;
        }
    }

    bool isOwnDataPage(const uint8_t* page) const {
        return page[0] == page_type::kData &&
               getU32(page + format_.dataOwner) == table_.tdef().firstPage;
    }

    // Puts row bytes on a page of the table with room, or on a new page.
    RowId placeRow(const Bytes& bytes, uint16_t flags) {
        const Tdef& tdef = table_.tdef();
        if (tdef.ownedMap.page == 0) {
            throw fileError(ErrorCode::Corrupt, file_,
                            "table '" + table_.name() + "' has no usage map");
        }
        bool hasFreeMap = tdef.freeMap.page != 0;
        auto isOwn = [this](const uint8_t* page) { return isOwnDataPage(page); };
        uint32_t candidate = 0;
        uint32_t& hint = table_.roomHint();
        if (hasFreeMap && hint != 0 && hint < pager_.pageCount()) {
            PageRef page = pager_.read(hint);
            if (isOwn(page->data()) && data_page::hasRoomFor(page->data(), format_, bytes.size()))
                candidate = hint;
        }
        if (candidate != 0) {
            // the page of the last new row still has room
        } else if (hasFreeMap) {
            candidate = findPageWithRoom(pager_, format_, tdef.freeMap, bytes.size(), isOwn, file_);
        } else {
            UsageMap owned = UsageMap::read(pager_, format_, tdef.ownedMap, file_);
            if (!owned.pages().empty() && owned.pages().back() < pager_.pageCount()) {
                PageRef page = pager_.read(owned.pages().back());
                if (isOwn(page->data()) &&
                    data_page::hasRoomFor(page->data(), format_, bytes.size())) {
                    candidate = owned.pages().back();
                }
            }
        }
        if (candidate != 0) {
            uint8_t row = data_page::addRow(pager_.write(candidate), format_, bytes, flags);
            hint = candidate;
            return RowId{candidate, row};
        }
        uint32_t fresh = allocatePage(pager_, format_, file_);
        hint = fresh;
        uint8_t* page = pager_.write(fresh);
        data_page::initialise(page, format_, tdef.firstPage);
        uint8_t row = data_page::addRow(page, format_, bytes, flags);
        addPageToMap(pager_, format_, tdef.ownedMap, fresh, file_);
        if (hasFreeMap) addPageToMap(pager_, format_, tdef.freeMap, fresh, file_);
        return RowId{fresh, row};
    }

    // A page that just gave room back is offered for the table's next rows; one left without
    // rows leaves the table and goes back to the file's free pages.
    void offerRoom(uint32_t page) {
        const Tdef& tdef = table_.tdef();
        if (data_page::holdsNoRows(pager_.read(page)->data(), format_)) {
            if (tdef.freeMap.page != 0)
                removePageFromMap(pager_, format_, tdef.freeMap, page, file_);
            removePageFromMap(pager_, format_, tdef.ownedMap, page, file_);
            freePage(pager_, format_, page, file_);
            if (table_.roomHint() == page) table_.roomHint() = 0;
            return;
        }
        if (tdef.freeMap.page != 0) addPageToMap(pager_, format_, tdef.freeMap, page, file_);
    }

    struct Slot {
        uint8_t* page;
        uint16_t flags;
    };

    Slot slotOf(RowId id) {
        if (id.page == 0 || id.page >= pager_.pageCount()) throw missing(id);
        uint8_t* page = pager_.write(id.page);
        if (!isOwnDataPage(page) || id.row >= data_page::slotCount(page, format_))
            throw missing(id);
        uint16_t flags = data_page::slotFlags(page, format_, id.row);
        if (flags & kRowDeleted) throw missing(id);
        return Slot{page, flags};
    }

    Error missing(RowId id) const {
        return Error(ErrorCode::NotFound, file_ + ": table " + table_.name() +
                                              " has no row at page " + std::to_string(id.page) +
                                              " row " + std::to_string(id.row));
    }

    RowPointer overflowTarget(const Slot& slot, RowId id) const {
        std::span<const uint8_t> row = data_page::rowBytes(slot.page, format_, id.row);
        if (row.size() < 4) {
            throw fileError(ErrorCode::Corrupt, file_,
                            "page " + std::to_string(id.page) + " row " + std::to_string(id.row) +
                                " is an overflow pointer too short to hold one");
        }
        return getRowPointer(row.data());
    }

    // Writes the new bytes of row `id` where it is, or moves them to another page and leaves a
    // pointer in the row's own slot (the row id never changes).
    void replaceRow(RowId id, const Bytes& bytes) {
        Slot slot = slotOf(id);
        if (slot.flags & kRowLookup) {
            RowPointer target = overflowTarget(slot, id);
            if (target.page < pager_.pageCount()) {
                uint8_t* targetPage = pager_.write(target.page);
                if (isOwnDataPage(targetPage) &&
                    target.row < data_page::slotCount(targetPage, format_)) {
                    if (data_page::replaceRow(targetPage, format_, target.row, bytes,
                                              kRowDeleted)) {
                        return;
                    }
                    data_page::deleteRow(targetPage, format_, target.row);
                }
            }
        } else if (data_page::replaceRow(slot.page, format_, id.row, bytes, 0)) {
            return;
        }
        // Moved rows sit in slots flagged deleted so that scans reach them only by the pointer.
        RowId moved = placeRow(bytes, kRowDeleted);
        uint8_t pointer[4];
        putRowPointer(pointer, RowPointer{moved.page, moved.row});
        slot = slotOf(id);
        if (!data_page::replaceRow(slot.page, format_, id.row, pointer, kRowLookup)) {
            throw fileError(ErrorCode::Corrupt, file_,
                            "page " + std::to_string(id.page) + " has no room for a row pointer");
        }
    }

    void deleteRow(RowId id) {
        Slot slot = slotOf(id);
        if (slot.flags & kRowLookup) {
            RowPointer target = overflowTarget(slot, id);
            if (target.page < pager_.pageCount()) {
                uint8_t* targetPage = pager_.write(target.page);
                if (isOwnDataPage(targetPage) &&
                    target.row < data_page::slotCount(targetPage, format_)) {
                    data_page::deleteRow(targetPage, format_, target.row);
                    offerRoom(target.page);
                }
            }
            slot = slotOf(id);
        }
        data_page::deleteRow(slot.page, format_, id.row);
        offerRoom(id.page);
    }

    // Row count and AutoNumber counter, on the definition's first page and in memory.
    void writeCounters(uint32_t rowCount, uint32_t autoNumber) {
        Tdef& tdef = table_.tdef();
        uint8_t* page = pager_.write(tdef.firstPage);
        putU32(page + format_.tdefRowCount, rowCount);
        putU32(page + format_.tdefAutoNumber, autoNumber);
        if (tdef.raw.size() >= format_.tdefAutoNumber + 4) {
            putU32(tdef.raw.data() + format_.tdefRowCount, rowCount);
            putU32(tdef.raw.data() + format_.tdefAutoNumber, autoNumber);
        }
        tdef.rowCount = rowCount;
        tdef.autoNumber = autoNumber;
    }

    // ---- Relationships ----

    // Related rows a change of a "one"-side row would leave behind: refused unless the
    // relationship cascades, in which case they are listed for the change to carry along.
    struct Cascade {
        TableImpl* table;
        std::vector<int> positions;    // the referring columns in that table
        std::vector<Value> newValues;  // for updates
        std::vector<RowId> rows;
    };

    const std::vector<Relationship>& relationships() {
        if (!relationshipsLoaded_) {
            relationships_ = relationshipsOf(db_, table_);
            relationshipsLoaded_ = true;
        }
        return relationships_;
    }

    // An inserted or changed "many"-side row must refer to an existing "one"-side row.
    void requireReferencedRows(const Row& row, const Row* old) {
        for (const Relationship& r : relationships()) {
            if (!sameName(r.manyTable, table_.name())) continue;
            std::vector<int> positions = positionsOf(table_, r.manyColumns);
            if (positions.empty()) continue;
            std::vector<Value> values;
            bool anyNull = false, changed = old == nullptr;
            for (int p : positions) {
                values.push_back(row[size_t(p)]);
                anyNull |= row[size_t(p)].isNull();
                if (old) changed |= !((*old)[size_t(p)] == row[size_t(p)]);
            }
            if (anyNull || !changed) continue;  // a null reference refers to nothing
            TableImpl& one = db_.table(r.oneTable);
            std::vector<int> onePositions = positionsOf(one, r.oneColumns);
            if (onePositions.empty()) continue;
            if (findRows(one, onePositions, values).empty()) {
                throw Error(ErrorCode::Relationship,
                            "You cannot add or change a record because a related record is "
                            "required in table '" +
                                one.name() + "'. (Relationship '" + r.name + "'.)");
            }
        }
    }

    // Rows of other tables that refer to `old` through a key that goes away (`changed` null: the
    // row is deleted). Throws when a relationship forbids it.
    std::vector<Cascade> relatedRowsOf(const Row& old, const Row* changed) {
        std::vector<Cascade> out;
        for (const Relationship& r : relationships()) {
            if (!sameName(r.oneTable, table_.name())) continue;
            std::vector<int> positions = positionsOf(table_, r.oneColumns);
            if (positions.empty()) continue;
            std::vector<Value> values, newValues;
            bool anyNull = false, keyChanges = changed == nullptr;
            for (int p : positions) {
                values.push_back(old[size_t(p)]);
                anyNull |= old[size_t(p)].isNull();
                if (changed) {
                    newValues.push_back((*changed)[size_t(p)]);
                    keyChanges |= !((*changed)[size_t(p)] == old[size_t(p)]);
                }
            }
            if (anyNull || !keyChanges) continue;
            TableImpl& many = db_.table(r.manyTable);
            std::vector<int> manyPositions = positionsOf(many, r.manyColumns);
            if (manyPositions.empty()) continue;
            std::vector<RowId> rows = findRows(many, manyPositions, values);
            if (rows.empty()) continue;
            bool cascades = changed ? r.cascadesUpdates() : r.cascadesDeletes();
            if (!cascades) {
                throw Error(ErrorCode::Relationship,
                            "The record cannot be deleted or changed because table '" +
                                many.name() + "' includes related records. (Relationship '" +
                                r.name + "'.)");
            }
            out.push_back(Cascade{&many, manyPositions, newValues, rows});
        }
        return out;
    }

    // ---- Indexes ----

    // A value given in the very type its column reads back as (a text as valid UTF-8, checked
    // when it was encoded) is stored exactly and reads back unchanged.
    static bool readsBackAsGiven(const Column& column, const Value& value) {
        switch (column.type) {
            case ColumnType::Byte:
                return value.is<uint8_t>();
            case ColumnType::Integer:
                return value.is<int16_t>();
            case ColumnType::Long:
                return value.is<int32_t>();
            case ColumnType::Currency:
                return value.is<Currency>();
            case ColumnType::Single:
                return value.is<float>();
            case ColumnType::Double:
                return value.is<double>();
            case ColumnType::DateTime:
                return value.is<DateTime>();
            case ColumnType::Guid:
                return value.is<Guid>();
            case ColumnType::Text:
                return value.is<std::string>();
            default:
                return false;
        }
    }

    // The row as index keys need it: every value in its column's own type. `stored`: the row
    // being replaced, as read.
    Row normalised(const Row& given, const std::vector<ColumnBytes>& encoded,
                   const Row* stored = nullptr) const {
        const auto& columns = table_.columns();
        Row out(columns.size());
        ValueContext context = table_.valueContext();
        for (size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].type == ColumnType::Boolean) {
                out[i] = Value(encoded[i].present);
            } else if (!encoded[i].present) {
                continue;
            } else if (columns[i].isLongValue()) {
                out[i] = given[i];
            } else if (stored && given[i] == (*stored)[i]) {
                // A value exactly as read from the row stores and reads back as it was.
                out[i] = (*stored)[i];
            } else if (readsBackAsGiven(columns[i], given[i])) {
                out[i] = given[i];
            } else {
                out[i] = decodeValue(columns[i], encoded[i].bytes, context, file_);
            }
        }
        return out;
    }

    // The index entries of a row. Where `unchanged` marks an index whose columns hold the same
    // values in the row it replaces, the key is left empty: it cannot differ from the old one.
    std::vector<IndexEntry> indexEntries(const Row& row,
                                         const std::vector<bool>* unchanged = nullptr) const {
        std::vector<IndexEntry> out(indexes_.size());
        for (size_t i = 0; i < indexes_.size(); ++i) {
            const IndexDescriptor& d = indexes_[i];
            if (!d.keysBuildable()) {
                throw fileError(ErrorCode::Unsupported, file_,
                                "table '" + table_.name() + "' cannot be written: its index '" +
                                    d.name +
                                    "' sorts text in an order this engine cannot build keys for");
            }
            for (const KeyColumn& k : d.columns) {
                if (k.rowPosition >= 0 && row[size_t(k.rowPosition)].isNull())
                    out[i].hasNull = true;
            }
            if (out[i].hasNull && d.required()) {
                throw Error(ErrorCode::NullNotAllowed,
                            "Index or primary key cannot contain a Null value. (Table '" +
                                table_.name() + "', index '" + d.name + "'.)");
            }
            if (d.ignoreNulls() && allKeyColumnsNull(d, row)) continue;
            out[i].present = true;
            if (unchanged && (*unchanged)[i]) continue;
            out[i].key = buildIndexKey(d, row);
            if (out[i].key.size() > treeOf(i).maxKeySize()) {
                throw Error(ErrorCode::TooLong, "The key of index '" + d.name + "' of table '" +
                                                    table_.name() + "' is too long.");
            }
        }
        return out;
    }

    // Refuses a key that a unique index already holds (for an update: unless the row keeps it).
    void requireUnique(const std::vector<IndexEntry>& keys,
                       const std::vector<IndexEntry>* old) const {
        for (size_t i = 0; i < indexes_.size(); ++i) {
            const IndexEntry& e = keys[i];
            if (!indexes_[i].unique() || !e.present || e.hasNull) continue;
            if (old && (*old)[i].present && (*old)[i].key == e.key) continue;
            if (treeOf(i).containsKey(e.key)) {
                throw Error(ErrorCode::DuplicateKey,
                            "The changes you requested to the table were not successful because "
                            "they would create duplicate values in the index, primary key, or "
                            "relationship. Change the data in the field or fields that contain "
                            "duplicate data, remove the index, or redefine the index to permit "
                            "duplicate entries and try again. (Table '" +
                                table_.name() + "', index '" + indexes_[i].name + "'.)");
            }
        }
    }

    void insertEntries(const std::vector<IndexEntry>& keys, RowId id) {
        for (size_t i = 0; i < indexes_.size(); ++i) {
            if (keys[i].present && treeOf(i).insert(keys[i].key, id)) countUniqueKey(i);
        }
    }

    // The tree of index i, made once per change.
    IndexTree& treeOf(size_t i) const {
        if (trees_.size() != indexes_.size()) trees_.resize(indexes_.size());
        if (!trees_[i]) trees_[i].emplace(makeTree(i));
        return *trees_[i];
    }

    IndexTree makeTree(size_t i) const {
        const IndexDescriptor& d = indexes_[i];
        IndexTree::PageHooks hooks;
        Pager* pager = &pager_;
        const JetFormat* format = &format_;
        const std::string* file = &file_;
        RowPointer map = d.usageMap;
        hooks.allocate = [pager, format, file, map] {
            uint32_t page = allocatePage(*pager, *format, *file);
            if (map.page != 0) addPageToMap(*pager, *format, map, page, *file);
            return page;
        };
        hooks.release = [pager, format, file, map](uint32_t page) {
            if (map.page != 0) removePageFromMap(*pager, *format, map, page, *file);
            freePage(*pager, *format, page, *file);
        };
        return IndexTree(pager_, d, std::move(hooks));
    }

    // The index's unique-key statistic grows with every new distinct key (never shrinks).
    void countUniqueKey(size_t i) {
        Tdef& tdef = table_.tdef();
        int number = indexes_[i].number;
        for (RealIndex& real : tdef.realIndexes) {
            if (real.number != number) continue;
            size_t at = real.slotOffset + 4;
            if (at + 4 > format_.pageSize || at + 4 > tdef.raw.size()) return;
            real.uniqueCount += 1;
            putU32(pager_.write(tdef.firstPage) + at, real.uniqueCount);
            putU32(tdef.raw.data() + at, real.uniqueCount);
        }
    }

    TableImpl& table_;
    DatabaseImpl& db_;
    Pager& pager_;
    const JetFormat& format_;
    const std::string& file_;
    const std::vector<IndexDescriptor>& indexes_;  // the table's, valid while this change runs
    mutable std::vector<std::optional<IndexTree>> trees_;
    std::vector<Relationship> relationships_;
    bool relationshipsLoaded_ = false;
};

}  // namespace

RowId insertRow(TableImpl& table, const Row& values) {
    return RowWriter(table).insert(values);
}

RowId restoreRow(TableImpl& table, const Row& values, uint32_t autoNumberCounter,
                 const IndexEntrySink& indexEntries) {
    return RowWriter(table).insert(values, autoNumberCounter,
                                   indexEntries ? &indexEntries : nullptr);
}

void updateRow(TableImpl& table, RowId id, const Row& values) {
    RowWriter(table).update(id, values);
}

void removeRow(TableImpl& table, RowId id) {
    RowWriter(table).remove(id);
}

void removeRows(TableImpl& table, std::span<const RowId> ids) {
    RowWriter(table).removeAll(ids);
}

RowId Table::insert(const Row& values) {
    return insertRow(*impl_, values);
}

void Table::update(RowId id, const Row& values) {
    updateRow(*impl_, id, values);
}

void Table::remove(RowId id) {
    removeRow(*impl_, id);
}

void Table::remove(std::span<const RowId> ids) {
    removeRows(*impl_, ids);
}

}  // namespace jet
