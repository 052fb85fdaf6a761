// A private copy of the payroll database and, when it lies beside it, ImportData.mdb, in a
// temporary folder that goes with the object: dry runs and checks of a file work on it, so the
// real databases are never changed.
#pragma once

#include <filesystem>

namespace app {

class DatabaseCopy {
  public:
    explicit DatabaseCopy(const std::filesystem::path& database);
    ~DatabaseCopy();
    DatabaseCopy(const DatabaseCopy&) = delete;
    DatabaseCopy& operator=(const DatabaseCopy&) = delete;

    const std::filesystem::path& database() const { return db_; }

  private:
    std::filesystem::path folder_;
    std::filesystem::path db_;
};

}  // namespace app
