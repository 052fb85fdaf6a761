// frmMain's life: start-up from the settings file, company change, file choice, shut-down, the
// layout grids over ImportData.mdb, transfers started from the window, and the window port.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/window/common_dialog.h"
#include "app/window/frm_main.h"
#include "app/window/layout_table_model.h"
#include "app/window/message_box_error_report.h"
#include "app/window/path_field.h"
#include "app/window/tab_control.h"
#include "app/window/window_test_support.h"
#include "jet/create_sample_schema.h"
#include "jet/database.h"
#include "settings/default_ini.h"
#include "settings/ini_funcs.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using app::window::FrmMain;
using testing_support::TempDir;
using window_testing::ModalCloser;
using window_testing::RecordingErrorReports;

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// A payroll folder: Melvar.mdb with the payroll tables and ImportData.mdb with the four layout
// tables, [iData Calc] mapping column 1 to the employee code and columns 2 and 3 to two pay items.
// An engine failure throws out of the test, failing it.
void makePayrollFolder(const fs::path& folder) {
    fs::create_directories(folder);
    {
        auto layouts = jet::Database::create(folder / "ImportData.mdb");
        for (const auto& definition : testing_support::layoutTables()) {
            layouts->createTable(definition);
        }
        jet::Table calc = layouts->table("iData Calc");
        calc.insert({int32_t{1}, "รหัสพนักงาน", "EMPNO", int32_t{1}});
        calc.insert({int32_t{2}, "เงินเดือน", "IEN01", int32_t{2}});
        calc.insert({int32_t{3}, "ค่าล่วงเวลา", "IOT01", int32_t{3}});
        calc.insert({int32_t{4}, "ไม่ใช้", "IXX99", int32_t{0}});
    }
    auto payroll = jet::Database::create(folder / "Melvar.mdb");
    for (const auto& definition : testing_support::payrollTables()) {
        payroll->createTable(definition);
    }
}

// The rows of a table as text, one line per row, fields joined by '|'.
std::vector<std::string> tableRows(const fs::path& file, const std::string& table) {
    std::vector<std::string> lines;
    auto database = jet::Database::open(file, jet::OpenMode::ReadOnly);
    database->table(table).scan([&](jet::RowId, const jet::Row& row) {
        std::string line;
        for (const jet::Value& value : row) {
            if (!line.empty()) line += '|';
            line += app::window::cellText(value).toStdString();
        }
        lines.push_back(line);
        return true;
    });
    return lines;
}

class FrmMainTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { window_testing::ensureApplication(); }

    std::string ini() const { return settings::settingsFilePath(folder.path().string()); }
    void writeIni(const std::string& section, const std::string& key, const std::string& value) {
        settings::WriteINI(ini(), section, key, value);
    }
    std::string readIni(const std::string& section, const std::string& key) {
        return settings::ReadINI(ini(), section, key, "<absent>");
    }

    template <typename T = QWidget>
    T* control(FrmMain& window, const char* name) {
        auto* found = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString text(FrmMain& window, const char* name) {
        QWidget* widget = control(window, name);
        if (auto* line = qobject_cast<QLineEdit*>(widget)) return line->text();
        if (auto* path = qobject_cast<app::window::PathField*>(widget)) return path->text();
        if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
        return {};
    }

    // Puts the focus in the company-code field of a shown window, then moves it on.
    void typeCompanyCodeAndLeave(FrmMain& window, const QString& code) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        window.tabControl()->setCurrentIndex(0);
        auto* field = control<QLineEdit>(window, "txtCompanyCode");
        field->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(field->hasFocus());
        field->clear();
        QTest::keyClicks(field, code);
        QTest::keyClick(field, Qt::Key_Tab);
        EXPECT_FALSE(field->hasFocus());
    }

    // The payroll folder of makePayrollFolder with calc.txt holding `input`, the files of company
    // "Sample". An engine failure throws out of the test, failing it.
    void makeSampleCompany(const fs::path& payroll, const std::string& input) {
        makePayrollFolder(payroll);
        std::ofstream(payroll / "calc.txt", std::ios::binary) << input;
        writeIni("Sample", "MelvarFilePath", (payroll / "Melvar.mdb").string());
        writeIni("Sample", "TextFilePath", (payroll / "calc.txt").string());
    }

    TempDir folder;
    RecordingErrorReports reports;
    ModalCloser closer;
};

TEST_F(FrmMainTest, StartsWithoutSettingsOnTheFirstTabWithTheDefaults) {
    FrmMain window(q(folder.path().string()));
    window.Form_Load();
    EXPECT_EQ(text(window, "lblVersion"),
              app::window::versionText(VELTRA_VERSION_MAJOR, VELTRA_VERSION_MINOR,
                                       VELTRA_VERSION_REVISION));
    EXPECT_EQ(window.form().globals.ProgramFolder, folder.path().string());
    EXPECT_EQ(window.form().globals.CurrentCompanyCode, "Sample");
    EXPECT_EQ(text(window, "txtCompanyCode"), QStringLiteral("Sample"));
    EXPECT_EQ(text(window, "txtDir_0"), QString::fromUtf8(settings::kDefaultTextFilePath));
    EXPECT_EQ(text(window, "txtDir_1"), QString::fromUtf8(settings::kDefaultMelvarFilePath));
    EXPECT_EQ(text(window, "txtDelimiter"), QStringLiteral(","));
    EXPECT_EQ(text(window, "txtYear_0"), QStringLiteral("2005"));
    EXPECT_EQ(text(window, "txtPeriod_0"), QStringLiteral("4"));
    EXPECT_EQ(window.tabControl()->currentIndex(), 0);
    EXPECT_EQ(window.form().globals.DataFolder, "C:\\Program Files\\Payroll\\Sample\\Data");
    // The default database folder does not exist here: only the layout tables fail to open.
    for (const std::string& context : reports.contexts()) EXPECT_EQ(context, "OpenLayoutTable()");
    EXPECT_FALSE(fs::exists(ini())) << "start-up writes nothing";
}

TEST_F(FrmMainTest, VersionTextJoinsTheThreeNumbers) {
    EXPECT_EQ(app::window::versionText(2, 0, 15), QStringLiteral("Version.2.0.15"));
    EXPECT_EQ(app::window::versionText(1, 4908, 2), QStringLiteral("Version.1.4908.2"));
}

TEST_F(FrmMainTest, StoredTabIsSelectedAndABadOneIsReportedLeavingTabOne) {
    writeIni("Settings", "CompanyCode", "ACME");
    writeIni("ACME", "Delimiter", "|");
    struct Case {
        const char* stored;
        int tab;
        bool reported;
    };
    const Case cases[] = {{"5", 5, false}, {" 6 ", 6, false}, {"", 1, true},     {"x", 1, true},
                          {"7", 1, true},  {"-1", 1, true},   {"70000", 1, true}};
    for (const Case& c : cases) {
        writeIni("Settings", "SSTab1", c.stored);
        RecordingErrorReports fresh;
        FrmMain window(q(folder.path().string()));
        window.Form_Load();
        EXPECT_EQ(window.tabControl()->currentIndex(), c.tab) << "SSTab1=" << c.stored;
        const auto contexts = fresh.contexts();
        const bool reported =
            std::find(contexts.begin(), contexts.end(), "Form_Load()") != contexts.end();
        EXPECT_EQ(reported, c.reported) << "SSTab1=" << c.stored;
        if (reported) {
            EXPECT_EQ(fresh.reports().back().owner, "frmMain");
        }
        // Everything before the failing step is loaded.
        EXPECT_EQ(text(window, "txtCompanyCode"), QStringLiteral("ACME"));
        EXPECT_EQ(text(window, "txtDelimiter"), QStringLiteral("|"));
    }
}

TEST_F(FrmMainTest, LeavingTheCompanyFieldLoadsThatCompanysValues) {
    writeIni("A", "TextFilePath", "/data/a.txt");
    writeIni("A", "MelvarFilePath", "/data/a/Melvar.mdb");
    writeIni("A", "Delimiter", ";");
    writeIni("Settings", "CompanyCode", "A");
    FrmMain window(q(folder.path().string()));
    window.Form_Load();
    ASSERT_EQ(text(window, "txtDir_0"), QStringLiteral("/data/a.txt"));

    // Unsaved edits are replaced even when the code is left as it was.
    control<QLineEdit>(window, "txtDelimiter")->setText(QStringLiteral("#"));
    typeCompanyCodeAndLeave(window, QStringLiteral("A"));
    EXPECT_EQ(text(window, "txtDelimiter"), QStringLiteral(";"));

    typeCompanyCodeAndLeave(window, QStringLiteral("New"));
    EXPECT_EQ(window.form().globals.CurrentCompanyCode, "New");
    EXPECT_EQ(text(window, "txtDir_0"), QString::fromUtf8(settings::kDefaultTextFilePath));
    EXPECT_EQ(text(window, "txtDir_1"), QString::fromUtf8(settings::kDefaultMelvarFilePath));
    EXPECT_EQ(window.form().globals.DataFolder, "C:\\Program Files\\Payroll\\Sample\\Data");
    EXPECT_EQ(text(window, "txtDelimiter"), QStringLiteral(","));
    window.hide();
}

TEST_F(FrmMainTest, ClosingSavesTheSettingsByCloseBoxOrExitButton) {
    for (const bool byButton : {false, true}) {
        FrmMain window(q(folder.path().string()));
        window.Form_Load();
        window.show();
        // The second run starts with the code the first one saved.
        const std::string current = window.form().globals.CurrentCompanyCode;
        EXPECT_EQ(current, byButton ? "Box" : "Sample");
        const std::string typed = byButton ? "Button" : "Box";
        // The field's text goes to "Settings"; the values go to the current company's section,
        // which only leaving the field would change.
        control<QLineEdit>(window, "txtCompanyCode")->setText(q(typed));
        control<app::window::PathField>(window, "txtDir_0")->setText(q("/in/" + typed + ".txt"));
        control<QLineEdit>(window, "txtDelimiter")->setText(QStringLiteral(";"));
        window.tabControl()->setCurrentIndex(byButton ? 3 : 4);
        if (byButton) {
            QTest::mouseClick(control<QPushButton>(window, "cmdExit"), Qt::LeftButton);
        } else {
            window.close();
        }
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(readIni("Settings", "CompanyCode"), typed);
        EXPECT_EQ(readIni("Settings", "SSTab1"), byButton ? "3" : "4");
        EXPECT_EQ(readIni(current, "TextFilePath"), "/in/" + typed + ".txt");
        EXPECT_EQ(readIni(current, "MelvarFilePath"), settings::kDefaultMelvarFilePath);
        EXPECT_EQ(readIni(current, "Delimiter"), ";");
        if (byButton) {
            EXPECT_EQ(readIni(typed, "TextFilePath"), "<absent>");
        }
    }
    const std::vector<std::string> contexts = reports.contexts();
    EXPECT_EQ(std::count(contexts.begin(), contexts.end(), "Form_Unload()"), 0);
}

TEST_F(FrmMainTest, AltXLeavesAndSavesOnce) {
    FrmMain window(q(folder.path().string()));
    window.Form_Load();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_X, Qt::AltModifier);
    // An access key presses the button visibly: the click follows a moment later.
    for (int waited = 0; window.isVisible() && waited < 2000; waited += 10) QTest::qWait(10);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(readIni("Settings", "SSTab1"), "0");
    // A second close (the program ending) does not save again over what the first one wrote.
    settings::WriteINI(ini(), "Settings", "SSTab1", "6");
    window.close();
    EXPECT_EQ(readIni("Settings", "SSTab1"), "6");
}

TEST_F(FrmMainTest, FileButtonsFillTheirFieldAndCancelLeavesIt) {
    FrmMain window(q(folder.path().string()));
    window.Form_Load();
    QString offered;
    std::optional<QString> answer;
    window.cdl1()->setChooser([&](QWidget*, const QString& current) {
        offered = current;
        return answer;
    });
    auto* field = control<app::window::PathField>(window, "txtDir_0");
    answer = std::nullopt;
    window.cmdSelectDir_Click(0);
    EXPECT_EQ(offered, QString::fromUtf8(settings::kDefaultTextFilePath));
    EXPECT_EQ(field->text(), QString::fromUtf8(settings::kDefaultTextFilePath));

    answer = QStringLiteral("/home/pay/ข้อมูล.txt");
    QTest::mouseClick(control<QPushButton>(window, "cmdSelectDir_0"), Qt::LeftButton);
    EXPECT_EQ(field->text(), QStringLiteral("/home/pay/ข้อมูล.txt"));
    EXPECT_EQ(window.form().globals.DataFolder, "C:\\Program Files\\Payroll\\Sample\\Data")
        << "the text file's field derives nothing";
}

TEST_F(FrmMainTest, TheFileDialogStartsAtTheFieldsFileAndGivesTheChosenPath) {
    const fs::path start = folder / "in" / "old.txt";
    const fs::path chosen = folder / "in" / "ข้อมูลใหม่.txt";
    fs::create_directories(start.parent_path());
    std::ofstream(start).put('x');
    std::ofstream(chosen).put('x');
    FrmMain window(q(folder.path().string()));
    auto* field = control<app::window::PathField>(window, "txtDir_0");
    field->setText(q(start.string()));

    QString startedIn;
    bool accept = false;
    closer.setOther([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        startedIn = dialog->directory().absolutePath();
        if (!accept) {
            dialog->reject();
            return;
        }
        dialog->selectFile(q(chosen.string()));
        static_cast<QDialog*>(dialog)->accept();  // public as a QDialog
    });
    window.cmdSelectDir_Click(0);
    EXPECT_EQ(startedIn.toStdString(), start.parent_path().string());
    EXPECT_EQ(field->text().toStdString(), start.string()) << "cancel leaves the field";
    accept = true;
    window.cmdSelectDir_Click(0);
    EXPECT_EQ(field->text().toStdString(), chosen.string());
    EXPECT_TRUE(reports.reports().empty());
}

TEST_F(FrmMainTest, ChoosingADatabaseElsewhereShowsThatFoldersLayouts) {
    const fs::path payroll = folder / "payroll";
    makePayrollFolder(payroll);
    FrmMain window(q(folder.path().string()));
    window.Form_Load();
    auto* calc = control<QTableView>(window, "grdiDataCalc");
    EXPECT_EQ(calc->model()->rowCount(), 0);
    window.cdl1()->setChooser(
        [&](QWidget*, const QString&) { return q((payroll / "Melvar.mdb").string()); });
    window.cmdSelectDir_Click(1);
    EXPECT_EQ(window.form().globals.DataFolder, payroll.string());
    ASSERT_EQ(calc->model()->rowCount(), 4);
    EXPECT_EQ(calc->model()->index(1, 1).data().toString(), QStringLiteral("เงินเดือน"));
    EXPECT_EQ(calc->model()->index(3, 3).data().toString(), QStringLiteral("0"));
    EXPECT_EQ(control<QTableView>(window, "DataGrid1")->model()->rowCount(), 0);
}

TEST_F(FrmMainTest, GridEditsAreWrittenToImportDataAndBadOnesRefused) {
    const fs::path payroll = folder / "payroll";
    makePayrollFolder(payroll);
    writeIni("Sample", "MelvarFilePath", (payroll / "Melvar.mdb").string());
    FrmMain window(q(folder.path().string()));
    window.Form_Load();
    QAbstractItemModel* model = control<QTableView>(window, "grdiDataCalc")->model();
    ASSERT_EQ(model->rowCount(), 4);

    EXPECT_TRUE(model->setData(model->index(2, 3), QStringLiteral("5")));
    EXPECT_TRUE(model->setData(model->index(2, 1), QStringLiteral("โบนัส")));
    EXPECT_FALSE(model->setData(model->index(1, 3), QStringLiteral("สอง")));
    EXPECT_FALSE(model->setData(model->index(1, 0), QStringLiteral("1")));
    EXPECT_EQ(model->index(1, 3).data().toString(), QStringLiteral("2"));
    ASSERT_EQ(closer.seen().size(), 2u);
    EXPECT_EQ(closer.seen()[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(closer.seen()[0].text.contains(QStringLiteral("FieldNo")));

    EXPECT_TRUE(model->insertRows(model->rowCount(), 1));
    EXPECT_TRUE(model->removeRows(0, 1));
    const std::vector<std::string> expected = {"2|เงินเดือน|IEN01|2", "3|โบนัส|IOT01|5",
                                               "4|ไม่ใช้|IXX99|0", "5|||0"};
    std::vector<std::string> stored = tableRows(payroll / "ImportData.mdb", "iData Calc");
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, expected);
}

TEST_F(FrmMainTest, TransferButtonRunsTheTransferAndASecondClickIsRefusedVisibly) {
    const fs::path payroll = folder / "payroll";
    makeSampleCompany(payroll, "E001,15000,250\r\nE002,12000,0\r\n");
    FrmMain window(q(folder.path().string()));
    window.Form_Load();
    window.show();
    auto* button = control<QPushButton>(window, "cmdTransfer_1");
    window.tabControl()->setCurrentIndex(5);

    // While the transfer yields to the event loop, the same button is clicked again.
    int nestedClicks = 0;
    QString countDuringTransfer, noticeAfterClick;
    bool otherButtonLive = false, progressShown = false;
    QTimer::singleShot(0, &window, [&] {
        ++nestedClicks;
        countDuringTransfer = text(window, "lblRecordCount");
        otherButtonLive = control<QPushButton>(window, "cmdTransfer_2")->isEnabled();
        progressShown = window.progressBar()->isVisible() && window.progressBar()->value() > 0;
        button->click();
        noticeAfterClick = window.noticeLabel()->text();
    });
    QString statusAtCompletion;
    closer.setOnBox([&](const window_testing::SeenBox&) {
        statusAtCompletion = text(window, "lblProcessStatus");
    });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(nestedClicks, 1);
    EXPECT_FALSE(countDuringTransfer.isEmpty()) << "the labels show the progress";
    EXPECT_TRUE(otherButtonLive) << "the buttons stay enabled during a transfer";
    EXPECT_TRUE(progressShown) << "the share of the file read";
    EXPECT_FALSE(window.progressBar()->isVisible());
    EXPECT_TRUE(noticeAfterClick.startsWith(QStringLiteral("กำลังโอนข้อมูลอยู่")))
        << noticeAfterClick.toStdString();
    EXPECT_TRUE(window.noticeLabel()->text().isEmpty()) << "the notice goes with the transfer";
    // The result stays after the status labels cleared.
    EXPECT_EQ(text(window, "lblProcessStatus"), QString());
    const QString result = window.resultPanel()->toPlainText();
    EXPECT_TRUE(result.contains(QStringLiteral("โอนข้อมูล [Data Calc]: โอนข้อมูลเสร็จเรียบร้อย")))
        << result.toStdString();
    EXPECT_TRUE(result.contains(QStringLiteral("อ่าน 2 บรรทัด, โอนแล้ว 2 บรรทัด")))
        << result.toStdString();
    EXPECT_TRUE(result.contains(QStringLiteral("เขียนแถวใหม่ 3 แถว"))) << result.toStdString();
    EXPECT_FALSE(window.form().transferRunning);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // One transfer ran, with its one completion message: the non-zero amounts of both lines.
    ASSERT_EQ(closer.seen().size(), 1u);
    EXPECT_EQ(closer.seen()[0].text, QStringLiteral("โอนข้อมูลเสร็จเรียบร้อยแล้ว "));
    EXPECT_EQ(closer.seen()[0].title, QStringLiteral("โอนข้อมูลไป VELTRA Payroll"));
    EXPECT_EQ(statusAtCompletion, QStringLiteral("สิ้นสุดการโอนข้อมูล ข้อมูลสุดท้าย 'E002,12000,0'"));
    EXPECT_EQ(tableRows(payroll / "Melvar.mdb", "Data Calc").size(), 3u);
    for (const std::string& context : reports.contexts()) EXPECT_EQ(context, "OpenLayoutTable()");
    window.hide();
}

TEST_F(FrmMainTest, CheckChangesNothingAndUndoTakesTheTransferBackAfterAskingByName) {
    const fs::path payroll = folder / "payroll";
    makeSampleCompany(payroll, "E001,15000,250\r\nE002,12000,0\r\n");
    FrmMain window(q(folder.path().string()));
    window.Form_Load();
    window.show();
    auto* undo = control<QPushButton>(window, "cmdUndoTransfer");
    EXPECT_FALSE(undo->isEnabled()) << "nothing to undo yet";
    window.tabControl()->setCurrentIndex(5);

    QTest::mouseClick(control<QPushButton>(window, "cmdCheckFile_1"), Qt::LeftButton);
    EXPECT_TRUE(
        window.resultPanel()->toPlainText().contains(QStringLiteral("ตรวจสอบไฟล์แล้ว ทุกบรรทัดโอนได้")))
        << window.resultPanel()->toPlainText().toStdString();
    EXPECT_EQ(tableRows(payroll / "Melvar.mdb", "Data Calc").size(), 0u);
    EXPECT_FALSE(undo->isEnabled());

    QTest::mouseClick(control<QPushButton>(window, "cmdTransfer_1"), Qt::LeftButton);
    EXPECT_EQ(tableRows(payroll / "Melvar.mdb", "Data Calc").size(), 3u);
    EXPECT_TRUE(undo->isEnabled());

    // The question names the transfer; the user answers yes.
    QString question;
    closer.setOnBox([&](const window_testing::SeenBox& box) {
        if (box.text.startsWith(QStringLiteral("ยกเลิกการโอนครั้งล่าสุดหรือไม่"))) {
            question = box.text;
            // The closer then presses the default button.
            auto* open = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (open) open->setDefaultButton(QMessageBox::Yes);
        }
    });
    window.tabControl()->setCurrentIndex(0);
    QTest::mouseClick(undo, Qt::LeftButton);
    EXPECT_TRUE(question.contains(QStringLiteral("calc [Data Calc]"))) << question.toStdString();
    EXPECT_TRUE(question.contains(QString::fromStdString((payroll / "calc.txt").string())));
    EXPECT_TRUE(question.contains(QStringLiteral("โอนแล้ว 2 บรรทัด"))) << question.toStdString();
    ASSERT_FALSE(closer.seen().empty());
    EXPECT_TRUE(closer.seen().back().text.startsWith(QStringLiteral("ยกเลิกการโอนเรียบร้อยแล้ว")))
        << closer.seen().back().text.toStdString();
    EXPECT_EQ(tableRows(payroll / "Melvar.mdb", "Data Calc").size(), 0u);
    EXPECT_FALSE(undo->isEnabled());
    window.hide();
}

TEST_F(FrmMainTest, PortShowsBoxesInThreeStylesAndSetsBusyPointerAndLabels) {
    FrmMain window(q(folder.path().string()));
    form::MainWindowPort& port = window.port();
    port.messageBox("บรรทัดแรก\r\nบรรทัดสอง", form::kMsgOkOnly, "หัวเรื่อง");
    port.messageBox("stop", form::kMsgCritical, "t");
    port.messageBox("ask", form::kMsgQuestion, "t");
    ASSERT_EQ(closer.seen().size(), 3u);
    EXPECT_EQ(closer.seen()[0].text, QStringLiteral("บรรทัดแรก\nบรรทัดสอง"));
    EXPECT_EQ(closer.seen()[0].title, QStringLiteral("หัวเรื่อง"));
    EXPECT_EQ(closer.seen()[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(closer.seen()[1].icon, QMessageBox::Critical);
    EXPECT_EQ(closer.seen()[2].icon, QMessageBox::Question);

    port.setMousePointer(form::kPointerHourglass);
    port.setMousePointer(form::kPointerHourglass);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    port.setMousePointer(form::kPointerDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "set twice, restored once";

    port.setLabelCaption(form::Label::RecordCount, "12");
    EXPECT_EQ(port.labelCaption(form::Label::RecordCount), "12");
    EXPECT_EQ(text(window, "lblRecordCount"), QStringLiteral("12"));
    auto* status = control<QLabel>(window, "lblProcessStatus");
    EXPECT_EQ(status->width(), 92) << "as designed while the caption fits";
    // A long caption widens its label towards the exit button, never under it, by the time the
    // window next handles events (measuring the text for every line would slow a transfer).
    port.setLabelCaption(form::Label::ProcessStatus, "กำลังโอนข้อมูล รหัส: 0000012345");
    QApplication::processEvents();
    EXPECT_GE(status->width(), status->sizeHint().width());
    port.setLabelCaption(form::Label::ProcessStatus, std::string(200, 'W'));
    QApplication::processEvents();
    EXPECT_LT(status->geometry().right(), control(window, "cmdExit")->x());
    port.setLabelCaption(form::Label::ProcessStatus, "");
    QApplication::processEvents();
    EXPECT_EQ(status->width(), 92);
    port.setFieldText(form::Field::Year, "2026");
    EXPECT_EQ(text(window, "txtYear_0"), QStringLiteral("2026"));
    EXPECT_EQ(port.fieldText(form::Field::Delimiter), ",");

    // Setting the database field runs the path-change handling, as typing does.
    port.setFieldText(form::Field::Database, "/srv/pay/data/Melvar.mdb");
    EXPECT_EQ(window.form().globals.DataFolder, "/srv/pay/data");
    port.setFieldText(form::Field::Database, "short.mdb");
    EXPECT_EQ(window.form().globals.DataFolder, "/srv/pay/data");
    const auto contexts = reports.contexts();
    EXPECT_NE(std::find(contexts.begin(), contexts.end(), "txtDir(1)_Change"), contexts.end());
    port.setCurrentTab(6);
    EXPECT_EQ(port.currentTab(), 6);
}

// The window's own error report component, with errors.log beside the program.
class FrmMainReportTest : public FrmMainTest {
  protected:
    void SetUp() override { app::window::registerMessageBoxErrorReport(); }
    long loggedReports(const std::string& context) {
        const std::string log = testing_support::readFile(folder / "errors.log");
        long count = 0;
        for (size_t at = log.find(context); at != std::string::npos; at = log.find(context, at + 1))
            ++count;
        return count;
    }
};

TEST_F(FrmMainReportTest, TheFirstStartShowsNoBoxAndTellsTheMissingLayoutsOnce) {
    FrmMain window(q(folder.path().string()));
    window.Form_Load();
    EXPECT_TRUE(closer.seen().empty());
    EXPECT_EQ(text(window, "txtDir_1"), QString::fromUtf8(settings::kDefaultMelvarFilePath));
    const QString notice = window.noticeLabel()->text();
    EXPECT_TRUE(notice.startsWith(
        QStringLiteral("ไม่พบ ImportData.mdb ในโฟลเดอร์ ") +
        QDir::toNativeSeparators(QStringLiteral("C:/Program Files/Payroll/Sample/Data"))))
        << notice.toStdString();
    EXPECT_EQ(notice.count(QStringLiteral("ไม่พบ")), 1);
    // Each opening (the path change and the start-up's own) is in the log.
    EXPECT_EQ(loggedReports("OpenLayoutTable()"), 2);
}

TEST_F(FrmMainReportTest, ABadPathTypedLetterByLetterIsToldOnceAndLoggedEveryTime) {
    const fs::path payroll = folder / "payroll";
    makePayrollFolder(payroll);
    FrmMain window(q(folder.path().string()));
    window.Form_Load();
    auto* field = control<app::window::PathField>(window, "txtDir_1");
    field->setText(QString());
    const QString typed = QStringLiteral("/nowhere/co/Melvar.mdb");
    QTest::keyClicks(field, typed);
    ASSERT_EQ(field->text(), typed);
    EXPECT_TRUE(closer.seen().empty()) << "no box while typing";
    EXPECT_EQ(window.noticeLabel()->text().count(QStringLiteral("ไม่พบ")), 1);
    EXPECT_TRUE(window.noticeLabel()->text().startsWith(
        QStringLiteral("ไม่พบ ImportData.mdb ในโฟลเดอร์ ") +
        QDir::toNativeSeparators(QStringLiteral("/nowhere/co"))))
        << window.noticeLabel()->text().toStdString();
    // Every change of the field still opened the layouts and reported its failure: the emptied
    // field and the first ten letters are too short for a database path.
    EXPECT_EQ(loggedReports("txtDir(1)_Change"), 11);
    EXPECT_GE(loggedReports("OpenLayoutTable()"), 12 + 2);
    // A path whose folder holds the layouts clears the notice.
    field->setText(q((payroll / "Melvar.mdb").string()));
    EXPECT_TRUE(window.noticeLabel()->text().isEmpty());
}

TEST_F(FrmMainTest, AFailedLineLeavesItsLineColumnAndReasonInTheResult) {
    const fs::path payroll = folder / "payroll";
    makeSampleCompany(payroll, "E001,15000,250\r\nE002,12x,0\r\n");
    FrmMain window(q(folder.path().string()));
    window.Form_Load();
    window.show();
    window.cmdTransfer_Click(1);
    ASSERT_EQ(closer.seen().size(), 1u);
    EXPECT_EQ(closer.seen()[0].title, QStringLiteral("โอนข้อมูล [Data Calc]"));
    const QString result = window.resultPanel()->toPlainText();
    for (const char* part :
         {"โอนข้อมูลไม่สำเร็จที่บรรทัด 2", "อ่าน 2 บรรทัด, โอนแล้ว 1 บรรทัด", "บรรทัดที่ 2: 'E002,12x,0'",
          "คอลัมน์: แถวที่ 2 ของรูปแบบ, ฟิลด์ IEN01, ค่า '12x'", "สาเหตุ: ชนิดข้อมูลไม่ตรงกัน"}) {
        EXPECT_TRUE(result.contains(QString::fromUtf8(part))) << part << "\n"
                                                              << result.toStdString();
    }
    const std::string log = testing_support::readFile(folder / "transfers.log");
    EXPECT_NE(log.find("บรรทัดที่ 2: 'E002,12x,0'"), std::string::npos) << log;
    const std::string errors = testing_support::readFile(folder / "errors.log");
    EXPECT_NE(errors.find("cmdTransfer(1): บรรทัดที่ 2: 'E002,12x,0'"), std::string::npos) << errors;
    window.hide();
}

TEST_F(FrmMainTest, ClosingDuringATransferAsksAndIfConfirmedStopsAfterTheLine) {
    const fs::path payroll = folder / "payroll";
    makeSampleCompany(payroll, "E001,15000,250\r\nE002,12000,0\r\n");
    for (const bool confirm : {false, true}) {
        FrmMain window(q(folder.path().string()));
        window.Form_Load();
        window.show();
        window.tabControl()->setCurrentIndex(5);
        QTimer::singleShot(0, &window, [&] { window.close(); });
        closer.setOnBox([&](const window_testing::SeenBox& box) {
            auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (confirm && question && box.icon == QMessageBox::Question)
                question->setDefaultButton(QMessageBox::Yes);
        });
        const size_t boxesBefore = closer.seen().size();
        window.cmdTransfer_Click(1);
        ASSERT_GT(closer.seen().size(), boxesBefore);
        EXPECT_EQ(closer.seen()[boxesBefore].icon, QMessageBox::Question);
        EXPECT_EQ(closer.seen()[boxesBefore].title, QStringLiteral("โอนข้อมูลไป VELTRA Payroll"));
        EXPECT_FALSE(window.form().transferRunning);
        if (!confirm) {
            // Not confirmed: the transfer ran to its end and the window stays.
            EXPECT_TRUE(window.isVisible());
            EXPECT_EQ(window.form().result.outcome, form::TransferOutcome::Completed);
            EXPECT_EQ(readIni("Settings", "SSTab1"), "<absent>");
            window.hide();
            continue;
        }
        // Confirmed: line 1 stays, line 2 never ran, and the window unloaded as usual.
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(window.form().result.outcome, form::TransferOutcome::Stopped);
        EXPECT_EQ(window.form().result.linesTransferred, 1);
        EXPECT_EQ(closer.seen().size(), boxesBefore + 1) << "no completion message";
        EXPECT_EQ(readIni("Settings", "SSTab1"), "5");
    }
    closer.setOnBox({});
}

TEST_F(FrmMainTest, YearPeriodAndBankCodeHaveAccessKeys) {
    FrmMain window(q(folder.path().string()));
    window.Form_Load();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const struct {
        Qt::Key key;
        const char* field;
        int tab;
    } keys[] = {
        {Qt::Key_Y, "txtYear_0", 5}, {Qt::Key_P, "txtPeriod_0", 5}, {Qt::Key_B, "txtBankCode", 1}};
    for (const auto& k : keys) {
        window.tabControl()->setCurrentIndex(0);
        QTest::keyClick(&window, k.key, Qt::AltModifier);
        EXPECT_TRUE(control(window, k.field)->hasFocus()) << k.field;
        EXPECT_EQ(window.tabControl()->currentIndex(), k.tab) << k.field;
    }
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    window.hide();
}

TEST_F(FrmMainTest, MessageBoxErrorReportShowsTheFiveValues) {
    app::window::MessageBoxErrorReport component;
    component.setErrorNumber(3024);
    component.setErrorDescription("Could not find file 'x.mdb'.");
    component.setErrorSource("Microsoft JET Database Engine");
    component.setOwnerName("frmMain");
    component.setContext("OpenLayoutTable()");
    component.report();
    ASSERT_EQ(closer.seen().size(), 1u);
    const QString shown = closer.seen()[0].text;
    for (const char* part : {"3024", "Could not find file 'x.mdb'.",
                             "Microsoft JET Database Engine", "frmMain", "OpenLayoutTable()"}) {
        EXPECT_TRUE(shown.contains(QString::fromUtf8(part))) << part;
    }
    EXPECT_LT(shown.indexOf(QStringLiteral("frmMain")),
              shown.indexOf(QStringLiteral("OpenLayoutTable")));
    EXPECT_EQ(closer.seen()[0].icon, QMessageBox::Critical);
}

}  // namespace

namespace {

// Before any grid reads the databases of the settings, what an interrupted writer left beside
// them is dealt with: here a journal that is not the payroll file's is set aside, and said so.
TEST_F(FrmMainTest, AtStartAJournalThatIsNotTheDatabasesIsSetAsideAndSaidSo) {
    const fs::path payroll = folder / "payroll";
    makePayrollFolder(payroll);
    const fs::path journal = payroll / "Melvar.mdb.jnl";
    std::ofstream(journal, std::ios::binary) << "a journal of some other program";
    writeIni("Sample", "MelvarFilePath", (payroll / "Melvar.mdb").string());
    FrmMain window(q(folder.path().string()));
    window.Form_Load();
    ASSERT_EQ(closer.seen().size(), 1u);
    EXPECT_EQ(closer.seen()[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(closer.seen()[0].text.contains(QStringLiteral("does not belong to")));
    EXPECT_FALSE(fs::exists(journal));
    EXPECT_TRUE(fs::exists(payroll / "Melvar.mdb.jnl-unmatched"));
    EXPECT_EQ(control<QTableView>(window, "grdiDataCalc")->model()->rowCount(), 4);
}

}  // namespace

TEST_F(FrmMainTest, CompactAsksThenTellsTheSizesAndIsRefusedDuringATransfer) {
    const fs::path payroll = folder / "payroll";
    makeSampleCompany(payroll, "E001,15000,250\r\n");
    FrmMain window(q(folder.path().string()));
    window.Form_Load();
    auto* button = control<QPushButton>(window, "cmdCompact");
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(window.tabControl()->page(0)->isAncestorOf(button));

    // Not confirmed: nothing happens after the question.
    const std::string before = testing_support::readFile(payroll / "Melvar.mdb");
    button->click();
    ASSERT_EQ(closer.seen().size(), 1u);
    EXPECT_EQ(closer.seen()[0].icon, QMessageBox::Question);
    EXPECT_EQ(testing_support::readFile(payroll / "Melvar.mdb"), before);

    closer.setOnBox([&](const window_testing::SeenBox& box) {
        auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (question && box.icon == QMessageBox::Question)
            question->setDefaultButton(QMessageBox::Yes);
    });
    button->click();
    ASSERT_EQ(closer.seen().size(), 3u);
    EXPECT_NE(closer.seen()[2].icon, QMessageBox::Critical) << closer.seen()[2].text.toStdString();
    EXPECT_TRUE(closer.seen()[2].text.contains(QStringLiteral("Before")))
        << closer.seen()[2].text.toStdString();
    EXPECT_FALSE(fs::exists(payroll / "Melvar.mdb.bak"));

    window.form().transferRunning = true;
    button->click();
    ASSERT_EQ(closer.seen().size(), 4u);
    EXPECT_EQ(closer.seen()[3].icon, QMessageBox::Critical);
    window.form().transferRunning = false;
}
