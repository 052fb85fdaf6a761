// The procedures of the window's logic that frmMain's handlers call, in one place.
//
// Each forwards to the procedure of its module: the settings file, the data sources, the transfer
// command. Keeping them together shows at a glance what the window needs from the logic.
#pragma once

#include <cstdint>
#include <string>

// data::Recordset::EOF, reached through app/form.h, shares its name with the C library's
// macro: the macro is defined once, here, and then removed.
#include <cstdio>
#undef EOF
#include "app/form.h"

namespace app::window::links {

std::string settingsFilePath(const std::string& programFolder);
std::string ReadINI(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& defaultValue);
void ReadDefaultINI(app::Form& form);
void SaveDefaultINI(app::Form& form);
void txtDir_Change(app::Form& form, int16_t index);
void OpenLayoutTable(app::Form& form);
void cmdTransfer_Click(app::Form& form, int16_t index);

// Puts right what an interrupted transfer left beside the company's payroll database (as its
// settings name it) and the layout database in its folder. Returns what a person should read:
// empty when there was nothing to say; `failed` when a journal had to be set aside.
std::string recoverDatabases(const std::string& settingsFile, const std::string& company,
                             bool& failed);

}  // namespace app::window::links
