#include <gtest/gtest.h>

#include <string>

#include "text/windows874.h"

namespace {

std::string utf8Of(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

TEST(Windows874, EveryThaiCharacterRoundTrips) {
    int count = 0;
    for (int b = 0xA1; b <= 0xFB; ++b) {
        if (b >= 0xDB && b <= 0xDE) continue;
        const std::string byte(1, static_cast<char>(b));
        const std::string utf8 = text::windows874ToUtf8(byte);
        EXPECT_EQ(utf8, utf8Of(0x0E00 + (b - 0xA0))) << "byte " << b;
        EXPECT_EQ(text::utf8ToWindows874(utf8), byte) << "byte " << b;
        ++count;
    }
    EXPECT_EQ(count, 87);
}

TEST(Windows874, PunctuationAndUndefinedBytesDecodeAsWindowsDoes) {
    EXPECT_EQ(text::windows874ToUtf8("\x80"), "€");
    EXPECT_EQ(text::windows874ToUtf8("\x85"), "…");
    EXPECT_EQ(text::windows874ToUtf8("\x91\x92\x93\x94"), "‘’“”");
    EXPECT_EQ(text::windows874ToUtf8("\x95\x96\x97"), "•–—");
    EXPECT_EQ(text::windows874ToUtf8("\xA0"), "\u00A0");
    // Windows passes the unassigned bytes below 0xA0 through as C1 controls: they survive a
    // round trip. Its private-use characters for 0xDB-0xDE and 0xFC-0xFF are replaced.
    EXPECT_EQ(text::windows874ToUtf8("\x81"), "\u0081");
    EXPECT_EQ(text::utf8ToWindows874("\u0081\u009F"), "\x81\x9F");
    for (const char* b : {"\xDB", "\xDE", "\xFC", "\xFF"}) {
        EXPECT_EQ(text::windows874ToUtf8(b), "\uFFFD");
    }
    // Every byte decodes to something, and all but the replaced ones round-trip.
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string back = text::utf8ToWindows874(text::windows874ToUtf8(byte));
        const bool replaced = (b >= 0xDB && b <= 0xDE) || b >= 0xFC;
        EXPECT_EQ(back, replaced ? "?" : byte) << "byte " << b;
    }
}

TEST(Windows874, CharactersWithoutAByteBecomeQuestionMarks) {
    EXPECT_EQ(text::utf8ToWindows874("a\u00E9b"), "a?b");
    EXPECT_EQ(text::utf8ToWindows874("日本"), "??");
    EXPECT_EQ(text::utf8ToWindows874("\U0001F600x"), "?x");
    // Malformed UTF-8 never stops the conversion.
    EXPECT_EQ(text::utf8ToWindows874("a\xC3"), "a?");
    EXPECT_EQ(text::utf8ToWindows874("\xE0\xB8z"), "??z");
    EXPECT_EQ(text::utf8ToWindows874(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Windows874, DefaultTextFilePathRoundTrips) {
    const std::string path = "C:\\Program Files\\Payroll\\Sample\\Backup\\ข้อมูลประวัติพนักงาน.txt";
    const std::string bytes = text::utf8ToWindows874(path);
    EXPECT_EQ(bytes.size(), path.size() - 2 * 20);  // 20 Thai characters, 3 bytes -> 1
    EXPECT_EQ(bytes.find('?'), std::string::npos);
    EXPECT_EQ(text::windows874ToUtf8(bytes), path);
    EXPECT_EQ(bytes.substr(bytes.size() - 24, 4), "\xA2\xE9\xCD\xC1");  // ข้อม
}

}  // namespace
