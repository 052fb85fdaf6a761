#include "app/logic/window_session.h"

#include <charconv>
#include <cmath>

#include "app/logic/recovery.h"
#include "data_sources/data_sources.h"
#include "form/frm_main_design.h"
#include "report/report_error.h"
#include "settings/default_ini.h"
#include "settings/ini_funcs.h"
#include "text/language_error.h"

namespace app {

std::string versionText(int major, int minor, int revision) {
    return "Version." + std::to_string(major) + "." + std::to_string(minor) + "." +
           std::to_string(revision);
}

int16_t tabSettingToInteger(const std::string& text) {
    const char* blanks = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(blanks);
    const size_t last = text.find_last_not_of(blanks);
    double number = 0;
    bool ok = first != std::string::npos;
    if (ok) {
        const char* begin = text.data() + first;
        const char* end = text.data() + last + 1;
        if (*begin == '+') ++begin;
        const auto [stop, error] = std::from_chars(begin, end, number);
        ok = error == std::errc() && stop == end && std::isfinite(number);
    }
    if (!ok) throw text::languageError(report::errnum::kTypeMismatch);
    const double rounded = std::nearbyint(number);  // the default rounding mode: half to even
    if (rounded < -32768.0 || rounded > 32767.0)
        throw text::languageError(report::errnum::kOverflow);
    return static_cast<int16_t>(rounded);
}

namespace {

void load(form::Form& form, const std::string& programFolder,
          const std::function<void()>& refreshGrids) {
    form.globals.ProgramFolder = programFolder;
    report::setErrorLogFolder(programFolder);
    const std::string ini = settings::settingsFilePath(programFolder);

    form.globals.CurrentCompanyCode = settings::ReadINI(ini, "Settings", "CompanyCode", "Sample");
    form.window.setFieldText(form::Field::CompanyCode, form.globals.CurrentCompanyCode);

    // Before any grid reads a database: what an interrupted transfer left is put right.
    const RecoveryNotice recovered = recoverDatabases(settings::ReadINI(
        ini, form.globals.CurrentCompanyCode, "MelvarFilePath", settings::kDefaultMelvarFilePath));
    if (!recovered.text.empty()) {
        form.window.messageBox(recovered.text,
                               recovered.setAside ? form::kMsgCritical : form::kMsgOkOnly,
                               "VELTRA Transfer: database recovery");
    }

    settings::ReadDefaultINI(form);
    data_sources::OpenLayoutTable(form);
    refreshGrids();

    const int16_t tab = tabSettingToInteger(settings::ReadINI(ini, "Settings", "SSTab1", "0"));
    if (tab < 0 || tab >= static_cast<int>(form::tabCaptions().size()))
        throw text::languageError(380, "Invalid property value");
    form.window.setCurrentTab(tab);
}

}  // namespace

void loadWindow(form::Form& form, const std::string& programFolder,
                const std::function<void()>& refreshGrids) {
    try {
        load(form, programFolder, refreshGrids);
    } catch (...) {
        report::ReportError("frmMain", "Form_Load()");
    }
}

void unloadWindow(form::Form& form) {
    try {
        settings::SaveDefaultINI(form);
    } catch (...) {
        report::ReportError("frmMain", "Form_Unload()");
    }
}

}  // namespace app
