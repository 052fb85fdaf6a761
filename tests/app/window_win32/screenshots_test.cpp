// Pictures of the Windows window for the documentation, taken from the screen under wine. Run
// by hand through tools/windows_screenshots.sh, which sets up the Thai fonts and turns the
// pictures into PNG files in docs/screenshots/windows/. Writes into $VELTRA_SCREENSHOTS:
// tab-<index>.bmp for the seven tabs, transfer.bmp while a transfer runs, message-box.bmp.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/window_win32/error_report_box.h"
#include "app/window_win32/main_window.h"
#include "jet/create_sample_schema.h"
#include "jet/database.h"
#include "jet/path_text.h"
#include "settings/ini_funcs.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

fs::path pictureFolder() {
    const char* target = std::getenv("VELTRA_SCREENSHOTS");
    const fs::path folder = target != nullptr ? jet::pathFromUtf8(target) : fs::path("screenshots");
    fs::create_directories(folder);
    return folder;
}

// The screen's pixels of `area` as a 24-bit bottom-up BMP file.
bool writeScreen(const RECT& area, const fs::path& file) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = static_cast<DWORD>((width * 3 + 3) & ~3);
    const DWORD size = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    header.bfSize = header.bfOffBits + size;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(BITMAPINFOHEADER));
    out.write(static_cast<const char*>(bits), size);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return static_cast<bool>(out);
}

RECT windowArea(HWND window) {
    RECT area{};
    GetWindowRect(window, &area);
    return area;
}

void pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    GdiFlush();
}

app::window_win32::MainWindow* shownWindow = nullptr;
bool transferPictured = false;

// Called at every yield of the transfer: the picture is taken once a third of the file is read.
void CALLBACK duringTransfer(HWND, UINT, UINT_PTR, DWORD) {
    HWND progress = shownWindow->control("prgTransfer");
    if (transferPictured || SendMessageW(progress, PBM_GETPOS, 0, 0) < 330) return;
    transferPictured = true;
    UpdateWindow(shownWindow->hwnd());
    EXPECT_TRUE(writeScreen(windowArea(shownWindow->hwnd()), pictureFolder() / "transfer.bmp"));
}

// Pictures a message box once it has painted (its timer comes after its paint), with the
// window behind it, then answers it.
void CALLBACK boxPainted(HWND box, UINT, UINT_PTR id, DWORD) {
    KillTimer(box, id);
    RECT area = windowArea(shownWindow->hwnd());
    const RECT boxArea = windowArea(box);
    UnionRect(&area, &area, &boxArea);
    EXPECT_TRUE(writeScreen(area, pictureFolder() / "message-box.bmp"));
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

LRESULT CALLBACK boxHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t className[32] = {};
        GetClassNameW(box, className, 32);
        if (std::wstring(className) == L"#32770") SetTimer(box, 1, 0, boxPainted);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Captions and message boxes in a Thai family, as a Thai Windows shows them; wine's own system
// font has no Thai letters. Changes the wine prefix of the build only.
void useThaiSystemFonts() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    for (LOGFONTW* font : {&metrics.lfCaptionFont, &metrics.lfSmCaptionFont, &metrics.lfMenuFont,
                           &metrics.lfStatusFont, &metrics.lfMessageFont}) {
        wcscpy(font->lfFaceName, L"Loma");
    }
    SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof metrics, &metrics, SPIF_SENDCHANGE);
}

TEST(WindowsWindowPictures, DISABLED_WriteScreenshots) {
    useThaiSystemFonts();
    app::window_win32::registerErrorReportBox();
    testing_support::TempDir folder;
    const fs::path data = folder / "Data";
    int status = -1;
    testing_support::runProgram(
        "app/veltra-transfer", {"sample", jet::utf8FromPath(data), "--employees", "3000"}, &status);
    ASSERT_EQ(status, 0);
    const std::string ini = jet::utf8FromPath(folder / "Import.INI");
    settings::WriteINI(ini, "Settings", "CompanyCode", "Sample");
    settings::WriteINI(ini, "Sample", "TextFilePath", jet::utf8FromPath(data / "DataCalc.txt"));
    settings::WriteINI(ini, "Sample", "MelvarFilePath", jet::utf8FromPath(data / "Melvar.mdb"));

    app::window_win32::MainWindow window(jet::utf8FromPath(folder.path()));
    ASSERT_TRUE(window.create(GetModuleHandleW(nullptr)));
    shownWindow = &window;
    window.Form_Load();
    SetWindowPos(window.hwnd(), HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
    ShowWindow(window.hwnd(), SW_SHOW);
    SetForegroundWindow(window.hwnd());
    const fs::path target = pictureFolder();
    for (int tab = 0; tab < 7; ++tab) {
        window.setCurrentTab(tab);
        RedrawWindow(window.hwnd(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pump();
        EXPECT_TRUE(writeScreen(windowArea(window.hwnd()),
                                target / ("tab-" + std::to_string(tab) + ".bmp")));
    }

    // A calculation transfer of the sample: pictured while it runs, and its closing box.
    window.setCurrentTab(5);
    pump();
    const UINT_PTR timer = SetTimer(window.hwnd(), 7, 0, duringTransfer);
    HHOOK hook = SetWindowsHookExW(WH_CBT, boxHook, nullptr, GetCurrentThreadId());
    SendMessageW(window.control("cmdTransfer_1"), BM_CLICK, 0, 0);
    UnhookWindowsHookEx(hook);
    KillTimer(window.hwnd(), timer);
    EXPECT_TRUE(transferPictured);
    shownWindow = nullptr;
}

}  // namespace
