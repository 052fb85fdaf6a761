#include "app/window/logic_links.h"

#include <filesystem>

#include "app/logic/transfer_command.h"
#include "jet/database.h"
#include "data/data_sources.h"
#include "settings/default_ini.h"
#include "settings/ini_funcs.h"

namespace app::window::links {

std::string settingsFilePath(const std::string& programFolder) {
    return settings::settingsFilePath(programFolder);
}

std::string ReadINI(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& defaultValue) {
    return settings::ReadINI(file, section, key, defaultValue);
}

void ReadDefaultINI(app::Form& form) {
    settings::ReadDefaultINI(form);
}

void SaveDefaultINI(app::Form& form) {
    settings::SaveDefaultINI(form);
}

void txtDir_Change(app::Form& form, int16_t index) {
    app::txtDir_Change(form, index);
}

void OpenLayoutTable(app::Form& form) {
    app::OpenLayoutTable(form);
}

void cmdTransfer_Click(app::Form& form, int16_t index) {
    app::cmdTransfer_Click(form, index);
}

std::string recoverDatabases(const std::string& settingsFile, const std::string& company,
                             bool& failed) {
    failed = false;
    const std::filesystem::path melvar =
        settings::ReadINI(settingsFile, company, "MelvarFilePath", settings::kDefaultMelvarFilePath);
    std::string said;
    for (const std::filesystem::path& file : {melvar, melvar.parent_path() / "ImportData.mdb"}) {
        std::error_code ec;
        if (file.empty() || !std::filesystem::is_regular_file(file, ec)) continue;
        try {
            const jet::RecoveryReport found = jet::Database::recover(file);
            if (found.outcome == jet::RecoveryReport::Outcome::NoJournal) continue;
            said += jet::Database::describe(file, found) + "\n";
            failed = failed || found.outcome == jet::RecoveryReport::Outcome::SetAside;
        } catch (const jet::Error& e) {
            // A live writer or a read-only folder: the database opens as its last commit left it.
            if (e.code() != jet::ErrorCode::InUse && e.code() != jet::ErrorCode::ReadOnly) throw;
        }
    }
    return said;
}

}  // namespace app::window::links
