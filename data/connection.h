// Connections, record sets and data controls: the program's way into Access databases.
//
// A Connection is opened by a connection text naming the Jet provider and a file; it runs Jet SQL
// statements. A Recordset holds the rows of one SELECT (or a bare table name) with a current
// row, forward search, in-place change and insertion. A DataControl pairs a connection text with
// a record source and opens the record set on Refresh. Every failure is a report::RunTimeError
// with the provider's usual number and wording.
//
// Connections to the same file share one jet::Database (and so one pager and one transaction):
// a row deleted through one connection is gone for a record set of another at its next Requery.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"
#include "report/run_time_error.h"

// Recordset::EOF keeps the provider's name. The C library defines EOF as a macro, which would
// rewrite every use of it: the stdio headers are taken in here first (their guards keep them
// from defining it again) and the macro is removed. Use std::char_traits<char>::eof() instead.
#include <cstdio>
#include <stdio.h>
#undef EOF

namespace data {

// The provider text every connection of the program starts with.
inline constexpr const char* kProviderText =
    "PROVIDER=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=";

struct ConnectionInfo {
    std::string provider;
    std::filesystem::path dataSource;
};
// REQUIRES: nothing. Throws RunTimeError for a missing or foreign provider, no Data Source.
ConnectionInfo parseConnectionText(const std::string& connectionText);

class Connection {
public:
    Connection() = default;
    ~Connection();

    // Opens the database named by the connection text (for writing when the file allows it).
    void Open(const std::string& connectionText);
    void Close();
    bool isOpen() const { return db_ != nullptr; }

    // Runs one statement (DELETE, INSERT, UPDATE, CREATE TABLE, CREATE INDEX); returns the number
    // of rows affected. A SELECT is refused here: open a Recordset for it.
    long Execute(const std::string& statement);

    // Transactions of the underlying database (shared with every connection to the file).
    void BeginTrans();
    uint64_t Savepoint();
    void RollbackTo(uint64_t savepoint);
    void CommitTrans();
    void RollbackTrans();
    bool inTransaction() const;

    const std::shared_ptr<jet::Database>& database() const;

private:
    std::shared_ptr<jet::Database> db_;
};

class RecordsetImpl;

class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;

    // `source` is a SELECT statement or a table name.
    void Open(const std::string& source, std::shared_ptr<Connection> connection);
    void Close();
    bool isOpen() const;

    void MoveFirst();
    void MoveNext();
    void MoveLast();
    bool BOF() const;
    bool EOF() const;
    long RecordCount() const;
    // Position of the current row, 0-based; -1 before the first, RecordCount() after the last.
    long position() const;
    void setPosition(long position);

    // Searches forward from the current row (included) for the first row meeting `criterion`
    // ("No=2", "[Employee#]='0012'"). With no match the cursor stands after the last row (EOF).
    void Find(const std::string& criterion);

    // Fields of the current row, by name (case-insensitive, brackets optional) or ordinal.
    int fieldCount() const;
    std::string fieldName(int ordinal) const;
    jet::ColumnType fieldType(int ordinal) const;
    jet::Value field(const std::string& name) const;
    jet::Value field(int ordinal) const;
    // Assigns to the current (or pending new) row, converting as Jet does for the column's type.
    // Held until Update().
    void setField(const std::string& name, const jet::Value& value);
    void setField(int ordinal, const jet::Value& value);

    void AddNew();        // starts a pending new row, appended at the end on Update()
    void Update();        // stores the pending new or changed row
    void CancelUpdate();  // drops pending changes
    void Delete();        // deletes the current row
    void Requery();       // runs the source again; cursor on the first row

private:
    std::unique_ptr<RecordsetImpl> impl_;
};

// Conversions the program uses when it reads a field's value.
std::string valueToText(const jet::Value& value);  // as the provider shows a value as text
int32_t valueToLong(const jet::Value& value);      // numbers and numeric text; Type mismatch else

class DataControl {
public:
    std::string ConnectionString;
    std::string RecordSource;

    // Closes what was open, opens the connection and the record set that the two texts describe.
    void Refresh();
    Recordset& recordset();  // throws RunTimeError when no record set is open
    bool hasRecordset() const;
    const std::shared_ptr<Connection>& connection() const { return connection_; }

private:
    std::shared_ptr<Connection> connection_;
    std::string openedWith_;  // the connection text connection_ was opened with
    std::unique_ptr<Recordset> recordset_;
};

}  // namespace data
