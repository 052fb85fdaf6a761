// The Windows window driven by its controls' messages, under wine on Linux: the design's places
// and texts, the tabs, a grid edit reaching ImportData.mdb, transfers from the four buttons
// against veltra-transfer's, the message boxes and the settings written on close.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/window_win32/error_report_box.h"
#include "app/window_win32/layout_list_view.h"
#include "app/window_win32/main_window.h"
#include "app/window_win32/wide_text.h"
#include "form/frm_main_design.h"
#include "jet/create_sample_schema.h"
#include "jet/database.h"
#include "jet/path_text.h"
#include "settings/ini_funcs.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using app::window_win32::MainWindow;
using app::window_win32::utf8;
using app::window_win32::windowText;
using testing_support::TempDir;

// A message box as it came up: its title, its text and its icon.
struct SeenBox {
    std::string title;
    std::string text;
    bool stopIcon = false;
    bool questionIcon = false;
};

// While alive, answers every message box of this thread the moment it is activated, and keeps
// what it showed. The answer is the box's first button (OK, or Yes of a question).
class BoxAnswerer {
  public:
    BoxAnswerer() {
        current_ = this;
        hook_ = SetWindowsHookExW(WH_CBT, hookProc, nullptr, GetCurrentThreadId());
    }
    ~BoxAnswerer() {
        UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    const std::vector<SeenBox>& seen() const { return seen_; }
    void clear() { seen_.clear(); }
    // Called for each box while it is up, before it is answered.
    void setOnBox(std::function<void()> onBox) { onBox_ = std::move(onBox); }

  private:
    static LRESULT CALLBACK hookProc(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_ACTIVATE && current_ != nullptr) {
            HWND box = reinterpret_cast<HWND>(wParam);
            wchar_t className[32] = {};
            GetClassNameW(box, className, 32);
            if (std::wstring(className) == L"#32770") current_->answer(box);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    void answer(HWND box) {
        SeenBox seen;
        seen.title = windowText(box);
        seen.text = windowText(GetDlgItem(box, 0xFFFF));  // the message's static control
        // The icon is the box's static control of the icon style, showing a standard icon.
        HWND icon = nullptr;
        for (HWND child = GetWindow(box, GW_CHILD); child != nullptr && icon == nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            if ((GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) icon = child;
        }
        const HICON shown =
            icon ? reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0)) : nullptr;
        seen.stopIcon = shown != nullptr && shown == LoadIconW(nullptr, IDI_HAND);
        seen.questionIcon = shown != nullptr && shown == LoadIconW(nullptr, IDI_QUESTION);
        seen_.push_back(seen);
        if (onBox_) onBox_();
        const int button = GetDlgItem(box, IDYES) != nullptr ? IDYES : IDOK;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    }

    static inline BoxAnswerer* current_ = nullptr;
    HHOOK hook_;
    std::vector<SeenBox> seen_;
    std::function<void()> onBox_;
};

// The rows of a table through the engine's own export: its header, then the rows sorted, so the
// same rows in any order compare equal.
std::vector<std::string> exportedRows(const fs::path& database, const std::string& table) {
    int status = -1;
    std::string csv = testing_support::runProgram(
        "jetdb", {"export", jet::utf8FromPath(database), table}, &status);
    EXPECT_EQ(status, 0) << table;
    std::vector<std::string> rows = testing_support::splitLines(csv);
    if (!rows.empty()) std::sort(rows.begin() + 1, rows.end());
    return rows;
}

RECT clientRect(HWND parent, HWND control) {
    RECT box{};
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&box), 2);
    return box;
}

class Win32WindowTest : public ::testing::Test {
  protected:
    void SetUp() override { app::window_win32::registerErrorReportBox(); }

    std::string ini() const { return jet::utf8FromPath(folder.path() / "Import.INI"); }
    void writeIni(const std::string& section, const std::string& key, const std::string& value) {
        settings::WriteINI(ini(), section, key, value);
    }

    std::unique_ptr<MainWindow> openWindow() {
        auto window = std::make_unique<MainWindow>(jet::utf8FromPath(folder.path()));
        EXPECT_TRUE(window->create(GetModuleHandleW(nullptr)));
        window->Form_Load();
        ShowWindow(window->hwnd(), SW_SHOW);
        pump();
        return window;
    }

    // Handles what the window has pending (paints, posted clicks) until the queue is empty.
    static void pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    // A payroll folder with ImportData.mdb's four layouts, [iData Calc] filled, and Melvar.mdb.
    fs::path makeLayoutCompany() {
        const fs::path payroll = folder / "payroll";
        fs::create_directories(payroll);
        {
            auto layouts = jet::Database::create(payroll / "ImportData.mdb");
            for (const auto& definition : testing_support::layoutTables()) {
                layouts->createTable(definition);
            }
            jet::Table calc = layouts->table("iData Calc");
            calc.insert({int32_t{1}, "รหัสพนักงาน", "EMPNO", int32_t{1}});
            calc.insert({int32_t{2}, "เงินเดือน", "IEN01", int32_t{2}});
        }
        auto database = jet::Database::create(payroll / "Melvar.mdb");
        for (const auto& definition : testing_support::payrollTables()) {
            database->createTable(definition);
        }
        writeIni("Sample", "MelvarFilePath", jet::utf8FromPath(payroll / "Melvar.mdb"));
        return payroll;
    }

    TempDir folder;
    BoxAnswerer boxes;
};

TEST_F(Win32WindowTest, EveryControlSitsWhereTheDesignPutsItWithItsInitialText) {
    MainWindow window(jet::utf8FromPath(folder.path()));
    ASSERT_TRUE(window.create(GetModuleHandleW(nullptr)));
    RECT client{};
    GetClientRect(window.hwnd(), &client);
    EXPECT_EQ(client.right, window.pixels(form::kWindowWidth));
    EXPECT_EQ(client.bottom, window.pixels(form::kWindowHeight));
    EXPECT_EQ(windowText(window.hwnd()), std::string(form::kWindowTitle));
    EXPECT_EQ(TabCtrl_GetItemCount(window.control("SSTab1")),
              static_cast<int>(form::tabCaptions().size()));
    EXPECT_EQ(window.currentTab(), form::kInitialTab);

    for (const form::ControlDesign& design : form::controls()) {
        SCOPED_TRACE(std::string(design.name));
        HWND control = window.control(design.name);
        ASSERT_NE(control, nullptr);
        const int left = design.tab < 0 ? design.left : form::kTabLeft + design.left;
        const int top = design.tab < 0 ? design.top : form::kTabTop + design.top;
        const RECT box = clientRect(window.hwnd(), control);
        EXPECT_EQ(box.left, window.pixels(left));
        EXPECT_EQ(box.top, window.pixels(top));
        EXPECT_EQ(box.right - box.left, window.pixels(design.width));
        EXPECT_EQ(box.bottom - box.top, window.pixels(design.height));
        if (design.kind != form::ControlKind::Grid) {
            EXPECT_EQ(windowText(control), std::string(design.caption));
        }
        // The design's font: its family and, at the window's dots per inch, its height.
        const form::FontDesign& font = design.font ? *design.font : form::kFontDefault;
        LOGFONTW shown{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof shown,
                   &shown);
        EXPECT_EQ(utf8(shown.lfFaceName), std::string(font.family));
        EXPECT_EQ(shown.lfWeight >= FW_BOLD, font.bold);
    }
    // The grids' columns carry the design's captions.
    HWND header = ListView_GetHeader(window.control("grdiEmployeeMaster"));
    EXPECT_EQ(Header_GetItemCount(header), 5);
}

TEST_F(Win32WindowTest, ClickingEachTabShowsItsPageAndCtrlTabCycles) {
    auto window = openWindow();
    HWND tab = window->control("SSTab1");
    for (int index = 0; index < TabCtrl_GetItemCount(tab); ++index) {
        RECT item{};
        TabCtrl_GetItemRect(tab, index, &item);
        const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
        SendMessageW(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(tab, WM_LBUTTONUP, 0, at);
        pump();
        EXPECT_EQ(window->currentTab(), index);
        for (const form::ControlDesign& design : form::controls()) {
            const bool expected = design.tab == index ||
                                  (design.tab < 0 && design.kind != form::ControlKind::Progress);
            EXPECT_EQ(IsWindowVisible(window->control(design.name)) != FALSE, expected)
                << design.name << " on tab " << index;
        }
    }

    // Ctrl+Tab from a control of the page moves to the next tab, past the last to the first.
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG press{window->control("txtPeriod_0"), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    window->setCurrentTab(6);
    window->dispatch(press);
    EXPECT_EQ(window->currentTab(), 0);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);

    // Alt+P brings the calculation tab forward with the period field in focus.
    MSG alt{window->control("txtCompanyCode"), WM_SYSKEYDOWN, 'P', 0, 0, {}};
    window->dispatch(alt);
    EXPECT_EQ(window->currentTab(), 5);
    EXPECT_EQ(GetFocus(), window->control("txtPeriod_0"));
}

TEST_F(Win32WindowTest, AGridCellEditReachesImportDataAndABadValueIsRefused) {
    const fs::path payroll = makeLayoutCompany();
    auto window = openWindow();
    EXPECT_TRUE(boxes.seen().empty());
    window->setCurrentTab(5);
    app::window_win32::LayoutListView* grid = window->grid("grdiDataCalc");
    ASSERT_NE(grid, nullptr);
    ASSERT_EQ(ListView_GetItemCount(grid->hwnd()), 2);

    auto editCell = [&](int row, int column, const wchar_t* text) {
        grid->setCurrent(row, column);
        SetFocus(grid->hwnd());
        SendMessageW(grid->hwnd(), WM_KEYDOWN, VK_F2, 0);
        HWND editor = grid->editor();
        ASSERT_NE(editor, nullptr);
        SendMessageW(editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        SendMessageW(editor, WM_KEYDOWN, VK_RETURN, 0);
        EXPECT_EQ(grid->editor(), nullptr);
    };
    editCell(1, 3, L"7");  // FieldNo of No 2
    editCell(1, 1, L"เงินเดือนพื้นฐาน");
    editCell(0, 3, L"x");  // refused: not a whole number
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].title, "ImportData.mdb");
    EXPECT_TRUE(boxes.seen()[0].stopIcon);

    // Insert adds a row with the next No.
    SendMessageW(grid->hwnd(), WM_KEYDOWN, VK_INSERT, 0);
    EXPECT_EQ(ListView_GetItemCount(grid->hwnd()), 3);
    window.reset();

    const std::vector<std::string> rows = exportedRows(payroll / "ImportData.mdb", "iData Calc");
    ASSERT_EQ(rows.size(), 4u);  // the header and three rows
    EXPECT_EQ(rows[0], "No,FieldThaiName,ToFieldName,FieldNo");
    EXPECT_EQ(rows[1], "1,\"รหัสพนักงาน\",\"EMPNO\",1");
    EXPECT_EQ(rows[2], "2,\"เงินเดือนพื้นฐาน\",\"IEN01\",7");
    EXPECT_EQ(rows[3], "3,,,0");
}

TEST_F(Win32WindowTest, EachTransferButtonLeavesTheRowsVeltraTransferLeaves) {
    const fs::path bySample = folder / "sample";
    int status = -1;
    testing_support::runProgram("app/veltra-transfer",
                                {"sample", jet::utf8FromPath(bySample), "--employees", "40"},
                                &status);
    ASSERT_EQ(status, 0);
    const fs::path byProgram = folder / "program";
    const fs::path byWindow = folder / "window";
    fs::copy(bySample, byProgram, fs::copy_options::recursive);
    fs::copy(bySample, byWindow, fs::copy_options::recursive);

    struct Kind {
        const char* name;
        const char* file;
        const char* table;
    };
    const Kind kinds[4] = {{"employee", "EmployeeMaster.txt", "Employee Master"},
                           {"calc", "DataCalc.txt", "Data Calc"},
                           {"pm", "DataMasterDetail.txt", "Data Master Detail"},
                           {"pd", "DataVariantDetail.txt", "Data Variant Detail"}};
    for (const Kind& kind : kinds) {
        testing_support::runProgram(
            "app/veltra-transfer",
            {"transfer", "--kind", kind.name, "--text", jet::utf8FromPath(bySample / kind.file),
             "--db", jet::utf8FromPath(byProgram / "Melvar.mdb"), "--separator", ",",
             "--program-folder", jet::utf8FromPath(folder.path())},
            &status);
        ASSERT_EQ(status, 0) << kind.name;
    }

    writeIni("Sample", "MelvarFilePath", jet::utf8FromPath(byWindow / "Melvar.mdb"));
    auto window = openWindow();
    window->port().setFieldText(form::Field::Database, jet::utf8FromPath(byWindow / "Melvar.mdb"));
    window->port().setFieldText(form::Field::Delimiter, ",");
    const int tabs[4] = {1, 5, 3, 4};
    for (int16_t index = 0; index < 4; ++index) {
        boxes.clear();
        window->setCurrentTab(tabs[index]);
        window->port().setFieldText(form::Field::TextFile,
                                    jet::utf8FromPath(bySample / kinds[index].file));
        HWND button = window->control("cmdTransfer_" + std::to_string(index));
        EXPECT_TRUE(IsWindowVisible(button));
        SendMessageW(button, BM_CLICK, 0, 0);
        ASSERT_EQ(boxes.seen().size(), 1u) << kinds[index].name;
        EXPECT_EQ(boxes.seen()[0].title, "โอนข้อมูลไป VELTRA Payroll");
    }
    window.reset();
    for (const Kind& kind : kinds) {
        EXPECT_EQ(exportedRows(byWindow / "Melvar.mdb", kind.table),
                  exportedRows(byProgram / "Melvar.mdb", kind.table))
            << kind.table;
    }
}

TEST_F(Win32WindowTest, AMissingFileAndAFailedLineAreToldInBoxesWithTheirTitles) {
    const fs::path payroll = makeLayoutCompany();
    auto window = openWindow();
    window->setCurrentTab(5);
    window->port().setFieldText(form::Field::TextFile, jet::utf8FromPath(payroll / "none.txt"));
    boxes.clear();
    // The box comes while the transfer holds the hourglass; the box itself has the arrow.
    bool busyAtTheBox = true;
    boxes.setOnBox([&] { busyAtTheBox = window->port().busy(); });
    SendMessageW(window->control("cmdTransfer_1"), BM_CLICK, 0, 0);
    boxes.setOnBox({});
    EXPECT_FALSE(busyAtTheBox);
    EXPECT_FALSE(window->port().busy());
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].title, "ตรวจสอบไฟล์ที่เลือก");
    EXPECT_NE(boxes.seen()[0].text.find("none.txt"), std::string::npos);

    // A line with an amount that is no number fails.
    std::ofstream(payroll / "calc.txt", std::ios::binary) << "E001,15000\r\nE002,12x\r\n";
    window->port().setFieldText(form::Field::TextFile, jet::utf8FromPath(payroll / "calc.txt"));
    boxes.clear();
    SendMessageW(window->control("cmdTransfer_1"), BM_CLICK, 0, 0);
    ASSERT_FALSE(boxes.seen().empty());
    EXPECT_EQ(boxes.seen().back().title, "โอนข้อมูล [Data Calc]");
    EXPECT_TRUE(boxes.seen().back().stopIcon);
    EXPECT_FALSE(windowText(window->control("resultPanel")).empty());
}

TEST_F(Win32WindowTest, ATransferYieldsToTheWindowWhichRefusesASecondOne) {
    const fs::path payroll = makeLayoutCompany();
    std::ofstream(payroll / "calc.txt", std::ios::binary) << "E001,15000\r\n";
    auto window = openWindow();
    window->setCurrentTab(5);
    window->port().setFieldText(form::Field::TextFile, jet::utf8FromPath(payroll / "calc.txt"));
    HWND button = window->control("cmdTransfer_1");
    std::string noticeDuringTransfer;
    boxes.setOnBox([&] { noticeDuringTransfer = windowText(window->control("lblNotice")); });
    boxes.clear();
    // The second click waits in the queue until the transfer's yield handles it.
    PostMessageW(button, BM_CLICK, 0, 0);
    SendMessageW(button, BM_CLICK, 0, 0);
    boxes.setOnBox({});
    ASSERT_EQ(boxes.seen().size(), 1u);  // one transfer, one closing box
    EXPECT_EQ(boxes.seen()[0].title, "โอนข้อมูลไป VELTRA Payroll");
    EXPECT_NE(noticeDuringTransfer.find("กำลังโอนข้อมูลอยู่"), std::string::npos);
    EXPECT_EQ(windowText(window->control("lblNotice")), "");
    EXPECT_FALSE(windowText(window->control("resultPanel")).empty());
}

TEST_F(Win32WindowTest, CheckListsFailingLinesAndUndoGivesBackTheTables) {
    const fs::path payroll = makeLayoutCompany();
    const fs::path melvar = payroll / "Melvar.mdb";
    const auto before = exportedRows(melvar, "Data Calc");
    std::ofstream(payroll / "calc.txt", std::ios::binary) << "E001,15000\r\nE002,12x\r\n";
    auto window = openWindow();
    HWND undo = window->control("cmdUndoTransfer");
    EXPECT_FALSE(IsWindowEnabled(undo)) << "nothing to undo yet";
    window->setCurrentTab(5);
    window->port().setFieldText(form::Field::TextFile, jet::utf8FromPath(payroll / "calc.txt"));

    boxes.clear();
    SendMessageW(window->control("cmdCheckFile_1"), BM_CLICK, 0, 0);
    ASSERT_FALSE(boxes.seen().empty());
    const SeenBox& check = boxes.seen().back();
    EXPECT_EQ(check.title, "ตรวจสอบไฟล์");
    EXPECT_TRUE(check.stopIcon);
    EXPECT_NE(check.text.find("1 บรรทัดที่โอนไม่ได้"), std::string::npos) << check.text;
    EXPECT_NE(check.text.find("บรรทัดที่ 2: 'E002,12x'"), std::string::npos) << check.text;
    EXPECT_FALSE(IsWindowEnabled(undo)) << "a check changes nothing";

    std::ofstream(payroll / "calc.txt", std::ios::binary) << "E001,15000\r\nE002,12000\r\n";
    SendMessageW(window->control("cmdTransfer_1"), BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(undo));
    boxes.clear();
    SendMessageW(undo, BM_CLICK, 0, 0);  // the answerer says Yes
    ASSERT_EQ(boxes.seen().size(), 2u);
    EXPECT_TRUE(boxes.seen()[0].questionIcon);
    EXPECT_NE(boxes.seen()[0].text.find("calc.txt"), std::string::npos) << boxes.seen()[0].text;
    EXPECT_EQ(boxes.seen()[1].text.rfind("ยกเลิกการโอนเรียบร้อยแล้ว", 0), 0u) << boxes.seen()[1].text;
    EXPECT_FALSE(IsWindowEnabled(undo));
    window.reset();
    EXPECT_EQ(exportedRows(melvar, "Data Calc"), before);
}

TEST_F(Win32WindowTest, CompactAsksThenTellsTheSizes) {
    const fs::path payroll = makeLayoutCompany();
    auto window = openWindow();
    boxes.clear();
    SendMessageW(window->control("cmdCompact"), BM_CLICK, 0, 0);
    ASSERT_EQ(boxes.seen().size(), 2u);
    EXPECT_TRUE(boxes.seen()[0].questionIcon);
    EXPECT_NE(boxes.seen()[0].text.find("Melvar.mdb"), std::string::npos);
    EXPECT_FALSE(boxes.seen()[1].stopIcon) << boxes.seen()[1].text;
    EXPECT_NE(boxes.seen()[1].text.find("ก่อน Before: "), std::string::npos);
    EXPECT_NE(boxes.seen()[1].text.find("หลัง After: "), std::string::npos);
    EXPECT_FALSE(window->port().busy());
    window.reset();
    EXPECT_FALSE(exportedRows(payroll / "Melvar.mdb", "Data Calc").empty());
}

TEST_F(Win32WindowTest, ClosingSavesTheSettings) {
    writeIni("Settings", "CompanyCode", "ACME");
    auto window = openWindow();
    EXPECT_EQ(windowText(window->control("txtCompanyCode")), "ACME");
    window->setCurrentTab(4);
    SetWindowTextW(window->control("txtDelimiter"), L"|");
    SendMessageW(window->control("cmdExit"), BM_CLICK, 0, 0);
    pump();
    EXPECT_FALSE(IsWindowVisible(window->hwnd()));
    EXPECT_EQ(settings::ReadINI(ini(), "Settings", "SSTab1", "<absent>"), "4");
    EXPECT_EQ(settings::ReadINI(ini(), "Settings", "CompanyCode", "<absent>"), "ACME");
    EXPECT_EQ(settings::ReadINI(ini(), "ACME", "Delimiter", "<absent>"), "|");
}

}  // namespace
