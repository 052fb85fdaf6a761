#include "app/window_win32/wide_text.h"

namespace app::window_win32 {

std::wstring wide(std::string_view utf8Text) {
    if (utf8Text.empty()) return {};
    const int size = static_cast<int>(utf8Text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8Text.data(), size, nullptr, 0);
    std::wstring result(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8Text.data(), size, result.data(), length);
    return result;
}

std::string utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(), length, nullptr, nullptr);
    return result;
}

std::string windowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    const int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(length));
    return utf8(text);
}

void setWindowText(HWND window, std::string_view utf8Text) {
    SetWindowTextW(window, wide(utf8Text).c_str());
}

}  // namespace app::window_win32
