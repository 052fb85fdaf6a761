// Whole transfers started from the window's own buttons, offscreen: what the labels, the busy
// pointer and the yields to the event loop add to the transfer itself (bench/transfer_bench runs
// the same transfers with a window that does nothing). Each transfer runs on a fresh copy of the
// company, and its time ends when the completion message appears.
//
// Run by hand from the build folder, on a company written by `veltra-transfer sample`:
//   bench/window_transfer_bench COMPANY_FOLDER [--kinds employee,calc,pm,pd] [--work DIR]
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/window/frm_main.h"
#include "app/window/thai_fonts.h"
#include "report/console_error_report.h"
#include "settings/ini_funcs.h"

namespace fs = std::filesystem;

namespace {

struct Kind {
    const char* name;
    const char* file;
};
const Kind kKinds[] = {{"employee", "EmployeeMaster.txt"},
                       {"calc", "DataCalc.txt"},
                       {"pm", "DataMasterDetail.txt"},
                       {"pd", "DataVariantDetail.txt"}};

struct Outcome {
    double seconds = 0;
    long lines = 0;
    std::string message;
};

Outcome runInWindow(const fs::path& company, const fs::path& work, int kind) {
    fs::remove_all(work);
    fs::create_directories(work / "program");
    for (const auto& entry : fs::directory_iterator(company)) {
        if (entry.is_regular_file()) fs::copy_file(entry.path(), work / entry.path().filename());
    }
    const std::string ini = (work / "program" / "Import.INI").string();
    settings::WriteINI(ini, "Settings", "CompanyCode", "Bench");
    settings::WriteINI(ini, "Bench", "TextFilePath", (work / kKinds[kind].file).string());
    settings::WriteINI(ini, "Bench", "MelvarFilePath", (work / "Melvar.mdb").string());
    settings::WriteINI(ini, "Bench", "Delimiter", ",");

    Outcome outcome;
    app::window::FrmMain window(QString::fromStdString((work / "program").string()));
    window.Form_Load();
    window.show();
    window.port().setFieldText(form::Field::Year, "2005");
    window.port().setFieldText(form::Field::Period, "4");
    QApplication::processEvents();

    const auto start = std::chrono::steady_clock::now();
    // The completion message is modal: take its time and text, then close it.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        if (outcome.seconds == 0) {
            outcome.seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            outcome.message = box->text().toStdString();
        }
        box->accept();
    });
    closer.start(1);
    auto* button = window.findChild<QPushButton*>(QStringLiteral("cmdTransfer_%1").arg(kind));
    if (button != nullptr) button->click();
    closer.stop();
    outcome.lines = window.form().iLineCount;
    window.hide();
    return outcome;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: window_transfer_bench COMPANY_FOLDER [--kinds employee,calc,pm,pd] "
                     "[--work DIR]\n");
        return 2;
    }
    const fs::path company = argv[1];
    fs::path work = fs::temp_directory_path() / "window-transfer-bench";
    std::vector<int> kinds = {0, 1, 2, 3};
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--work") work = argv[i + 1];
        if (option == "--kinds") {
            kinds.clear();
            std::stringstream list(argv[i + 1]);
            std::string name;
            while (std::getline(list, name, ',')) {
                for (int k = 0; k < 4; ++k)
                    if (name == kKinds[k].name) kinds.push_back(k);
            }
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    app::window::installFontSubstitutions();
    report::registerConsoleErrorReport();

    std::printf("| kind | lines | wall s | lines/s | us/line | message |\n");
    std::printf("|---|---:|---:|---:|---:|---|\n");
    for (int kind : kinds) {
        const Outcome o = runInWindow(company, work / kKinds[kind].name, kind);
        std::printf("| %s | %ld | %.3f | %.0f | %.1f | %s |\n", kKinds[kind].name, o.lines,
                    o.seconds, o.seconds > 0 ? o.lines / o.seconds : 0,
                    o.lines ? o.seconds / o.lines * 1e6 : 0, o.message.c_str());
        std::fflush(stdout);
    }
    fs::remove_all(work);
    return 0;
}
