#include "text/characters.h"

namespace text {

namespace {

// Length in bytes of the character starting at text[pos]; 1 for a byte that starts no valid
// sequence or a sequence cut short by the end of the text.
size_t charLength(std::string_view text, size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    size_t length = 1;
    if (lead >= 0xF0 && lead < 0xF8) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = lead < 0xF0 ? 3 : 1;
    } else if (lead >= 0xC0) {
        length = 2;
    }
    if (pos + length > text.size()) return 1;
    for (size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80) return 1;
    }
    return length;
}

// Byte offset of character number `index` (from 0), or text.size() when there are fewer.
size_t byteOffset(std::string_view text, size_t index) {
    size_t pos = 0;
    while (index > 0 && pos < text.size()) {
        pos += charLength(text, pos);
        --index;
    }
    return pos;
}

}  // namespace

size_t charCount(std::string_view text) {
    size_t count = 0;
    for (size_t pos = 0; pos < text.size(); pos += charLength(text, pos)) ++count;
    return count;
}

std::string midChars(std::string_view text, size_t start, size_t length) {
    const size_t begin = byteOffset(text, start - 1);
    const size_t end = begin + byteOffset(text.substr(begin), length);
    return std::string(text.substr(begin, end - begin));
}

std::string leftChars(std::string_view text, size_t count) {
    return midChars(text, 1, count);
}

std::string rightChars(std::string_view text, size_t count) {
    const size_t total = charCount(text);
    if (count >= total) return std::string(text);
    return midChars(text, total - count + 1, count);
}

}  // namespace text
