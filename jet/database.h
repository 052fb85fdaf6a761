// Public: part of the engine's interface to the programs built on it.
// jet::Database and jet::Table: the public face of the Access (Jet 4 / Jet 3) file engine.
//
// The engine reads Jet 3 and Jet 4 files and writes Jet 4 files so that Microsoft Access and
// other readers accept them. It knows nothing of the programs built on it.
//
// Promises:
//  - One Database object per file per process: open() of a path that is already open returns the
//    same object (its pages pass through one pager), so every user of the file sees the others'
//    changes at once.
//  - Writes happen inside a transaction. A write made outside an explicit begin() runs in its own
//    transaction that commits before the call returns. Until commit() nothing reaches the file;
//    commit() is atomic (a rollback journal beside the file), so a crash at any instant leaves the
//    file as it was at the last commit. Opening a file with a journal beside it restores it first.
//  - Every change is checked before anything is written: a refused insert/update/delete changes
//    nothing, in memory or on disk.
//  - Every failure is a jet::Error (jet/error.h); a damaged file never crashes the engine.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "jet/error.h"
#include "jet/open_mode.h"
#include "jet/recovery_report.h"
#include "jet/row_id.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

class DatabaseImpl;
class TableImpl;

// A handle to one table of an open database. It is valid only while its Database object lives:
// keep the shared_ptr that open() returned for as long as the Table is used.
class Table {
  public:
    const std::string& name() const;
    bool isSystem() const;

    // Live columns in column-number order; a Row holds one Value per entry, in this order.
    const std::vector<Column>& columns() const;
    // Position in columns() of the named column (case-insensitive), or -1.
    int columnIndex(std::string_view name) const;
    const std::vector<Index>& indexes() const;
    // Position in indexes() of the named index (case-insensitive), or -1.
    int indexIndex(std::string_view name) const;
    // The primary key's position in indexes(), or -1.
    int primaryKeyIndex() const;

    // The row count kept in the table definition (exact for files this engine wrote).
    uint32_t rowCount() const;

    // ---- Reading ----

    // Every live row in storage order (usage-map page order, slot order), overflow rows followed.
    void scan(const std::function<bool(RowId, const Row&)>& visit) const;  // return false to stop
    std::vector<RowId> rowIds() const;
    Row read(RowId id) const;
    // The same, with a number naming the row's present contents in `version`: while
    // rowVersion(id) gives that number, the row reads the same. 0 when the engine cannot tell
    // (tables with memo or OLE columns, rows moved to another page): such a row is not kept.
    Row read(RowId id, uint64_t& version) const;
    uint64_t rowVersion(RowId id) const;
    Value read(RowId id, int columnPosition) const;

    // Row ids of the index in index order whose leading columns equal `key` (key.size() may be
    // less than the index's column count; empty means all rows of the index).
    std::vector<RowId> seek(int indexPosition, const std::vector<Value>& key) const;

    // ---- Writing (ReadWrite databases only) ----

    // Inserts a row; AutoNumber columns are assigned by the engine (any value given is ignored),
    // other missing values must be given explicitly as null. Returns the new row's id.
    RowId insert(const Row& values);
    // Replaces the whole row.
    void update(RowId id, const Row& values);
    void remove(RowId id);
    // Removes the rows in one change, each index's entries in one pass over the index.
    void remove(std::span<const RowId> ids);

    // ---- Following changes ----

    // A row inserted or removed, as the change history of the table records it.
    struct RowChange {
        RowId id;
        bool inserted;
    };
    // Where the table's change history stands now.
    uint64_t changeStamp() const;
    // Appends to `out`, oldest first, the rows inserted and removed since `stamp` and returns
    // true; returns false when that history is no longer kept (a rollback, a changed definition,
    // or too many changes ago), and the reader must list the table again. Row ids are never
    // given to a second row, so a reader can keep its list of ids current with these alone.
    bool changesSince(uint64_t stamp, std::vector<RowChange>& out) const;

    Table(TableImpl* impl) : impl_(impl) {}
    TableImpl* impl() const { return impl_; }

  private:
    TableImpl* impl_;
};

class Database {
  public:
    // Opens an existing Jet 3 or Jet 4 file. ReadWrite fails at once (ReadOnly/InUse/Unsupported)
    // when the file cannot be written: read-only file or folder, another writer, Jet 3.
    static std::shared_ptr<Database> open(const std::filesystem::path& path, OpenMode mode);
    // Creates a new, empty Jet 4 database (Access 2000 format, General sort order). Fails if the
    // file exists.
    static std::shared_ptr<Database> create(const std::filesystem::path& path);
    // Puts right what an interrupted writer left beside the file (see RecoveryReport) without
    // reading the database itself. Opening for writing does the same; a journal that is set aside
    // makes that open fail, while recover() reports it. Throws ReadOnly or InUse when the file
    // cannot be taken for writing now (a read-only folder, a live writer).
    static RecoveryReport recover(const std::filesystem::path& path);
    // One line for a person saying what recover() found and did.
    static std::string describe(const std::filesystem::path& path, const RecoveryReport& report);

    ~Database();

    const std::filesystem::path& path() const;
    int jetVersion() const;  // 3 or 4
    bool writable() const;

    // User tables in catalog order (system tables too when asked).
    std::vector<std::string> tableNames(bool includeSystem = false) const;
    bool hasTable(std::string_view name) const;
    Table table(std::string_view name) const;  // case-insensitive; NotFound if absent

    // ---- Definitions ----
    Table createTable(const TableDefinition& definition);
    void createIndex(std::string_view table, const IndexDefinition& definition);

    // ---- Transactions ----
    // begin() opens the transaction; savepoints nest inside it. rollbackTo() undoes everything
    // after the savepoint and keeps the transaction (and the savepoint) open.
    using Savepoint = uint64_t;
    void begin();
    bool inTransaction() const;
    Savepoint savepoint();
    // A savepoint whose nested ones (each a unit of work inside it) are never kept after a
    // failure without rolling back to it as well: their units skip the undo copies of pages
    // already changed under it, and rolling one of them back may take everything back to it.
    Savepoint coarseSavepoint();
    void rollbackTo(Savepoint savepoint);
    // Forgets the savepoint (and those after it), keeping its changes in the transaction and
    // freeing the page copies kept for rolling back to it. Unknown savepoints are ignored.
    void release(Savepoint savepoint);
    void commit();
    void rollback();

    // Integrity check of every index of every table against its rows (the engine's own check):
    // returns one line per problem; empty means sound. `report` receives progress lines.
    std::vector<std::string> check(const std::function<void(const std::string&)>& report = {});

    DatabaseImpl* impl() const { return impl_.get(); }
    explicit Database(std::unique_ptr<DatabaseImpl> impl);

  private:
    std::unique_ptr<DatabaseImpl> impl_;
};

}  // namespace jet
