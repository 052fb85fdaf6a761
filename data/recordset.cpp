// The record set: a keyset of row ids chosen when it opens (or re-runs), with values read from
// the table when a row becomes current.
//
// Find keeps the search from being quadratic in a loop of finds from the first row: an equality
// on a column that leads an index of the table is answered by the index (Table::seek) and a map
// from row id to position; any other equality by an index of positions per value of the column,
// built on first use and kept current by this record set's own updates and additions. Rows
// found either way are checked against the criterion on their current values.
//
// Requery of a whole table (no WHERE, no ORDER BY) need not list the table again: its keyset is
// the table's row ids in storage order (ascending), and the table's change history says which
// rows came and went since, so each is put in or taken out at its place. Without that history
// (after a rollback, for instance) the query runs again. Either way the keyset is what a fresh
// run gives.
#include <algorithm>
#include <array>
#include <map>
#include <string_view>
#include <unordered_map>

#include "data/conversion.h"
#include "data/errors.h"
#include "data/evaluate.h"
#include "data/executor.h"
#include "data/keyset.h"
#include "data/recordset.h"
#include "data/sql.h"

namespace data {
namespace {

struct RowIdHash {
    size_t operator()(const jet::RowId& id) const {
        return std::hash<uint64_t>()((static_cast<uint64_t>(id.page) << 8) | id.row);
    }
};

std::string_view stripBrackets(std::string_view name) {
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
        return name.substr(1, name.size() - 2);
    return name;
}

// The key under which a value is filed in a value index: equal keys for values that Jet finds
// equal (text case-insensitively, numbers by value). nullopt for values not filed (null, binary).
std::optional<std::string> valueKey(const jet::Value& v) {
    if (v.isNull() || v.is<jet::Bytes>() || v.is<jet::Guid>()) return std::nullopt;
    if (v.is<std::string>()) return "T" + foldText(v.as<std::string>());
    auto n = numericValue(v);
    if (!n) return std::nullopt;
    char buf[40];
    std::snprintf(buf, sizeof buf, "N%.17g", *n == 0.0 ? 0.0 : *n);
    return std::string(buf);
}

bool isTextColumn(jet::ColumnType t) {
    return t == jet::ColumnType::Text || t == jet::ColumnType::Memo;
}

}  // namespace

class RecordsetImpl {
  public:
    enum class Mode { None, Edit, Add };

    std::shared_ptr<Connection> connection;
    std::shared_ptr<jet::Database> db;
    std::optional<jet::Table> table;
    sql::Select select;
    // The shape of the source (sql::shapeOf) when the select's text literals are its quoted
    // texts; empty otherwise. A source of the same shape can then reuse this select.
    std::string shapeKey;
    std::vector<int> fields;  // table column positions of the record set's fields
    Keyset keys;
    long pos = 0;
    bool currentDeleted = false;

    Mode mode = Mode::None;
    std::map<int, jet::Value> pending;  // table column position -> converted value

    // Rows decoded lately, by position, each kept while the engine says it reads the same: a
    // small record set walked again and again (a layout, line after line) is decoded once.
    struct CachedRow {
        long pos = -1;
        jet::RowId id;
        uint64_t version = 0;
        jet::Row row;
    };
    static constexpr long kCachedRows = 64;
    mutable std::array<CachedRow, kCachedRows> rowCache;
    mutable long lastAsked = -1;
    // Field names as asked (brackets and case as written) -> ordinal; the same few names are
    // asked for every line.
    mutable std::unordered_map<std::string, int> ordinalByName;

    // Find's helpers (see the file comment).
    bool keysSorted = false;  // keys ascend (row ids in storage order)

    // The rows this record set added since it last ran stand at the end of the keyset, where
    // AddNew puts them; ownTail counts those still there. baseSorted: the keyset without them
    // ascends. stamp: the table's change stamp the keyset reflects (whole-table sources).
    long ownTail = 0;
    bool baseSorted = false;
    uint64_t stamp = 0;
    bool rowPositionsBuilt = false;
    std::unordered_map<jet::RowId, long, RowIdHash> rowPositions;
    std::map<int, std::unordered_map<std::string, std::vector<long>>> valueIndexes;

    long size() const { return static_cast<long>(keys.size()); }
    bool bof() const { return keys.empty() || pos < 0; }
    bool eof() const { return keys.empty() || pos >= size(); }
    bool hasCurrent() const { return !bof() && !eof() && !currentDeleted; }

    void forgetRow(long p) { rowCache[size_t(p % kCachedRows)].pos = -1; }
    void forgetRows() {
        for (CachedRow& slot : rowCache) slot.pos = -1;
    }

    void forgetCaches() {
        forgetRows();
        rowPositionsBuilt = false;
        rowPositions.clear();
        valueIndexes.clear();
    }

    bool wholeTable() const { return !select.where && select.orderBy.empty(); }

    void run() {
        try {
            stamp = table->changeStamp();
            keys.assign(selectRows(*table, select.where.get(), select.orderBy));
        } catch (const jet::Error& e) {
            throw fromJetError(e, table->name());
        }
        keysSorted = keys.isSorted();
        baseSorted = keysSorted;
        ownTail = 0;
        toFirstRow();
    }

    // Requery: catches up with the table's changes where it can (see the file comment).
    void requery() {
        if (!catchUp()) {
            run();
            return;
        }
        toFirstRow();
    }

    // After the keyset was made anew: the first row current, nothing pending, no stale maps.
    void toFirstRow() {
        pos = 0;
        currentDeleted = false;
        mode = Mode::None;
        pending.clear();
        forgetCaches();
    }

    bool catchUp() {
        if (!wholeTable()) return false;
        std::vector<jet::Table::RowChange> changes;
        if (!baseSorted || !table->changesSince(stamp, changes)) return false;
        // The rows added here are in the history too: take them off the end of the keyset and
        // let the history put them where the table's order has them.
        for (; ownTail > 0; --ownTail) keys.pop_back();
        for (const auto& change : changes) {
            long p = keys.lowerBound(change.id);
            bool present = p < keys.size() && keys[p] == change.id;
            if (change.inserted && !present) keys.insert(p, change.id);
            if (!change.inserted && present) keys.erase(p);
        }
        stamp = table->changeStamp();
        keysSorted = true;
        baseSorted = true;
        return true;
    }

    const jet::Row& rowAt(long p) const {
        CachedRow& slot = rowCache[size_t(p % kCachedRows)];
        const jet::RowId id = keys[p];
        // A row the engine gives no version for is kept only while it stays the one asked for.
        const bool sameAsLast = lastAsked == p;
        lastAsked = p;
        if (slot.pos == p && slot.id == id &&
            (slot.version == 0 ? sameAsLast : table->rowVersion(id) == slot.version))
            return slot.row;
        slot.pos = -1;
        try {
            slot.row = table->read(id, slot.version);
        } catch (const jet::Error& e) {
            if (e.code() == jet::ErrorCode::NotFound) throw makeError(Fault::NoCurrentRecord);
            throw fromJetError(e, table->name());
        }
        slot.pos = p;
        slot.id = id;
        return slot.row;
    }

    // Leaving a row drops what was assigned and not stored.
    void leaveRow() {
        mode = Mode::None;
        pending.clear();
        currentDeleted = false;
    }

    int fieldOrdinal(const std::string& name) const {
        if (auto known = ordinalByName.find(name); known != ordinalByName.end())
            return known->second;
        const std::string_view wanted = stripBrackets(name);
        const auto& columns = table->columns();
        for (size_t i = 0; i < fields.size(); ++i) {
            if (sameText(columns[fields[i]].name, wanted)) {
                ordinalByName.emplace(name, static_cast<int>(i));
                return static_cast<int>(i);
            }
        }
        throw makeError(Fault::ItemNotFound);
    }

    void checkOrdinal(int ordinal) const {
        if (ordinal < 0 || ordinal >= static_cast<int>(fields.size()))
            throw makeError(Fault::ItemNotFound);
    }

    jet::Value field(int ordinal) const {
        checkOrdinal(ordinal);
        int column = fields[ordinal];
        if (mode != Mode::None) {
            auto it = pending.find(column);
            if (it != pending.end()) return it->second;
            if (mode == Mode::Add) return jet::Value();
        }
        if (!hasCurrent()) throw makeError(Fault::NoCurrentRecord);
        return rowAt(pos)[column];
    }

    void setField(int ordinal, const jet::Value& value) {
        checkOrdinal(ordinal);
        if (mode == Mode::None) {
            if (!hasCurrent()) throw makeError(Fault::NoCurrentRecord);
            mode = Mode::Edit;
        }
        const jet::Column& column = table->columns()[fields[ordinal]];
        if (column.isAutoNumber()) return;  // the engine numbers the row
        pending[fields[ordinal]] = convertForColumn(column, value);
    }

    // ---- Find ----

    long positionOf(const jet::RowId& id) {
        if (keysSorted) {  // storage order: a binary search needs no map
            long p = keys.lowerBound(id);
            return p < keys.size() && keys[p] == id ? p : -1;
        }
        constexpr long kShortTail = 64;             // beyond it the map below is cheaper
        if (baseSorted && ownTail <= kShortTail) {  // storage order, then the rows added here
            const long base = size() - ownTail;
            long p = keys.lowerBound(id, base);
            if (p < base && keys[p] == id) return p;
            for (p = base; p < size(); ++p)
                if (keys[p] == id) return p;
            return -1;
        }
        if (!rowPositionsBuilt) {
            rowPositions.clear();
            rowPositions.reserve(static_cast<size_t>(keys.size()));
            for (long i = 0; i < keys.size(); ++i) rowPositions[keys[i]] = i;
            rowPositionsBuilt = true;
        }
        auto it = rowPositions.find(id);
        return it == rowPositions.end() ? -1 : it->second;
    }

    // The index of the table led by the column at `position`, or -1.
    int indexLedBy(int position) const {
        uint16_t number = table->columns()[position].number;
        const auto& indexes = table->indexes();
        for (size_t i = 0; i < indexes.size(); ++i) {
            if (!indexes[i].columns.empty() && indexes[i].columns[0].columnNumber == number)
                return static_cast<int>(i);
        }
        return -1;
    }

    std::unordered_map<std::string, std::vector<long>>& valueIndex(int column) {
        auto it = valueIndexes.find(column);
        if (it != valueIndexes.end()) return it->second;
        auto& index = valueIndexes[column];
        for (long p = 0; p < size(); ++p) {
            jet::Value v;
            try {
                v = table->read(keys[p], column);
            } catch (const jet::Error&) {
                continue;  // a row gone meanwhile is found by no value
            }
            if (auto key = valueKey(v)) index[*key].push_back(p);
        }
        return index;
    }

    void fileInIndexes(long p, const jet::Row& oldRow, const jet::Row& newRow, bool added) {
        for (auto& [column, index] : valueIndexes) {
            auto oldKey = added ? std::nullopt : valueKey(oldRow[column]);
            auto newKey = valueKey(newRow[column]);
            if (!added && oldKey == newKey) continue;
            if (oldKey) {
                auto& list = index[*oldKey];
                list.erase(std::remove(list.begin(), list.end(), p), list.end());
            }
            if (newKey) {
                auto& list = index[*newKey];
                list.insert(std::lower_bound(list.begin(), list.end(), p), p);
            }
        }
    }

    bool matchesAt(const sql::Expr& criterion, long p) {
        try {
            const jet::Row& row = rowAt(p);
            return isTrue(criterion, [&row](int c) { return row[c]; });
        } catch (const report::RunTimeError& e) {
            if (e.number() == faultNumber(Fault::NoCurrentRecord)) return false;
            throw;
        }
    }

    // The criterion last searched for, parsed and bound: a layout is searched with the same
    // text for every line.
    std::string lastCriterionText;
    sql::ExprPtr lastCriterion;

    const sql::Expr& criterionFor(const std::string& text) {
        if (lastCriterion && text == lastCriterionText) return *lastCriterion;
        lastCriterion.reset();
        sql::ExprPtr criterion = sql::parseCriterion(text);
        try {
            bindExpression(*criterion, table->name(), table->columns());
        } catch (const report::RunTimeError&) {
            throw makeError(Fault::ItemNotFound);
        }
        lastCriterionText = text;
        lastCriterion = std::move(criterion);
        return *lastCriterion;
    }

    void find(const std::string& criterionText) {
        const sql::Expr& criterion = criterionFor(criterionText);
        leaveRow();
        if (keys.empty()) return;
        long start = std::max(0L, pos);
        if (start >= size()) return;

        auto terms = equalityTerms(criterion);
        if (terms.size() == 1) {
            const jet::Column& column = table->columns()[terms[0].column];
            const jet::Value& literal = *terms[0].value;
            bool comparable = isTextColumn(column.type) == literal.is<std::string>();
            int index = indexLedBy(terms[0].column);
            if (comparable && index >= 0) {
                std::optional<jet::Value> key;
                try {
                    key = convertForColumn(column, literal);
                } catch (const report::RunTimeError&) {
                }
                std::vector<jet::RowId> ids;
                if (key) {
                    try {
                        ids = table->seek(index, {*key});
                    } catch (const jet::Error& e) {
                        if (e.code() != jet::ErrorCode::Unsupported)
                            throw fromJetError(e, table->name());
                        key.reset();  // the engine cannot search this index: use a value index
                    }
                }
                if (key) {
                    long best = size();
                    for (const jet::RowId& id : ids) {
                        long p = positionOf(id);
                        if (p >= start && p < best && matchesAt(criterion, p)) best = p;
                    }
                    pos = best;
                    return;
                }
            }
            if (comparable) {
                auto key = valueKey(literal);
                if (key) {
                    auto& byValue = valueIndex(terms[0].column);
                    auto it = byValue.find(*key);
                    pos = size();
                    if (it == byValue.end()) return;
                    for (auto p = std::lower_bound(it->second.begin(), it->second.end(), start);
                         p != it->second.end(); ++p) {
                        if (matchesAt(criterion, *p)) {
                            pos = *p;
                            return;
                        }
                    }
                    return;
                }
            }
        }
        for (long p = start; p < size(); ++p) {
            if (matchesAt(criterion, p)) {
                pos = p;
                return;
            }
        }
        pos = size();
    }

    // ---- Changes ----

    void update() {
        if (mode == Mode::None) return;
        jet::Database& database = *db;
        if (mode == Mode::Edit) {
            if (!hasCurrent()) throw makeError(Fault::NoCurrentRecord);
            // Stays as read until the next rowAt(): nothing below reads rows through this set.
            const jet::Row& old = rowAt(pos);
            jet::Row row = old;
            for (const auto& [column, value] : pending) row[column] = value;
            checkRow(*table, row);
            try {
                atomically(database, [&] { table->update(keys[pos], row); });
            } catch (const jet::Error& e) {
                throw fromJetError(e, table->name());
            }
            fileInIndexes(pos, old, row, false);
            forgetRow(pos);
        } else {
            jet::Row row = newRow(*table, pending);
            checkRow(*table, row);
            jet::RowId id;
            try {
                id = atomically(database, [&] { return table->insert(row); });
            } catch (const jet::Error& e) {
                throw fromJetError(e, table->name());
            }
            if (keysSorted && !keys.empty() && id < keys.back()) keysSorted = false;
            keys.push_back(id);
            ++ownTail;
            pos = size() - 1;
            if (rowPositionsBuilt) rowPositions[id] = pos;
            fileInIndexes(pos, row, row, true);
            forgetRow(pos);
        }
        mode = Mode::None;
        pending.clear();
    }

    void remove() {
        if (!hasCurrent()) throw makeError(Fault::NoCurrentRecord);
        leaveRow();
        try {
            atomically(*db, [&] { table->remove(keys[pos]); });
        } catch (const jet::Error& e) {
            throw fromJetError(e, table->name());
        }
        if (pos >= size() - ownTail) --ownTail;  // one of the rows added here
        keys.erase(pos);
        forgetCaches();
        currentDeleted = true;  // the deleted row stays current until the next move
    }
};

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

namespace {

RecordsetImpl& openImpl(const std::unique_ptr<RecordsetImpl>& impl) {
    if (!impl) throw makeError(Fault::ObjectClosed);
    return *impl;
}

}  // namespace

namespace {

// Opening a source of the same shape as the open one on the same connection (the same look-up
// with other codes, once per amount of a file) puts the new texts into the parsed select and
// runs it again: no parse, no copy of the tree, no look-up of the table, and no binding of its
// names to columns again (the shape holds the names; only texts differ).
bool reopen(RecordsetImpl& r, std::optional<sql::Shape>& shape,
            const std::shared_ptr<Connection>& connection) {
    if (!shape || r.shapeKey.empty() || shape->key != r.shapeKey || r.connection != connection ||
        !connection->isOpen() || connection->database() != r.db)
        return false;
    std::vector<sql::Expr*> nodes = sql::textLiteralsOf(r.select);
    if (nodes.size() != shape->texts.size()) return false;
    for (size_t i = 0; i < nodes.size(); ++i)
        nodes[i]->literal = jet::Value(std::move(shape->texts[i]));
    r.lastCriterion.reset();
    r.run();
    return true;
}

}  // namespace

void Recordset::Open(const std::string& source, std::shared_ptr<Connection> connection) {
    std::optional<sql::Shape> shape = sql::shapeOf(source);
    if (impl_) {
        try {
            if (reopen(*impl_, shape, connection)) return;
        } catch (...) {
            Close();
            throw;
        }
    }
    Close();
    if (!connection || !connection->isOpen()) throw makeError(Fault::ObjectClosed);
    auto impl = std::make_unique<RecordsetImpl>();
    impl->connection = connection;
    impl->db = connection->database();
    if (auto name = sql::tableNameOnly(source)) {
        impl->select.table = *name;
    } else {
        sql::Statement statement = sql::parseStatement(source);
        auto* select = std::get_if<sql::Select>(&statement);
        if (!select) throw makeError(Fault::InvalidSql);
        impl->select = std::move(*select);
    }
    try {
        impl->table = openTable(*impl->db, impl->select.table);
        impl->fields = bindSelect(impl->select, *impl->table);
    } catch (const jet::Error& e) {
        throw fromJetError(e, impl->select.table);
    }
    impl->run();
    if (shape && sql::literalsMatch(sql::textLiteralsOf(impl->select), shape->texts))
        impl->shapeKey = std::move(shape->key);
    impl_ = std::move(impl);
}

void Recordset::Close() {
    impl_.reset();
}
bool Recordset::isOpen() const {
    return impl_ != nullptr;
}

void Recordset::MoveFirst() {
    auto& r = openImpl(impl_);
    r.leaveRow();
    if (r.keys.empty()) throw makeError(Fault::NoCurrentRecord);
    r.pos = 0;
}

void Recordset::MoveNext() {
    auto& r = openImpl(impl_);
    bool deleted = r.currentDeleted;
    if (r.eof() && !deleted) throw makeError(Fault::NoCurrentRecord);
    r.leaveRow();
    if (!deleted) ++r.pos;  // after a Delete the next row already holds the position
}

void Recordset::MoveLast() {
    auto& r = openImpl(impl_);
    r.leaveRow();
    if (r.keys.empty()) throw makeError(Fault::NoCurrentRecord);
    r.pos = r.size() - 1;
}

bool Recordset::BOF() const {
    return openImpl(impl_).bof();
}
bool Recordset::EOF() const {
    return openImpl(impl_).eof();
}
long Recordset::RecordCount() const {
    return openImpl(impl_).size();
}
long Recordset::position() const {
    auto& r = openImpl(impl_);
    return std::clamp(r.pos, -1L, r.size());
}

void Recordset::setPosition(long position) {
    auto& r = openImpl(impl_);
    r.leaveRow();
    r.pos = std::clamp(position, -1L, r.size());
}

void Recordset::Find(const std::string& criterion) {
    openImpl(impl_).find(criterion);
}

int Recordset::fieldCount() const {
    return static_cast<int>(openImpl(impl_).fields.size());
}

std::string Recordset::fieldName(int ordinal) const {
    auto& r = openImpl(impl_);
    r.checkOrdinal(ordinal);
    return r.table->columns()[r.fields[ordinal]].name;
}

jet::ColumnType Recordset::fieldType(int ordinal) const {
    auto& r = openImpl(impl_);
    r.checkOrdinal(ordinal);
    return r.table->columns()[r.fields[ordinal]].type;
}

jet::Value Recordset::field(const std::string& name) const {
    auto& r = openImpl(impl_);
    return r.field(r.fieldOrdinal(name));
}

jet::Value Recordset::field(int ordinal) const {
    return openImpl(impl_).field(ordinal);
}

void Recordset::setField(const std::string& name, const jet::Value& value) {
    auto& r = openImpl(impl_);
    r.setField(r.fieldOrdinal(name), value);
}

void Recordset::setField(int ordinal, const jet::Value& value) {
    openImpl(impl_).setField(ordinal, value);
}

void Recordset::AddNew() {
    auto& r = openImpl(impl_);
    if (!r.db->writable()) throw makeError(Fault::CannotUpdate);
    r.leaveRow();
    r.mode = RecordsetImpl::Mode::Add;
}

void Recordset::Update() {
    openImpl(impl_).update();
}

void Recordset::CancelUpdate() {
    openImpl(impl_).leaveRow();
}

void Recordset::Delete() {
    openImpl(impl_).remove();
}

void Recordset::Requery() {
    openImpl(impl_).requery();
}

}  // namespace data
