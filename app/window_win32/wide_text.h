// UTF-8, the project's text, to and from the UTF-16 the system's wide calls take.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace app::window_win32 {

std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view text);
// The whole text of a window (a control's text or caption) as UTF-8.
std::string windowText(HWND window);
void setWindowText(HWND window, std::string_view utf8Text);

}  // namespace app::window_win32
