// Public: part of the engine's interface to the programs built on it.
// Single characters: the UTF-8 of a code point, and the character of a Windows-874 (Thai) byte.
//
// The engine needs both to read text (UCS-2 and Jet 3 code-page bytes become UTF-8); the programs
// on it need the same two for their Thai text files. One table and one encoder serve both, so a
// byte read from a text file and the same byte read from a Jet 3 file give the same character.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet {

// Writes the UTF-8 of `c` to `out` and returns how many bytes it took (1 to 4).
// REQUIRES: `c` <= U+10FFFF; `out` has room for four bytes.
inline size_t encodeUtf8(char32_t c, char* out) {
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6));
        out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = char(0xE0 | (c >> 12));
        out[1] = char(0x80 | ((c >> 6) & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (c >> 18));
    out[1] = char(0x80 | ((c >> 12) & 0x3F));
    out[2] = char(0x80 | ((c >> 6) & 0x3F));
    out[3] = char(0x80 | (c & 0x3F));
    return 4;
}

// The character Windows gives a byte of code page 874: ASCII below 0x80, the Thai letters, the
// few punctuation marks of 0x80..0x9F (euro, ellipsis, quotes, bullet, dashes) and no-break space.
// The other bytes of 0x81..0x9F come through as the C1 control of the same value, as Windows
// passes them: a byte nobody assigned is kept, not lost, so it survives a round trip through a
// text file or a Jet 3 table. The eight bytes Windows sends to its private-use area (0xDB..0xDE,
// 0xFC..0xFF) become U+FFFD.
char32_t windows874Char(uint8_t byte);

}  // namespace jet
