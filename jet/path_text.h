// Paths and the project's text. Every string in the project is UTF-8; a std::filesystem::path
// made straight from a std::string is read in the system's ANSI code page on Windows, so strings
// become paths, and paths strings, only through these two.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace jet {

inline std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string utf8FromPath(const std::filesystem::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace jet
