// Before either program reads a company's databases, what an interrupted transfer left beside
// them is put right: the payroll database and the ImportData.mdb in its folder.
#pragma once

#include <filesystem>
#include <string>

namespace app {

struct RecoveryNotice {
    std::string text;       // one line per database where something was found; empty if nothing
    bool setAside = false;  // a journal was not the file's: the database must be checked first
};

// Recovers `database` and the layout database beside it. Files that do not exist are passed
// over; a database another program writes, or one in a read-only folder, is left as it is (it
// then opens as its last commit left it).
RecoveryNotice recoverDatabases(const std::filesystem::path& database);

}  // namespace app
