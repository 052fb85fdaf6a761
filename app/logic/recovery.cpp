#include "app/logic/recovery.h"

#include <system_error>

#include "jet/database.h"
#include "jet/error.h"

namespace app {

RecoveryNotice recoverDatabases(const std::filesystem::path& database) {
    RecoveryNotice notice;
    if (database.empty()) return notice;
    for (const std::filesystem::path& file :
         {database, database.parent_path() / "ImportData.mdb"}) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec)) continue;
        try {
            const jet::RecoveryReport found = jet::Database::recover(file);
            if (found.outcome == jet::RecoveryReport::Outcome::NoJournal && !found.staleLockRemoved)
                continue;
            notice.text += jet::Database::describe(file, found) + "\n";
            notice.setAside =
                notice.setAside || found.outcome == jet::RecoveryReport::Outcome::SetAside;
        } catch (const jet::Error& e) {
            if (e.code() != jet::ErrorCode::InUse && e.code() != jet::ErrorCode::ReadOnly) throw;
        }
    }
    return notice;
}

}  // namespace app
