// The engine's inside view of an open database and its tables, shared by the reading code, the
// writers, the index code and the tool.
//
// DatabaseImpl owns the pager and the parsed catalog; it hands out TableImpl objects that live as
// long as the database (Table handles point at them). A TableImpl keeps the parsed definition
// (Tdef) with everything writers need to rewrite it; after a writer changes the definition on disk
// it calls reload().
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jet/catalog.h"
#include "jet/coding.h"
#include "jet/database.h"
#include "jet/header.h"
#include "jet/index_key.h"
#include "jet/pager.h"
#include "jet/properties.h"
#include "jet/row_reader.h"
#include "jet/tdef.h"

namespace jet {

class TableImpl {
  public:
    TableImpl(DatabaseImpl& db, const CatalogEntry& entry);

    DatabaseImpl& db() const { return db_; }
    const std::string& name() const { return entry_.name; }
    bool isSystem() const { return entry_.isSystem(); }
    const CatalogEntry& catalogEntry() const { return entry_; }
    const Tdef& tdef() const { return tdef_; }
    Tdef& tdef() { return tdef_; }
    // Live columns with their properties applied, in column-number order (= tdef().columns).
    const std::vector<Column>& columns() const { return tdef_.columns; }
    const std::vector<Index>& indexes() const { return indexes_; }
    // The table's and its columns' properties as the catalog holds them.
    const PropertyBlob& properties() const { return properties_; }

    // Re-reads the definition and properties from the file.
    void reload();
    // The same after the table's catalog row changed (name, properties).
    void reload(const CatalogEntry& entry);

    // Every live row in storage order; overflow rows are read where they live.
    void scan(const std::function<bool(RowId, const Row&)>& visit) const;
    std::vector<RowId> rowIds() const;
    Row read(RowId id, uint64_t* version = nullptr) const;
    uint64_t rowVersion(RowId id) const;
    Value read(RowId id, int columnPosition) const;

    // Calls `use` with the layout of the stored row `id` (following an overflow pointer). Throws
    // NotFound for a deleted or missing row.
    void withRow(RowId id, const std::function<void(const RowLayout&)>& use) const;

    ValueContext valueContext() const;

    // The index code's view of the table's indexes, made once per definition read.
    const std::vector<IndexDescriptor>& indexDescriptors() const;
    // The same as writers check rows against: primary-key columns may never be null, whatever
    // the index flags say.
    const std::vector<IndexDescriptor>& writeDescriptors() const;

    // The data page that last took a new row: tried first by the next insert, so that rows
    // added one after another do not search the free-space map each time. Only a hint: the
    // writer checks the page before using it.
    uint32_t& roomHint() { return roomHint_; }

  private:
    void load();
    // Visits the live rows of one data page; returns false when `visit` asked to stop.
    bool scanPage(uint32_t page, const std::function<bool(RowId, const RowLayout&)>& visit) const;

    DatabaseImpl& db_;
    CatalogEntry entry_;
    Tdef tdef_;
    PropertyBlob properties_;
    std::vector<Index> indexes_;
    mutable std::optional<std::vector<IndexDescriptor>> descriptors_;
    mutable std::optional<std::vector<IndexDescriptor>> writeDescriptors_;
    // The rows read last, each while its page keeps the version it had then: rows are often
    // read again soon (checked against a criterion, then changed or removed, a few at a time).
    // Rows of tables with memo or OLE columns, and overflow rows, are not kept: their bytes are
    // on other pages too.
    struct LastRead {
        RowId id;
        uint64_t version = 0;
        Row row;
    };
    static constexpr size_t kKeptRows = 16;
    mutable std::array<LastRead, kKeptRows> lastRead_;
    mutable size_t nextKept_ = 0;  // the slot the next row read goes to
    bool keepsLastRead_ = false;
    uint32_t roomHint_ = 0;
};

class DatabaseImpl {
  public:
    // `path` is canonical (the registry's key); `fileName` is the name the caller gave.
    DatabaseImpl(std::filesystem::path path, std::string fileName, std::shared_ptr<Pager> pager,
                 HeaderInfo header);

    const std::filesystem::path& path() const { return path_; }
    // The file's name as error messages give it.
    const std::string& fileName() const { return fileName_; }
    Pager& pager() const { return *pager_; }
    std::shared_ptr<Pager> pagerHandle() const { return pager_; }
    const HeaderInfo& header() const { return header_; }
    const JetFormat& format() const { return *format_; }

    const Catalog& catalog();
    // Forgets the catalog and every table's parsed definition (after a writer changed them).
    void invalidate();

    // The table of that name (case-insensitive); NotFound if there is none.
    TableImpl& table(std::string_view name);
    // The table whose definition starts at `tdefPage` (system tables included).
    TableImpl& tableAt(uint32_t tdefPage);

    Bytes readLongValue(std::span<const uint8_t> stored) const;

    // The change history of each table's rows (see Table::changesSince). invalidate() ends
    // every history, as the pages may have gone back to an earlier state.
    void noteRowChange(uint32_t tdefPage, RowId id, bool inserted);
    uint64_t changeStamp(uint32_t tdefPage);
    bool changesSince(uint32_t tdefPage, uint64_t stamp, std::vector<Table::RowChange>& out);

  private:
    // entries[i] is the change that took the table from stamp base + i to base + i + 1.
    struct ChangeLog {
        uint64_t base = 0;
        std::vector<uint64_t> entries;  // page << 9 | row << 1 | inserted
    };

    std::map<uint32_t, ChangeLog> changeLogs_;  // by TDEF page
    std::filesystem::path path_;
    std::string fileName_;
    std::shared_ptr<Pager> pager_;
    HeaderInfo header_;
    const JetFormat* format_;
    std::unique_ptr<Catalog> catalog_;
    std::unique_ptr<TableImpl> catalogTable_;  // MSysObjects, read before the catalog exists
    std::map<uint32_t, std::unique_ptr<TableImpl>> tables_;  // by TDEF page
};

}  // namespace jet
