#include "settings/default_ini.h"

#include <filesystem>

#include "report/report_error.h"
#include "settings/ini_funcs.h"

namespace settings {

namespace {

// As a text box assigned its own text: no change, no change handling.
void loadField(form::MainWindowPort& window, form::Field field, const std::string& text) {
    if (window.fieldText(field) != text) window.setFieldText(field, text);
}

}  // namespace

std::string settingsFilePath(const std::string& programFolder) {
    return programFolder + static_cast<char>(std::filesystem::path::preferred_separator) +
           "Import.INI";
}

void ReadDefaultINI(form::Form& form) {
    try {
        const std::string file = settingsFilePath(form.globals.ProgramFolder);
        const std::string& section = form.globals.CurrentCompanyCode;
        loadField(form.window, form::Field::TextFile,
                  ReadINI(file, section, "TextFilePath", kDefaultTextFilePath));
        loadField(form.window, form::Field::Database,
                  ReadINI(file, section, "MelvarFilePath", kDefaultMelvarFilePath));
        loadField(form.window, form::Field::Delimiter,
                  ReadINI(file, section, "Delimiter", kDefaultDelimiter));
    } catch (...) {
        report::ReportError("frmMain", "ReadDefaultINI()");
    }
}

void SaveDefaultINI(form::Form& form) {
    try {
        const std::string file = settingsFilePath(form.globals.ProgramFolder);
        form::MainWindowPort& window = form.window;
        WriteINI(file, "Settings", "CompanyCode", window.fieldText(form::Field::CompanyCode));
        WriteINI(file, "Settings", "SSTab1", std::to_string(window.currentTab()));
        const std::string& section = form.globals.CurrentCompanyCode;
        WriteINI(file, section, "TextFilePath", window.fieldText(form::Field::TextFile));
        WriteINI(file, section, "MelvarFilePath", window.fieldText(form::Field::Database));
        WriteINI(file, section, "Delimiter", window.fieldText(form::Field::Delimiter));
    } catch (...) {
        report::ReportError("frmMain", "SaveDefaultINI()");
    }
}

}  // namespace settings
