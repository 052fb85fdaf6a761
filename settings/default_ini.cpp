#include "settings/default_ini.h"

#include <filesystem>

#include "report/report_error.h"
#include "settings/ini_funcs.h"

namespace settings {

namespace {

// As a text box assigned its own text: no change, no change handling.
void loadField(app::MainWindowPort& window, app::Field field, const std::string& text) {
    if (window.fieldText(field) != text) window.setFieldText(field, text);
}

}  // namespace

std::string settingsFilePath(const std::string& programFolder) {
    return programFolder + static_cast<char>(std::filesystem::path::preferred_separator) +
           "Import.INI";
}

void ReadDefaultINI(app::Form& form) {
    try {
        const std::string file = settingsFilePath(form.globals.ProgramFolder);
        const std::string& section = form.globals.CurrentCompanyCode;
        loadField(form.window, app::Field::TextFile,
                  ReadINI(file, section, "TextFilePath", kDefaultTextFilePath));
        loadField(form.window, app::Field::Database,
                  ReadINI(file, section, "MelvarFilePath", kDefaultMelvarFilePath));
        loadField(form.window, app::Field::Delimiter,
                  ReadINI(file, section, "Delimiter", kDefaultDelimiter));
    } catch (...) {
        report::ReportError("frmMain", "ReadDefaultINI()");
    }
}

void SaveDefaultINI(app::Form& form) {
    try {
        const std::string file = settingsFilePath(form.globals.ProgramFolder);
        app::MainWindowPort& window = form.window;
        WriteINI(file, "Settings", "CompanyCode", window.fieldText(app::Field::CompanyCode));
        WriteINI(file, "Settings", "SSTab1", std::to_string(window.currentTab()));
        const std::string& section = form.globals.CurrentCompanyCode;
        WriteINI(file, section, "TextFilePath", window.fieldText(app::Field::TextFile));
        WriteINI(file, section, "MelvarFilePath", window.fieldText(app::Field::Database));
        WriteINI(file, section, "Delimiter", window.fieldText(app::Field::Delimiter));
    } catch (...) {
        report::ReportError("frmMain", "SaveDefaultINI()");
    }
}

}  // namespace settings
