// Pictures of the window, one per tab, for the documentation. Run by hand from the build folder:
//   QT_QPA_PLATFORM=offscreen tests/app_window_tests --gtest_also_run_disabled_tests
//   --gtest_filter='*WriteScreenshots*'
// writes docs/screenshots/tab-<index>.png (or into $VELTRA_SCREENSHOTS) from the window's own
// rendering. When the engine can
// write rows, the grids show a sample layout.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>
#include <filesystem>

#include "app/window/frm_main.h"
#include "app/window/tab_control.h"
#include "jet/create_sample_schema.h"
#include "jet/database.h"
#include "settings/ini_funcs.h"
#include "support/test_support.h"
#include "app/window/window_test_support.h"

namespace {

namespace fs = std::filesystem;

// A sample layout in every layout table.
void makeSampleLayouts(const fs::path& folder) {
    auto layouts = jet::Database::create(folder / "ImportData.mdb");
    for (const auto& definition : testing_support::layoutTables()) {
        layouts->createTable(definition);
    }
    layouts->table("iEmployee Master")
        .insert({int32_t{1}, "คำนำหน้า", "Title", int32_t{1}, jet::Value()});
    layouts->table("iEmployee Master")
        .insert({int32_t{2}, "รหัสพนักงาน", "Employee#", int32_t{2}, jet::Value()});
    layouts->table("iEmployee Master")
        .insert({int32_t{3}, "ชื่อ", "First name", int32_t{3}, jet::Value()});
    layouts->table("iEmployee Master")
        .insert({int32_t{4}, "วันเกิด", "Birth date", int32_t{4}, "dd/mm/yyyy"});
    for (const char* table : {"iData Calc", "iDataMasterDetail", "iDataVariantDetail"}) {
        layouts->table(table).insert({int32_t{1}, "รหัสพนักงาน", "EMPNO", int32_t{1}});
        layouts->table(table).insert({int32_t{2}, "เงินเดือน", "IEN01", int32_t{2}});
        layouts->table(table).insert({int32_t{3}, "ค่าล่วงเวลา", "IOT01", int32_t{3}});
    }
}

TEST(WindowPictures, DISABLED_WriteScreenshots) {
    window_testing::ensureApplication();
    window_testing::RecordingErrorReports reports;
    testing_support::TempDir folder;
    const fs::path data = folder / "Data";
    fs::create_directories(data);
    makeSampleLayouts(data);
    const std::string ini = folder.path().string() + "/Import.INI";
    settings::WriteINI(ini, "Settings", "CompanyCode", "Sample");
    settings::WriteINI(ini, "Sample", "TextFilePath", "/home/payroll/ข้อมูลประวัติพนักงาน.txt");
    settings::WriteINI(ini, "Sample", "MelvarFilePath", (data / "Melvar.mdb").string());

    app::window::FrmMain window(QString::fromStdString(folder.path().string()));
    window.Form_Load();
    window.show();
    const QString target = qEnvironmentVariable(
        "VELTRA_SCREENSHOTS", QStringLiteral(VELTRA_SOURCE_DIR "/docs/screenshots"));
    QDir().mkpath(target);
    for (int tab = 0; tab < window.tabControl()->count(); ++tab) {
        window.tabControl()->setCurrentIndex(tab);
        QApplication::processEvents();
        EXPECT_TRUE(window.grab().save(QStringLiteral("%1/tab-%2.png").arg(target).arg(tab)));
    }
    window.hide();
}

}  // namespace
