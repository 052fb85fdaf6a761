#include "text/windows874.h"

#include <cstdint>

#include "jet/unicode.h"

namespace text {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The byte of a character, or 0 when it has none.
uint8_t charToByte(char32_t c) {
    if (c < 0x80) return static_cast<uint8_t>(c);
    if (c >= 0x81 && c <= 0x9F) {
        uint8_t b = static_cast<uint8_t>(c);
        return jet::windows874Char(b) == c ? b : 0;
    }
    if ((c >= 0x0E01 && c <= 0x0E3A) || (c >= 0x0E3F && c <= 0x0E5B)) {
        return static_cast<uint8_t>(c - 0x0E00 + 0xA0);
    }
    switch (c) {
        case 0x20AC:
            return 0x80;
        case 0x2026:
            return 0x85;
        case 0x2018:
            return 0x91;
        case 0x2019:
            return 0x92;
        case 0x201C:
            return 0x93;
        case 0x201D:
            return 0x94;
        case 0x2022:
            return 0x95;
        case 0x2013:
            return 0x96;
        case 0x2014:
            return 0x97;
        case 0x00A0:
            return 0xA0;
        default:
            return 0;
    }
}

// Decodes one UTF-8 sequence at bytes[i], advancing i. A malformed sequence yields U+FFFD and
// consumes one byte, so that the rest of the text still converts.
char32_t nextChar(std::string_view bytes, size_t& i) {
    const auto lead = static_cast<uint8_t>(bytes[i]);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int extra;
    char32_t c;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + extra >= bytes.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto cont = static_cast<uint8_t>(bytes[i + k]);
        if ((cont & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        c = (c << 6) | (cont & 0x3F);
    }
    i += extra + 1;
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
    return c;
}

}  // namespace

std::string windows874ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    for (char ch : bytes) {
        const auto b = static_cast<uint8_t>(ch);
        if (b < 0x80) {
            out += ch;
        } else {
            char utf8[4];
            out.append(utf8, jet::encodeUtf8(jet::windows874Char(b), utf8));
        }
    }
    return out;
}

std::string utf8ToWindows874(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const char32_t c = nextChar(utf8, i);
        const uint8_t b = charToByte(c);
        out += (b == 0 && c != 0) ? '?' : static_cast<char>(b);
    }
    return out;
}

}  // namespace text
