#include "app/window/logic_links.h"

#include "app/logic/transfer_command.h"
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

}  // namespace app::window::links
