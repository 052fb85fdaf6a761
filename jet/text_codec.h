// Text as the Jet file format stores it, converted to and from the engine's UTF-8 strings.
//
// Jet 4 stores text as UCS-2 little-endian, or "compressed": the marker FF FE, then one byte per
// character (high byte zero), with a 0x00 byte toggling between that mode and two-byte UCS-2.
// Jet 3 stores single-byte text in the database's code page. Decoding never fails: units that
// cannot be represented (an unpaired surrogate, a byte the code page leaves undefined) become
// U+FFFD. Encoding reports malformed UTF-8 so that nothing unreadable reaches a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

// UTF-8 of a Jet 4 text value (plain UCS-2 or compressed). An odd trailing byte is ignored.
std::string decodeJet4Text(const uint8_t* data, size_t size);
// UTF-8 of plain UCS-2LE bytes (property names and values, table and column names).
std::string decodeUcs2(const uint8_t* data, size_t size);
// UTF-8 of single-byte text in a Windows code page (Jet 3). Code pages other than 1252 and 874
// are read as 1252, which covers the ASCII range of every Windows code page.
std::string decodeCodePageText(const uint8_t* data, size_t size, uint16_t codePage);

// UTF-16 units of UTF-8 text, or nullopt when `utf8` is not well-formed UTF-8.
std::optional<std::u16string> utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

// The bytes of a Jet 4 text value. With `compress` (the column's Unicode-compression flag), a value
// of three or more characters all in U+0001..U+00FF is written compressed, as Access does;
// everything else is plain UCS-2LE.
// REQUIRES: `utf16` is what utf8ToUtf16 returned.
std::vector<uint8_t> encodeJet4Text(std::u16string_view utf16, bool compress);
// Plain UCS-2LE bytes (names, property text).
std::vector<uint8_t> encodeUcs2(std::u16string_view utf16);

// Case-insensitive comparison of object names as Jet matches them (ASCII and Latin-1 letters
// fold; other characters compare exactly).
std::string foldName(std::string_view utf8);
bool sameName(std::string_view a, std::string_view b);

}  // namespace jet
