#include "data/executor.h"

#include <algorithm>

#include "data/conversion.h"
#include "data/errors.h"
#include "data/evaluate.h"

namespace data {
namespace {

int columnPosition(const jet::Table& table, const std::string& name) {
    return table.columnIndex(name);
}

ColumnReader rowReader(const jet::Row& row) {
    return [&row](int position) { return row[position]; };
}

const ColumnReader kNoRow = [](int) -> jet::Value { throw makeError(Fault::TooFewParameters); };

// Row ids found through the index that best covers the equality terms of `where`; nullopt when
// no index helps.
std::optional<std::vector<jet::RowId>> seekRows(const jet::Table& table, const sql::Expr& where) {
    auto terms = equalityTerms(where);
    if (terms.empty()) return std::nullopt;
    const auto& columns = table.columns();
    const auto& indexes = table.indexes();
    int best = -1;
    size_t bestLength = 0;
    std::vector<jet::Value> bestKey;
    for (size_t i = 0; i < indexes.size(); ++i) {
        std::vector<jet::Value> key;
        key.reserve(indexes[i].columns.size());
        for (const jet::IndexColumn& ic : indexes[i].columns) {
            const jet::Value* found = nullptr;
            int position = -1;
            for (size_t c = 0; c < columns.size(); ++c) {
                if (columns[c].number == ic.columnNumber) position = static_cast<int>(c);
            }
            for (const EqualityTerm& t : terms) {
                if (t.column == position) found = t.value;
            }
            if (!found) break;
            try {
                key.push_back(convertForColumn(columns[position], *found));
            } catch (const report::RunTimeError&) {
                break;  // a literal the column cannot hold: let the scan decide
            }
        }
        if (key.size() > bestLength) {
            best = static_cast<int>(i);
            bestLength = key.size();
            bestKey = std::move(key);
        }
    }
    if (best < 0) return std::nullopt;
    std::vector<jet::RowId> ids;
    try {
        ids = table.seek(best, bestKey);
    } catch (const jet::Error& e) {
        if (e.code() != jet::ErrorCode::Unsupported) throw;
        return std::nullopt;  // an index the engine cannot search: scan instead
    }
    std::sort(ids.begin(), ids.end());  // storage order, as a scan gives them
    return ids;
}

int compareForOrder(const jet::Value& a, const jet::Value& b) {
    if (a.isNull() || b.isNull()) return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    try {
        return *compareValues(a, b);
    } catch (const report::RunTimeError&) {
        return valueToText(a) < valueToText(b) ? -1 : 1;
    }
}

long runDelete(jet::Database& db, sql::Delete& d) {
    jet::Table table = openTable(db, d.table);
    if (d.where) bindExpression(*d.where, table.name(), table.columns());
    auto ids = selectRows(table, d.where.get(), {});
    atomically(db, [&] { table.remove(ids); });
    return static_cast<long>(ids.size());
}

long runInsert(jet::Database& db, sql::Insert& ins) {
    jet::Table table = openTable(db, ins.table);
    const auto& columns = table.columns();
    std::vector<int> targets;
    if (ins.columns.empty()) {
        if (ins.values.size() > columns.size()) throw makeError(Fault::InsertSyntax);
        for (size_t i = 0; i < ins.values.size(); ++i) targets.push_back(static_cast<int>(i));
    } else {
        for (const std::string& name : ins.columns) {
            int position = columnPosition(table, name);
            if (position < 0) throw makeError(Fault::UnknownInsertField, name);
            targets.push_back(position);
        }
    }
    std::map<int, jet::Value> assigned;
    for (size_t i = 0; i < targets.size(); ++i) {
        bindExpression(*ins.values[i], table.name(), {});
        jet::Value v = evaluate(*ins.values[i], kNoRow);
        assigned[targets[i]] = convertForColumn(columns[targets[i]], v);
    }
    jet::Row row = newRow(table, assigned);
    checkRow(table, row);
    atomically(db, [&] { table.insert(row); });
    return 1;
}

long runUpdate(jet::Database& db, sql::Update& u) {
    jet::Table table = openTable(db, u.table);
    const auto& columns = table.columns();
    std::vector<int> targets;
    for (sql::Assignment& a : u.assignments) {
        int position = columnPosition(table, a.column);
        if (position < 0) throw makeError(Fault::TooFewParameters, a.column);
        bindExpression(*a.value, table.name(), columns);
        targets.push_back(position);
    }
    if (u.where) bindExpression(*u.where, table.name(), columns);
    auto ids = selectRows(table, u.where.get(), {});
    atomically(db, [&] {
        for (const jet::RowId& id : ids) {
            jet::Row old = table.read(id);
            jet::Row row = old;
            for (size_t i = 0; i < targets.size(); ++i) {
                jet::Value v = evaluate(*u.assignments[i].value, rowReader(old));
                row[targets[i]] = convertForColumn(columns[targets[i]], v);
            }
            checkRow(table, row);
            table.update(id, row);
        }
    });
    return static_cast<long>(ids.size());
}

}  // namespace

jet::Table openTable(jet::Database& db, const std::string& name) {
    if (!db.hasTable(name)) throw makeError(Fault::TableNotFound, name);
    return db.table(name);
}

std::vector<int> bindSelect(sql::Select& select, const jet::Table& table) {
    const auto& columns = table.columns();
    std::vector<int> fields;
    if (select.allColumns) {
        for (size_t i = 0; i < columns.size(); ++i) fields.push_back(static_cast<int>(i));
    } else {
        for (auto& c : select.columns) {
            bindExpression(*c, table.name(), columns);
            fields.push_back(c->column);
        }
    }
    if (select.where) bindExpression(*select.where, table.name(), columns);
    for (auto& term : select.orderBy) bindExpression(*term.column, table.name(), columns);
    return fields;
}

std::vector<jet::RowId> selectRows(const jet::Table& table, const sql::Expr* where,
                                   const std::vector<sql::OrderTerm>& orderBy) {
    struct Found {
        jet::RowId id;
        std::vector<jet::Value> keys;
    };
    if (!where && orderBy.empty()) return table.rowIds();  // no values needed
    std::vector<jet::RowId> ids;  // in storage order; filled here only when nothing sorts them
    std::vector<Found> found;
    auto keep = [&](jet::RowId id, const jet::Row& row) {
        if (where && !isTrue(*where, rowReader(row))) return;
        if (orderBy.empty()) {
            ids.push_back(id);
            return;
        }
        Found f{id, {}};
        for (const auto& term : orderBy) f.keys.push_back(row[term.column->column]);
        found.push_back(std::move(f));
    };
    std::optional<std::vector<jet::RowId>> candidates;
    if (where) candidates = seekRows(table, *where);
    if (candidates) {
        for (const jet::RowId& id : *candidates) keep(id, table.read(id));
    } else {
        table.scan([&](jet::RowId id, const jet::Row& row) {
            keep(id, row);
            return true;
        });
    }
    if (orderBy.empty()) return ids;
    std::stable_sort(found.begin(), found.end(), [&](const Found& a, const Found& b) {
        for (size_t i = 0; i < orderBy.size(); ++i) {
            int c = compareForOrder(a.keys[i], b.keys[i]);
            if (c != 0) return orderBy[i].descending ? c > 0 : c < 0;
        }
        return false;
    });
    ids.reserve(found.size());
    for (const Found& f : found) ids.push_back(f.id);
    return ids;
}

jet::Row newRow(const jet::Table& table, const std::map<int, jet::Value>& assigned) {
    const auto& columns = table.columns();
    jet::Row row(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) {
        auto it = assigned.find(static_cast<int>(i));
        if (it != assigned.end()) {
            row[i] = it->second;
            continue;
        }
        const jet::Column& column = columns[i];
        if (column.isAutoNumber() || !column.defaultValue) continue;
        sql::ExprPtr expr = sql::parseDefault(*column.defaultValue);
        if (!expr) continue;
        try {
            bindExpression(*expr, table.name(), {});
            row[i] = convertForColumn(column, evaluate(*expr, kNoRow));
        } catch (const report::RunTimeError&) {
            // A default the provider could not apply leaves the field empty.
        }
    }
    return row;
}

void checkRow(const jet::Table& table, jet::Row& row) {
    const auto& columns = table.columns();
    for (size_t i = 0; i < columns.size() && i < row.size(); ++i) {
        const jet::Column& column = columns[i];
        if (column.type == jet::ColumnType::Boolean && row[i].isNull()) row[i] = jet::Value(false);
        if (row[i].isNull()) {
            if (column.required && !column.isAutoNumber())
                throw makeError(Fault::NullNotAllowed, table.name() + "." + column.name);
        } else if (row[i].is<std::string>() && row[i].as<std::string>().empty() &&
                   !column.allowZeroLength &&
                   (column.type == jet::ColumnType::Text || column.type == jet::ColumnType::Memo)) {
            throw makeError(Fault::ZeroLength, table.name() + "." + column.name);
        }
    }
}

long executeStatement(jet::Database& db, sql::Statement& statement) {
    if (auto* d = std::get_if<sql::Delete>(&statement)) return runDelete(db, *d);
    if (auto* i = std::get_if<sql::Insert>(&statement)) return runInsert(db, *i);
    if (auto* u = std::get_if<sql::Update>(&statement)) return runUpdate(db, *u);
    if (auto* ct = std::get_if<sql::CreateTable>(&statement)) {
        atomically(db, [&] { db.createTable(ct->definition); });
        return 0;
    }
    if (auto* ci = std::get_if<sql::CreateIndex>(&statement)) {
        openTable(db, ci->table);
        atomically(db, [&] { db.createIndex(ci->table, ci->definition); });
        return 0;
    }
    throw makeError(Fault::SelectNotExecutable);
}

}  // namespace data
