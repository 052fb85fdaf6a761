// Database::create, createTable and createIndex: the public entry points of the engine's
// creating code (empty_database, create_table, page_builders).
//
// Each runs as one ScopedTransaction: in a savepoint of the caller's transaction when one is open,
// otherwise in a transaction of its own that commits before returning; a failure undoes it, so a
// refused definition never leaves a half-made table behind.
#include <algorithm>
#include <exception>
#include <optional>

#include "jet/create_table.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/empty_database.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "jet/page_builders.h"
#include "jet/pager.h"
#include "jet/scoped_transaction.h"
#include "jet/table_write.h"

namespace jet {

namespace {

void requireWritable(const DatabaseImpl& impl) {
    if (!impl.pager().writable()) {
        throw Error(ErrorCode::ReadOnly, impl.fileName() + ": the database is open read-only");
    }
    if (impl.header().jetVersion != 4) {
        throw Error(ErrorCode::Unsupported,
                    impl.fileName() + ": tables can only be created in Jet 4 databases");
    }
}

// The new index's entries for the rows `table` holds, checked as the index will check later rows:
// a unique index refuses a key twice, a required one refuses nulls. Nothing is written here.
// Returns nothing when a column cannot be found or keyed: the definition check then refuses it.
std::optional<std::vector<create::IndexEntry>> entriesForRows(TableImpl& table,
                                                              const IndexDefinition& definition) {
    IndexDescriptor d;
    d.name = definition.name;
    d.flags = create::indexFlags(definition);
    if (definition.ignoreNulls) d.flags |= kIndexIgnoreNulls;
    for (const IndexColumnDefinition& ic : definition.columns) {
        int at = Table(&table).columnIndex(ic.column);
        if (at < 0) return std::nullopt;
        const Column& c = table.columns()[at];
        if (c.isLongValue()) return std::nullopt;
        KeyColumn k;
        k.type = c.type;
        k.ascending = ic.ascending;
        k.rowPosition = at;
        k.name = c.name;
        k.sortOrder = c.sortOrder;
        k.sortVersion = c.sortVersion;
        d.columns.push_back(k);
    }
    if (!d.keysBuildable()) {
        throw Error(ErrorCode::Unsupported, "table \"" + table.name() +
                                                "\" uses a sort order whose index keys the engine "
                                                "cannot build");
    }
    std::vector<create::IndexEntry> entries;
    table.scan([&](RowId id, const Row& row) {
        bool allNull = allKeyColumnsNull(d, row);
        if (allNull && d.ignoreNulls()) return true;
        if (d.required()) {
            for (const KeyColumn& k : d.columns) {
                if (row[k.rowPosition].isNull()) {
                    throw Error(ErrorCode::NullNotAllowed,
                                "index \"" + definition.name + "\" requires a value in \"" +
                                    k.name + "\", and a row of table \"" + table.name() +
                                    "\" has none");
                }
            }
        }
        entries.push_back({buildIndexKey(d, row), id});
        return true;
    });
    if (d.unique()) {
        std::vector<const std::vector<uint8_t>*> keys;
        for (const auto& e : entries) keys.push_back(&e.key);
        std::sort(keys.begin(), keys.end(), [](auto* a, auto* b) { return BytesLess()(*a, *b); });
        for (size_t i = 1; i < keys.size(); ++i) {
            if (compareBytes(*keys[i], *keys[i - 1]) == 0) {
                throw Error(ErrorCode::DuplicateKey,
                            "the rows of table \"" + table.name() +
                                "\" hold a value twice in the columns of unique index \"" +
                                definition.name + "\"");
            }
        }
    }
    return entries;
}

}  // namespace

std::shared_ptr<Database> Database::create(const std::filesystem::path& path) {
    {
        std::shared_ptr<Pager> pager = Pager::create(path, create::kPageSize);
        atomically(*pager, [&] { create::writeEmptyDatabase(*pager, create::oleDateNow()); });
    }
    return open(path, OpenMode::ReadWrite);
}

Table Database::createTable(const TableDefinition& definition) {
    requireWritable(*impl_);
    Pager& pager = impl_->pager();
    try {
        atomically(pager, [&] {
            create::NewTable made = create::writeTable(pager, definition);
            // The catalog row goes through the row writer, which also keeps MSysObjects' indexes
            // and counters.
            TableImpl& catalog = impl_->tableAt(create::kCatalogTdefPage);
            insertRow(catalog, create::catalogRow(catalog.columns(), definition.name, made,
                                                  create::oleDateNow()));
        });
    } catch (...) {
        impl_->invalidate();
        throw;
    }
    impl_->invalidate();
    return table(definition.name);
}

void Database::createIndex(std::string_view table, const IndexDefinition& definition) {
    requireWritable(*impl_);
    Pager& pager = impl_->pager();
    try {
        atomically(pager, [&] {
            auto entries = entriesForRows(impl_->table(table), definition);
            create::createIndex(pager, table, definition, entries ? &*entries : nullptr);
        });
    } catch (...) {
        impl_->invalidate();
        throw;
    }
    impl_->invalidate();
}

}  // namespace jet
