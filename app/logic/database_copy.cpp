#include "app/logic/database_copy.h"

#include "jet/file_system.h"

namespace app {

DatabaseCopy::DatabaseCopy(const std::filesystem::path& database) {
    folder_ = jet::makeTemporaryFolder("veltra-dry-run");
    db_ = folder_ / database.filename();
    std::filesystem::copy_file(database, db_);
    const auto layouts = database.parent_path() / "ImportData.mdb";
    if (std::filesystem::exists(layouts)) {
        std::filesystem::copy_file(layouts, folder_ / "ImportData.mdb");
    }
}

DatabaseCopy::~DatabaseCopy() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

}  // namespace app
