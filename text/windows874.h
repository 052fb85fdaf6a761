// The Thai single-byte code page of Windows (874), to and from UTF-8.
//
// Input text files and the settings file are in this code page. Decoding follows Windows: bytes
// 0x80-0xFF map as Windows' table maps them, including the few that Windows maps although the
// standard leaves them undefined; a byte with no mapping at all becomes the character Windows
// gives it (U+F7xx private-use area is not used: such bytes become U+FFFD).
#pragma once

#include <string>
#include <string_view>

namespace text {

std::string windows874ToUtf8(std::string_view bytes);
// Characters without a Windows-874 byte become '?', as Windows' conversion does.
std::string utf8ToWindows874(std::string_view utf8);

}  // namespace text
