// Text, dates and the small value types: what the file stores against what the API shows.
#include <gtest/gtest.h>

#include "jet/header.h"
#include "jet/text_codec.h"
#include "jet/value.h"

namespace {

using jet::Bytes;

std::string decode(const Bytes& b) {
    return jet::decodeJet4Text(b.data(), b.size());
}

TEST(TextCodec, DecodesPlainCompressedAndToggledText) {
    EXPECT_EQ(decode({'A', 0, 0xE4, 0}), "Aä");
    EXPECT_EQ(decode({0xFF, 0xFE, 'a', 'b', 'c'}), "abc");
    // 0x00 switches to two-byte units and back again.
    EXPECT_EQ(decode({0xFF, 0xFE, 'a', 0x00, 0x1C, 0x04, 0x00, 'z'}), "aМz");
    // A surrogate pair becomes one character; a lone surrogate becomes U+FFFD.
    EXPECT_EQ(decode({0x3D, 0xD8, 0x00, 0xDE}), "\xF0\x9F\x98\x80");
    EXPECT_EQ(decode({0x3D, 0xD8, 'x', 0}), "\xEF\xBF\xBDx");
    EXPECT_EQ(decode({}), "");
}

TEST(TextCodec, EncodesAsAccessDoesAndRoundTrips) {
    auto u16 = [](const char* s) { return *jet::utf8ToUtf16(s); };
    EXPECT_EQ(jet::encodeJet4Text(u16("abc"), true), (Bytes{0xFF, 0xFE, 'a', 'b', 'c'}));
    // Short values, values beyond Latin-1 and uncompressed columns stay UCS-2.
    EXPECT_EQ(jet::encodeJet4Text(u16("ab"), true), (Bytes{'a', 0, 'b', 0}));
    EXPECT_EQ(jet::encodeJet4Text(u16("aМz"), true).size(), 6u);
    EXPECT_EQ(jet::encodeJet4Text(u16("abc"), false).size(), 6u);
    for (const char* s : {"", "Grüße", "ภาษาไทย", "漢字仮名交じり文", "\xF0\x9F\x98\x80 x"}) {
        for (bool compress : {false, true}) {
            Bytes b = jet::encodeJet4Text(u16(s), compress);
            EXPECT_EQ(decode(b), s);
        }
    }
    EXPECT_FALSE(jet::utf8ToUtf16("\xC3").has_value());
    EXPECT_FALSE(jet::utf8ToUtf16("\xC0\x80").has_value());      // overlong
    EXPECT_FALSE(jet::utf8ToUtf16("\xED\xA0\x80").has_value());  // encoded surrogate
}

TEST(TextCodec, CodePagesAndNameFolding) {
    const uint8_t cp1252[] = {'U', 'm', 's', 0xE4, 't', 'z', 'e', 0x80};
    EXPECT_EQ(jet::decodeCodePageText(cp1252, sizeof cp1252, 1252), "Umsätze€");
    const uint8_t cp874[] = {0xA1, 0xD2, 0xC3};
    EXPECT_EQ(jet::decodeCodePageText(cp874, sizeof cp874, 874), "การ");
    EXPECT_TRUE(jet::sameName("Order Details", "ORDER details"));
    EXPECT_TRUE(jet::sameName("UMSÄTZE", "umsätze"));
    EXPECT_FALSE(jet::sameName("Table1", "Table2"));
}

TEST(DateTime, CivilConversionBothWays) {
    using jet::CivilDateTime;
    using jet::DateTime;
    EXPECT_EQ(DateTime{0.0}.toString(), "1899-12-30 00:00:00");
    // Negative dates: the fraction's magnitude is the time of day.
    EXPECT_EQ(DateTime{-1.25}.toString(), "1899-12-29 06:00:00");
    EXPECT_EQ(DateTime{36526.5}.toString(), "2000-01-01 12:00:00");
    EXPECT_EQ(DateTime{2958465.0}.toString(), "9999-12-31 00:00:00");
    // A time a hair below midnight rounds into the next day, not to 24:00:00.
    EXPECT_EQ(DateTime{1.0 - 1e-10}.toString(), "1899-12-31 00:00:00");
    // Times stored a hair below a whole second show that second, as Access shows them.
    double justBelow = 1.0 + (15 * 3600 + 35 * 60 + 37) / 86400.0 - 1e-9;
    EXPECT_EQ(DateTime{justBelow}.toString(), "1899-12-31 15:35:37");
    EXPECT_EQ(DateTime{justBelow}.toCivil().second, 37);
    EXPECT_EQ(DateTime{1.0 + 0.4 / 86400.0}.toString(), "1899-12-31 00:00:00");
    for (CivilDateTime c :
         {CivilDateTime{2024, 2, 29, 23, 59, 59, 0}, CivilDateTime{1898, 1, 1, 6, 30, 0, 0},
          CivilDateTime{632, 1, 1, 0, 0, 0, 0}, CivilDateTime{1899, 12, 30, 13, 0, 0, 500}}) {
        EXPECT_EQ(DateTime::fromCivil(c).toCivil(), c);
    }
    EXPECT_DOUBLE_EQ(DateTime::fromCivil({1899, 12, 29, 6, 0, 0, 0}).oleDate, -1.25);
}

TEST(Values, GuidAndDecimalText) {
    jet::Guid g;
    for (int i = 0; i < 16; ++i) g.bytes[i] = uint8_t(i);
    EXPECT_EQ(g.toString(), "{03020100-0504-0706-0809-0A0B0C0D0E0F}");
    EXPECT_EQ((jet::Decimal{false, 0, 12340, 3}).toString(), "12.340");
    EXPECT_EQ((jet::Decimal{true, 0, 5, 3}).toString(), "-0.005");
    EXPECT_EQ((jet::Decimal{true, 0, 0, 2}).toString(), "0.00");
    EXPECT_EQ((jet::Decimal{false, 1, 0, 0}).toString(), "18446744073709551616");
}

TEST(Header, MaskIsItsOwnInverseAndStartsWithTheKnownKeystream) {
    std::vector<uint8_t> page(4096, 0);
    jet::applyHeaderMask(page.data(), 4);
    EXPECT_EQ(page[0x18], 0xB5);
    EXPECT_EQ(page[0x19], 0x6F);
    EXPECT_EQ(page[0x1F], 0x55);
    jet::applyHeaderMask(page.data(), 4);
    EXPECT_EQ(page, std::vector<uint8_t>(4096, 0));
}

}  // namespace
