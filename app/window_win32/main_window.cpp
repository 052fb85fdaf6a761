#include "app/window_win32/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <uxtheme.h>
#include <windowsx.h>

#include <algorithm>
#include <filesystem>

#include "app/logic/transfer_command.h"
#include "app/logic/transfer_log.h"
#include "app/logic/undo_action.h"
#include "app/logic/window_actions.h"
#include "app/logic/window_session.h"
#include "app/window_win32/error_report_box.h"
#include "app/window_win32/resource_ids.h"
#include "app/window_win32/wide_text.h"
#include "data_sources/data_sources.h"
#include "jet/path_text.h"
#include "report/report_error.h"
#include "settings/default_ini.h"

#ifndef VELTRA_VERSION_MAJOR
#error "the build gives the program's version as VELTRA_VERSION_MAJOR, _MINOR and _REVISION"
#endif

namespace app::window_win32 {

namespace {

constexpr const char* kOwner = "frmMain";
constexpr const wchar_t* kClassName = L"VeltraMainWindow";
// Control identifiers start above the dialog keys' IDOK and IDCANCEL.
constexpr int kFirstControlId = 100;

COLORREF colourRef(uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The index of a control of a control array: "txtDir_1" is 1.
int16_t arrayIndex(std::string_view name) {
    return static_cast<int16_t>(name.back() - '0');
}

}  // namespace

MainWindow::MainWindow(std::string programFolder)
    : programFolder_(std::move(programFolder)), port_(*this), form_(port_) {}

MainWindow::~MainWindow() {
    setPathNoticeSink({});
    grids_.clear();
    if (hwnd_ != nullptr) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    for (auto& [design, font] : fonts_) DeleteObject(font);
    for (auto& [colour, brush] : brushes_) DeleteObject(brush);
    if (fileIcon_ != nullptr) DestroyIcon(fileIcon_);
}

bool MainWindow::create(HINSTANCE instance) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS |
                                      ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(VELTRA_ICON_PROGRAM));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);  // a second window finds the class registered

    // Nothing moves when the window changes size: no sizing border, no maximise button.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    hwnd_ =
        CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, wide(form::kWindowTitle).c_str(), style,
                        CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance, this);
    if (hwnd_ == nullptr) return false;
    dpi_ = GetDpiForWindow(hwnd_);
    if (dpi_ == 0) dpi_ = 96;
    fileIcon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(VELTRA_ICON_FILE),
                                              IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    createControls();
    layOut();
    setPathNoticeSink([this](const std::string& notice) { setNotice(kNoticePath, notice); });
    return true;
}

HFONT MainWindow::font(const form::FontDesign* design) {
    if (design == nullptr) design = &form::kFontDefault;
    auto found = fonts_.find(design);
    if (found != fonts_.end()) return found->second;
    const int height = -static_cast<int>(design->points * dpi_ / 72.0 + 0.5);
    HFONT created =
        CreateFontW(height, 0, 0, 0, design->bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                    DEFAULT_PITCH | FF_SWISS, wide(design->family).c_str());
    fonts_[design] = created;
    return created;
}

void MainWindow::createControls() {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
    // The tab control lies under the controls of its pages: created first, kept at the bottom.
    tab_ = CreateWindowExW(
        0, WC_TABCONTROLW, L"",
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TCS_MULTILINE | TCS_FIXEDWIDTH | TCS_FOCUSNEVER,
        0, 0, 10, 10, hwnd_, nullptr, instance, nullptr);
    SendMessageW(tab_, WM_SETFONT, reinterpret_cast<WPARAM>(font(nullptr)), FALSE);
    int index = 0;
    for (std::string_view caption : form::tabCaptions()) {
        std::wstring text = wide(caption);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text.data();
        TabCtrl_InsertItem(tab_, index++, &item);
    }
    toolTips_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                                hwnd_, nullptr, instance, nullptr);

    // Created in the design's tab order: the system's Tab key follows the order of creation.
    std::vector<const form::ControlDesign*> ordered;
    for (const form::ControlDesign& design : form::controls()) ordered.push_back(&design);
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto* a, const auto* b) {
        return (a->tabIndex == 0 ? 0 : a->tabIndex) < (b->tabIndex == 0 ? 0 : b->tabIndex);
    });
    int id = kFirstControlId;
    for (const form::ControlDesign* design : ordered) {
        HWND control = createControl(*design, id++);
        controls_.push_back({design, control});
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font(design->font)), FALSE);
        if (!design->toolTip.empty()) {
            std::wstring tip = wide(design->toolTip);
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof tool;
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = hwnd_;
            tool.uId = reinterpret_cast<UINT_PTR>(control);
            tool.lpszText = tip.data();
            SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    SetWindowPos(tab_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    const auto sources = form::gridSources();
    for (const form::GridSourceDesign& source : sources) {
        std::vector<app::LayoutColumn> columns;
        for (const form::GridColumnDesign& column : form::gridColumns()) {
            if (column.grid == source.grid) {
                columns.push_back({std::string(column.caption), std::string(column.field)});
            }
        }
        auto grid = std::make_unique<LayoutListView>(
            control(source.grid), std::move(columns),
            [this](const std::string& text, int style, const std::string& title) {
                port_.messageBox(text, style, title);
            });
        stores_.push_back(std::make_unique<app::DataControlRowStore>(form_.*source.control,
                                                                     std::string(source.table)));
        grid->setStore(stores_.back().get());
        grids_.push_back(std::move(grid));
    }
    setCurrentTab(form::kInitialTab);
}

HWND MainWindow::createControl(const form::ControlDesign& design, int id) {
    using K = form::ControlKind;
    const std::wstring caption = wide(design.caption);
    const wchar_t* windowClass = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD extended = 0;
    switch (design.kind) {
        case K::Label:
        case K::Notice:
            style |= SS_LEFT | SS_NOPREFIX;
            break;
        case K::TextBox:
            windowClass = L"EDIT";
            style |= WS_TABSTOP | ES_AUTOHSCROLL |
                     (design.align == form::Align::Center ? ES_CENTER : ES_LEFT);
            extended = WS_EX_CLIENTEDGE;
            break;
        case K::PathBox:
            // A path is one value: wrapped over the lines, Enter presses no new line into it.
            windowClass = L"EDIT";
            style |= WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL;
            extended = WS_EX_CLIENTEDGE;
            break;
        case K::Button:
            windowClass = L"BUTTON";
            style |= WS_TABSTOP | BS_PUSHBUTTON;
            break;
        case K::FileButton:
            windowClass = L"BUTTON";
            style |= WS_TABSTOP | BS_PUSHBUTTON | BS_ICON;
            break;
        case K::Grid:
            windowClass = WC_LISTVIEWW;
            style |= WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
            extended = WS_EX_CLIENTEDGE;
            break;
        case K::ResultPanel:
            windowClass = L"EDIT";
            style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL;
            extended = WS_EX_CLIENTEDGE;
            break;
        case K::Progress:
            windowClass = PROGRESS_CLASSW;
            style &= ~static_cast<DWORD>(WS_VISIBLE);  // shown while a transfer runs
            break;
    }
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
    HWND control =
        CreateWindowExW(extended, windowClass, caption.c_str(), style, 0, 0, 10, 10, hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (design.kind == K::FileButton && fileIcon_ != nullptr) {
        SendMessageW(control, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(fileIcon_));
    }
    if (design.kind == K::Progress) SendMessageW(control, PBM_SETRANGE32, 0, 1000);
    return control;
}

void MainWindow::layOut() {
    RECT frame{0, 0, pixels(form::kWindowWidth), pixels(form::kWindowHeight)};
    // The design's size is the window's inside; the frame goes around it.
    AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)), dpi_);
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(tab_, nullptr, pixels(form::kTabLeft), pixels(form::kTabTop),
                 pixels(form::kTabWidth), pixels(form::kTabHeight), SWP_NOZORDER | SWP_NOACTIVATE);
    const int rowHeight = MulDiv(form::kTabRowHeightPixels, static_cast<int>(dpi_), 96);
    TabCtrl_SetItemSize(tab_, (pixels(form::kTabWidth) - 8) / form::kTabsPerRow, rowHeight);
    for (const Control& each : controls_) {
        const form::ControlDesign& design = *each.design;
        const int left = design.tab < 0 ? design.left : form::kTabLeft + design.left;
        const int top = design.tab < 0 ? design.top : form::kTabTop + design.top;
        SetWindowPos(each.hwnd, nullptr, pixels(left), pixels(top), pixels(design.width),
                     pixels(design.height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (size_t i = 0; i < grids_.size(); ++i) {
        std::vector<int> widths;
        for (const form::GridColumnDesign& column : form::gridColumns()) {
            if (column.grid == form::gridSources()[i].grid) widths.push_back(pixels(column.width));
        }
        grids_[i]->setColumnWidths(widths);
    }
}

HWND MainWindow::control(std::string_view name) const {
    if (name == form::kTabControlName) return tab_;
    for (const Control& each : controls_) {
        if (each.design->name == name) return each.hwnd;
    }
    return nullptr;
}

LayoutListView* MainWindow::grid(std::string_view name) const {
    const auto sources = form::gridSources();
    for (size_t i = 0; i < grids_.size(); ++i) {
        if (sources[i].grid == name) return grids_[i].get();
    }
    return nullptr;
}

HWND MainWindow::fieldControl(form::Field field) const {
    switch (field) {
        case form::Field::CompanyCode:
            return control("txtCompanyCode");
        case form::Field::TextFile:
            return control("txtDir_0");
        case form::Field::Database:
            return control("txtDir_1");
        case form::Field::Delimiter:
            return control("txtDelimiter");
        case form::Field::Year:
            return control("txtYear_0");
        case form::Field::Period:
            return control("txtPeriod_0");
        case form::Field::BankCode:
            return control("txtBankCode");
    }
    return nullptr;
}

void MainWindow::setFieldText(form::Field field, const std::string& text) {
    HWND control = fieldControl(field);
    if (windowText(control) != text) setWindowText(control, text);
    if (field == form::Field::TextFile) txtDir_Changed(0);
    if (field == form::Field::Database) txtDir_Changed(1);
}

HWND MainWindow::labelControl(form::Label label) const {
    switch (label) {
        case form::Label::ProcessStatus:
            return control("lblProcessStatus");
        case form::Label::RecordCount:
            return control("lblRecordCount");
        case form::Label::UseTime:
            return control("lblUseTime");
    }
    return nullptr;
}

int MainWindow::currentTab() const {
    return TabCtrl_GetCurSel(tab_);
}

void MainWindow::setCurrentTab(int tab) {
    if (tab < 0 || tab >= TabCtrl_GetItemCount(tab_)) return;
    TabCtrl_SetCurSel(tab_, tab);
    showPage(tab);
}

void MainWindow::showPage(int tab) {
    HWND focus = GetFocus();
    bool focusHidden = false;
    for (const Control& each : controls_) {
        if (each.design->tab < 0) continue;
        const bool shown = each.design->tab == tab;
        if (!shown && (focus == each.hwnd || IsChild(each.hwnd, focus))) focusHidden = true;
        ShowWindow(each.hwnd, shown ? SW_SHOWNA : SW_HIDE);
    }
    // The focus never stays on a control of a page that went away.
    if (focusHidden) SetFocus(tab_);
}

void MainWindow::stepTab(int delta) {
    const int count = TabCtrl_GetItemCount(tab_);
    setCurrentTab((currentTab() + delta + count) % count);
}

void MainWindow::fitStatusLabel(HWND label) {
    RECT box{};
    GetWindowRect(label, &box);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&box), 2);
    RECT exit{};
    GetWindowRect(control("cmdExit"), &exit);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&exit), 2);
    HDC dc = GetDC(label);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    const std::wstring text = wide(windowText(label));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    const int designed = pixels(1380);
    const int room = exit.left - box.left - pixels(120);
    const int width = std::max(designed, std::min(static_cast<int>(size.cx) + 2, room));
    SetWindowPos(label, nullptr, 0, 0, width, box.bottom - box.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The whole caption again, over what the narrower box drew.
    RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
}

void MainWindow::Form_Load() {
    HWND version = control("lblVersion");
    setWindowText(version, app::versionText(VELTRA_VERSION_MAJOR, VELTRA_VERSION_MINOR,
                                            VELTRA_VERSION_REVISION));
    // The designed box is narrower than the text; it grows to the right, where the window has
    // room, so the whole version can be read.
    HDC dc = GetDC(version);
    HGDIOBJ old = SelectObject(dc, font(nullptr));
    const std::wstring text = wide(windowText(version));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(version, dc);
    RECT box{};
    GetWindowRect(version, &box);
    SetWindowPos(version, nullptr, 0, 0,
                 std::max(static_cast<int>(box.right - box.left), static_cast<int>(size.cx) + 2),
                 box.bottom - box.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    app::loadWindow(form_, programFolder_, [this] {
        refreshGrids();
        refreshUndoButton();
    });
}

void MainWindow::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    app::unloadWindow(form_);
}

void MainWindow::refreshGrids() {
    for (auto& grid : grids_) grid->reload();
}

void MainWindow::setNotice(Notice notice, const std::string& text) {
    notices_[notice] = text;
    std::string shown;
    for (const std::string& each : notices_) {
        if (each.empty()) continue;
        if (!shown.empty()) shown += "\r\n";
        shown += each;
    }
    setWindowText(control("lblNotice"), shown);
}

void MainWindow::showResult() {
    // A transfer refused by its tests ran no line: the last result stays.
    if (form_.result.outcome == form::TransferOutcome::None) return;
    std::string text;
    for (const std::string& line : app::resultLines(form_.result)) {
        if (!text.empty()) text += "\r\n";
        text += line;
    }
    setWindowText(control("resultPanel"), text);
}

void MainWindow::cmdSelectDir_Click(int16_t index) {
    try {
        HWND field = control(index == 0 ? "txtDir_0" : "txtDir_1");
        const std::filesystem::path current = jet::pathFromUtf8(windowText(field));
        // The dialog starts in the folder of the field's file, with its name filled in.
        std::wstring folder;
        std::error_code error;
        if (!current.empty() && std::filesystem::is_directory(current.parent_path(), error)) {
            folder = current.parent_path().wstring();
        }
        std::wstring file = current.filename().wstring();
        file.resize(std::max<size_t>(file.size() + 1, 32768), L'\0');
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = hwnd_;
        dialog.lpstrFile = file.data();
        dialog.nMaxFile = static_cast<DWORD>(file.size());
        dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
        dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
                       OFN_HIDEREADONLY;
        if (!GetOpenFileNameW(&dialog)) return;
        setFieldText(index == 0 ? form::Field::TextFile : form::Field::Database,
                     utf8(file.c_str()));
    } catch (...) {
        report::ReportError(kOwner, "cmdSelectDir_Click");
    }
}

void MainWindow::txtCompanyCode_LostFocus() {
    try {
        form_.globals.CurrentCompanyCode = windowText(control("txtCompanyCode"));
        settings::ReadDefaultINI(form_);
    } catch (...) {
        report::ReportError(kOwner, "txtCompanyCode_LostFocus()");
    }
}

void MainWindow::txtDir_Changed(int16_t index) {
    HWND field = control(index == 0 ? "txtDir_0" : "txtDir_1");
    std::string text = windowText(field);
    // A path is one value: line breaks pasted into it go.
    if (text.find_first_of("\r\n") != std::string::npos) {
        std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
        setWindowText(field, text);
    }
    if (text == lastDirText_[index]) return;
    lastDirText_[index] = text;
    // A notice of the last path goes; the path now in the field tells its own.
    if (index == 1) setNotice(kNoticePath, {});
    data_sources::txtDir_Change(form_, index);
    if (index == 1) {
        refreshGrids();
        refreshUndoButton();
    }
}

void MainWindow::cmdTransfer_Click(int16_t index) {
    // The transfer yields to the message loop, so a button can be clicked again while it runs:
    // such a click is refused where the user sees it.
    if (form_.transferRunning) {
        setNotice(kNoticeBusy, "กำลังโอนข้อมูลอยู่: ยังเริ่มการโอนอื่นไม่ได้ กดปุ่มอีกครั้งเมื่อการโอนนี้เสร็จ");
        return;
    }
    HWND progress = control("prgTransfer");
    transferStart_ = GetTickCount64();
    SendMessageW(progress, PBM_SETPOS, 0, 0);
    ShowWindow(progress, SW_SHOWNA);
    app::cmdTransfer_Click(form_, index);
    ShowWindow(progress, SW_HIDE);
    setNotice(kNoticeBusy, {});
    showResult();
    refreshUndoButton();
    if (closeAfterTransfer_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void MainWindow::cmdCheckFile_Click(int16_t index) {
    app::checkFile(form_, port_, [this, index] { cmdTransfer_Click(index); });
}

void MainWindow::cmdUndoTransfer_Click() {
    const auto ask = [this](const std::string& title, const std::string& question) {
        return askYesNo(title, question);
    };
    if (app::undoLastTransfer(form_, port_, ask)) refreshGrids();
    refreshUndoButton();
}

void MainWindow::refreshUndoButton() {
    EnableWindow(control("cmdUndoTransfer"),
                 app::undoAvailable(port_.fieldText(form::Field::Database)) ? TRUE : FALSE);
}

void MainWindow::cmdCompact_Click() {
    // The window repaints while the compact runs but takes no input: no transfer can start and
    // nothing else can open the database until it is done.
    app::compactDatabase(
        form_, port_,
        [this](const std::string& title, const std::string& question) {
            return askYesNo(title, question);
        },
        [this] { RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); });
}

bool MainWindow::askYesNo(const std::string& title, const std::string& question) {
    return MessageBoxW(hwnd_, wide(question).c_str(), wide(title).c_str(),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void MainWindow::showTransferProgress() {
    const form::TransferResult& result = form_.result;
    if (!form_.transferRunning || result.fileBytes == 0) return;
    const double share =
        static_cast<double>(result.bytesRead) / static_cast<double>(result.fileBytes);
    SendMessageW(control("prgTransfer"), PBM_SETPOS, static_cast<WPARAM>(share * 1000), 0);
}

void MainWindow::onClose() {
    if (form_.transferRunning) {
        // Asked before the window unloads (unloading itself is never refused): the lines done
        // stay, the rest of the file is not transferred.
        if (!closeAfterTransfer_ && askYesNo("โอนข้อมูลไป VELTRA Payroll",
                                             "กำลังโอนข้อมูลอยู่ ต้องการหยุดและปิดโปรแกรมหรือไม่?\n"
                                             "บรรทัดที่โอนแล้วจะยังอยู่ในฐานข้อมูล บรรทัดที่เหลือจะไม่ถูกโอน")) {
            closeAfterTransfer_ = true;
            form_.stopRequested = true;
        }
        return;
    }
    Form_Unload();
    ShowWindow(hwnd_, SW_HIDE);
    if (quitOnClose_) PostQuitMessage(0);
}

void MainWindow::onCommand(int id, int code, HWND source) {
    for (const Control& each : controls_) {
        if (each.hwnd != source || source == nullptr) continue;
        const std::string_view name = each.design->name;
        if (code == BN_CLICKED) {
            if (name == "cmdExit") PostMessageW(hwnd_, WM_CLOSE, 0, 0);
            if (startsWith(name, "cmdSelectDir_")) cmdSelectDir_Click(arrayIndex(name));
            if (startsWith(name, "cmdTransfer_")) cmdTransfer_Click(arrayIndex(name));
            if (startsWith(name, "cmdCheckFile_")) cmdCheckFile_Click(arrayIndex(name));
            if (name == "cmdUndoTransfer") cmdUndoTransfer_Click();
            if (name == "cmdCompact") cmdCompact_Click();
        }
        if (code == EN_CHANGE && startsWith(name, "txtDir_")) txtDir_Changed(arrayIndex(name));
        if (code == EN_KILLFOCUS && name == "txtCompanyCode") {
            // Only a move of the focus to another control of the window, not a switch to
            // another window.
            HWND to = GetFocus();
            if (to != nullptr && IsChild(hwnd_, to)) txtCompanyCode_LostFocus();
        }
        return;
    }
    (void)id;
}

LRESULT MainWindow::onNotify(NMHDR* header) {
    if (header->hwndFrom == tab_ && header->code == TCN_SELCHANGE) {
        showPage(currentTab());
        return 0;
    }
    for (auto& grid : grids_) {
        LRESULT result = 0;
        if (grid->onNotify(header, result)) return result;
    }
    return 0;
}

bool MainWindow::translate(MSG& message) {
    if (hwnd_ == nullptr || (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd))) {
        return false;
    }
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if (message.message == WM_KEYDOWN && control) {
        if (message.wParam == VK_TAB) {
            stepTab(shift ? -1 : 1);
            return true;
        }
        if (message.wParam == VK_NEXT || message.wParam == VK_PRIOR) {
            stepTab(message.wParam == VK_NEXT ? 1 : -1);
            return true;
        }
    }
    if (message.message == WM_SYSKEYDOWN) {
        // The fields below the grids have access keys of their own; their tab comes forward.
        for (const Control& each : controls_) {
            if (each.design->accessKey == 0 ||
                static_cast<WPARAM>(each.design->accessKey) != message.wParam) {
                continue;
            }
            if (each.design->tab >= 0) setCurrentTab(each.design->tab);
            SetFocus(each.hwnd);
            SendMessageW(each.hwnd, EM_SETSEL, 0, -1);
            return true;
        }
    }
    // Enter on a grid opens its current cell.
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
        for (auto& grid : grids_) {
            if (message.hwnd == grid->hwnd()) {
                grid->beginEdit();
                return true;
            }
        }
    }
    return IsDialogMessageW(hwnd_, &message) != FALSE;
}

void MainWindow::dispatch(MSG& message) {
    if (translate(message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

LRESULT CALLBACK MainWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr || self->hwnd_ == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_NOTIFY:
            return onNotify(reinterpret_cast<NMHDR*>(lParam));
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT: {
            auto* dc = reinterpret_cast<HDC>(wParam);
            const auto* source = reinterpret_cast<HWND>(lParam);
            // Labels on the window's face, or on a tab's page, which the system's look draws
            // white; fields, the read-only result panel included, white.
            int background = message == WM_CTLCOLOREDIT ? COLOR_WINDOW : COLOR_BTNFACE;
            for (const Control& each : controls_) {
                if (each.hwnd != source) continue;
                if (each.design->kind == form::ControlKind::ResultPanel) background = COLOR_WINDOW;
                if (each.design->tab >= 0 && IsAppThemed()) background = COLOR_WINDOW;
                if (each.design->textColour != form::kNoColour) {
                    SetTextColor(dc, colourRef(each.design->textColour));
                }
            }
            SetBkColor(dc, GetSysColor(background));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(background));
        }
        case WM_SETCURSOR:
            if (port_.busy() && LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_DPICHANGED: {
            dpi_ = HIWORD(wParam);
            for (auto& [design, created] : fonts_) DeleteObject(created);
            fonts_.clear();
            SendMessageW(tab_, WM_SETFONT, reinterpret_cast<WPARAM>(font(nullptr)), FALSE);
            for (const Control& each : controls_) {
                SendMessageW(each.hwnd, WM_SETFONT,
                             reinterpret_cast<WPARAM>(font(each.design->font)), FALSE);
            }
            const auto* suggested = reinterpret_cast<RECT*>(lParam);
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            layOut();
            InvalidateRect(hwnd_, nullptr, TRUE);
            return 0;
        }
        case WM_CONTEXTMENU:
            for (auto& grid : grids_) {
                if (reinterpret_cast<HWND>(wParam) != grid->hwnd()) continue;
                grid->showMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
                return 0;
            }
            break;
        case WM_CLOSE:
            onClose();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace app::window_win32
