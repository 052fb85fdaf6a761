#include "app/window_win32/win32_main_window_port.h"

#include "app/window_win32/main_window.h"
#include "app/window_win32/wide_text.h"

namespace app::window_win32 {

namespace {

// Pending messages are handled at most this often during a transfer (milliseconds).
constexpr ULONGLONG kYieldInterval = 16;

}  // namespace

UINT messageBoxStyle(int style) {
    switch (style) {
        case form::kMsgCritical:
            return MB_OK | MB_ICONERROR;
        case form::kMsgQuestion:
            return MB_OK | MB_ICONQUESTION;
        default:
            return MB_OK;
    }
}

std::string Win32MainWindowPort::fieldText(form::Field field) const {
    return windowText(window_.fieldControl(field));
}

void Win32MainWindowPort::setFieldText(form::Field field, const std::string& text) {
    window_.setFieldText(field, text);
}

std::string Win32MainWindowPort::labelCaption(form::Label label) const {
    return windowText(window_.labelControl(label));
}

void Win32MainWindowPort::setLabelCaption(form::Label label, const std::string& caption) {
    HWND control = window_.labelControl(label);
    setWindowText(control, caption);
    window_.fitStatusLabel(control);
}

void Win32MainWindowPort::setMousePointer(int pointer) {
    busy_ = pointer == form::kPointerHourglass;
    SetCursor(LoadCursorW(nullptr, busy_ ? IDC_WAIT : IDC_ARROW));
}

void Win32MainWindowPort::messageBox(const std::string& prompt, int style,
                                     const std::string& title) {
    // The hourglass belongs to the work, not to the box the user must answer.
    const bool busy = busy_;
    busy_ = false;
    MessageBoxW(window_.hwnd(), wide(prompt).c_str(), wide(title).c_str(), messageBoxStyle(style));
    busy_ = busy;
    if (busy_) SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void Win32MainWindowPort::yield() {
    const ULONGLONG now = GetTickCount64();
    if (lastYield_ != 0 && now - lastYield_ < kYieldInterval) return;
    lastYield_ = now;
    window_.showTransferProgress();
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the program's own loop, after the transfer.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        window_.dispatch(message);
    }
}

int Win32MainWindowPort::currentTab() const {
    return window_.currentTab();
}

void Win32MainWindowPort::setCurrentTab(int tab) {
    window_.setCurrentTab(tab);
}

}  // namespace app::window_win32
