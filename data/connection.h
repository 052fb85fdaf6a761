// Connections: the program's way into Access databases.
//
// A Connection is opened by a connection text naming the Jet provider and a file; it runs Jet SQL
// statements. Every failure is a report::RunTimeError with the provider's usual number and
// wording.
//
// Connections to the same file share one jet::Database (and so one pager and one transaction):
// a row deleted through one connection is gone for a record set of another at its next Requery.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "jet/database.h"
#include "report/run_time_error.h"

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
    // See jet::Database::coarseSavepoint().
    uint64_t CoarseSavepoint();
    void RollbackTo(uint64_t savepoint);
    void CommitTrans();
    void RollbackTrans();
    bool inTransaction() const;

    const std::shared_ptr<jet::Database>& database() const;

  private:
    std::shared_ptr<jet::Database> db_;
};

}  // namespace data
