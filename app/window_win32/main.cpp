// veltra.exe: the window program on Windows. Starts frmMain and runs until it is closed; reads
// no command line. Import.INI and errors.log live in the program's folder.
#include <windows.h>

#include <filesystem>
#include <string>

#include "app/window_win32/error_report_box.h"
#include "app/window_win32/main_window.h"
#include "app/window_win32/wide_text.h"

namespace {

std::string programFolder() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return app::window_win32::utf8(std::filesystem::path(path).parent_path().wstring());
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    app::window_win32::registerErrorReportBox();
    app::window_win32::MainWindow window(programFolder());
    if (!window.create(instance)) return 1;
    window.setQuitOnClose(true);
    window.Form_Load();
    ShowWindow(window.hwnd(), show);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) window.dispatch(message);
    return static_cast<int>(message.wParam);
}
