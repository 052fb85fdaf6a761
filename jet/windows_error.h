// The system's text for a Windows error code, in UTF-8 (Windows sources only).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "jet/path_text.h"

namespace jet {

inline std::string windowsErrorText(DWORD code) {
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' ')) --n;
    std::string out = n ? utf8FromPath(std::filesystem::path(std::wstring(text, n)))
                        : "system error " + std::to_string(code);
    if (text) LocalFree(text);
    return out;
}

}  // namespace jet
