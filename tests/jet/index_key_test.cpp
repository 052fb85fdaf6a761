// Index key encodings: the Access-written examples byte for byte, and the ordering properties
// the index code relies on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/text_codec.h"
#include "support/error_number.h"

namespace {

using jet::ColumnType;
using jet::IndexKey;
using jet::Value;
using testing_support::errorNumberOf;

std::string segment(ColumnType type, const Value& v, bool ascending = true) {
    IndexKey key;
    jet::appendKeySegment(key, type, ascending, v);
    return jet::hexBytes(key);
}

IndexKey keyOf(ColumnType type, const Value& v, bool ascending = true) {
    IndexKey key;
    jet::appendKeySegment(key, type, ascending, v);
    return key;
}

TEST(IndexKeyText, AccessWrittenKeysByteForByte) {
    EXPECT_EQ(segment(ColumnType::Text, "only ascii chars"),
              "7F 64 62 5E 76 07 4A 6B 4D 59 59 07 4D 57 4A 69 6B 01 00");
    EXPECT_EQ(segment(ColumnType::Text, "ümlaut"), "7F 6F 60 5E 4A 6F 6D 01 13 00");
    EXPECT_EQ(segment(ColumnType::Text, "ääkkösiä"),
              "7F 4A 4A 5C 5C 64 6B 59 4A 01 13 13 02 02 13 02 02 13 00");
    EXPECT_EQ(segment(ColumnType::Text, "Мир"), "7F 79 43 79 3B 79 48 01 00");
    EXPECT_EQ(segment(ColumnType::Text, ""), "7F 01 00");

    // CJK: crazy codes all trimmed, then the fixed crazy suffix.
    std::string cjk = segment(ColumnType::Text, "漢字仮名交じり文");
    EXPECT_NE(cjk.find(" 01 02 02 02 02 02 03 01 01 FF 02 80 FF 80 00"), std::string::npos) << cjk;
}

// Texts keyed over and over, more of them than are kept from one key to the next, ascending
// and descending, short and long: every key is the text's own.
TEST(IndexKeyText, TextsKeyedAgainGiveTheirOwnKeys) {
    std::vector<std::string> texts = {"E00001",
                                      "e00001",
                                      "E00001 ",
                                      "I",
                                      "01",
                                      "ก",
                                      "",
                                      std::string(70, 'x'),
                                      std::string(70, 'x') + "y"};
    for (int i = 0; i < 12; ++i) texts.push_back("code" + std::to_string(i));
    for (int round = 0; round < 3; ++round) {
        for (size_t i = 0; i < texts.size(); i += size_t(1 + round)) {
            for (bool ascending : {true, false}) {
                IndexKey want{ascending ? jet::kKeyAscending : jet::kKeyDescending};
                auto utf16 = jet::utf8ToUtf16(texts[i]);
                ASSERT_TRUE(utf16);
                jet::appendGeneralLegacyText(want, *utf16, ascending);
                EXPECT_EQ(keyOf(ColumnType::Text, texts[i], ascending), want)
                    << "'" << texts[i] << "' round " << round;
            }
        }
    }
}

TEST(IndexKeyText, ModifiersUnprintablesAndCrazyCodes) {
    // A combining accent adds to the placeholder of the letter before it.
    EXPECT_EQ(segment(ColumnType::Text, "a\u0301"), "7F 4A 01 0E 00");
    // With no letter before it, it starts the extra section on its own.
    EXPECT_EQ(segment(ColumnType::Text, "\u0301"), "7F 01 0C 00");
    // An unprintable at position 0 goes to its own section after the extra bytes.
    EXPECT_EQ(segment(ColumnType::Text, "'a"), "7F 4A 01 01 01 01 80 07 06 80 00");
    // A small hiragana carries crazy code 2, packed into the suffix.
    EXPECT_EQ(segment(ColumnType::Text, "\u3041"), "7F 7F 02 01 01 01 A0 FF 02 80 FF 80 00");
}

TEST(IndexKeyText, CaseTrailingSpacesAndTruncation) {
    // Case is not significant: unique text indexes are case-insensitive.
    IndexKey lower = keyOf(ColumnType::Text, "abc"), upper = keyOf(ColumnType::Text, "ABC");
    EXPECT_EQ(lower, upper);

    EXPECT_EQ(keyOf(ColumnType::Text, "abc   "), lower);
    EXPECT_NE(keyOf(ColumnType::Text, "  abc"), lower);

    std::string longText(255, 'a');
    EXPECT_EQ(keyOf(ColumnType::Text, longText + "zzz"), keyOf(ColumnType::Text, longText));
    EXPECT_NE(keyOf(ColumnType::Text, longText.substr(1) + "z"), keyOf(ColumnType::Text, longText));
}

TEST(IndexKeyText, ThaiAndLatinSortInDictionaryOrder) {
    // Thai consonants in alphabet order, Latin words, digits before letters.
    std::vector<std::string> ordered = {"0", "1", "10", "2", "a", "ab", "B", "c",
                                        "z", "ก", "กา", "ข", "ค", "ง",  "จ", "ฮ"};
    for (size_t i = 1; i < ordered.size(); ++i) {
        EXPECT_LT(keyOf(ColumnType::Text, ordered[i - 1]), keyOf(ColumnType::Text, ordered[i]))
            << ordered[i - 1] << " vs " << ordered[i];
    }
    // Descending text reverses the order and ends with its own terminator.
    for (size_t i = 1; i < ordered.size(); ++i) {
        EXPECT_GT(keyOf(ColumnType::Text, ordered[i - 1], false),
                  keyOf(ColumnType::Text, ordered[i], false));
    }
    IndexKey desc = keyOf(ColumnType::Text, "a", false);
    EXPECT_EQ(desc.front(), jet::kKeyDescending);
    EXPECT_EQ(desc.back(), 0x00);
}

TEST(IndexKeyText, SurrogatesAndInvalidUtf8DoNotBreakKeys) {
    // U+1F600 (a surrogate pair) produces inline bytes and an extra byte per unit.
    std::string emoji = segment(ColumnType::Text, "\xF0\x9F\x98\x80");
    EXPECT_EQ(emoji.substr(0, 2), "7F");
    EXPECT_NE(emoji.find("3F 3F"), std::string::npos) << emoji;
    EXPECT_THROW(keyOf(ColumnType::Text, "a\xFF"), jet::Error);
}

TEST(IndexKeyNumbers, SignedFloatDateAndCurrencyOrder) {
    // Access-written descending Long.
    EXPECT_EQ(segment(ColumnType::Long, int32_t(19), false), "80 7F FF FF EC");
    EXPECT_EQ(segment(ColumnType::Long, int32_t(19)), "7F 80 00 00 13");
    EXPECT_EQ(segment(ColumnType::Integer, int16_t(-1)), "7F 7F FF");
    EXPECT_EQ(segment(ColumnType::Byte, uint8_t(200)), "7F C8");
    EXPECT_EQ(segment(ColumnType::Long, Value()), "00");
    EXPECT_EQ(segment(ColumnType::Long, Value(), false), "FF");

    std::vector<double> doubles = {-1e300, -2.5, -0.0001, 0.0, 1e-10, 1.0, 3.5, 1e300};
    std::vector<float> singles = {-1e30f, -2.5f, -0.0001f, 0.0f, 1e-10f, 1.0f, 3.5f, 1e30f};
    for (size_t i = 1; i < doubles.size(); ++i) {
        EXPECT_LT(keyOf(ColumnType::Double, doubles[i - 1]), keyOf(ColumnType::Double, doubles[i]));
        EXPECT_LT(keyOf(ColumnType::Single, singles[i - 1]), keyOf(ColumnType::Single, singles[i]));
        EXPECT_GT(keyOf(ColumnType::DateTime, jet::DateTime{doubles[i - 1]}, false),
                  keyOf(ColumnType::DateTime, jet::DateTime{doubles[i]}, false));
    }
    std::vector<int64_t> money = {INT64_MIN, -10000, -1, 0, 1, 125000, INT64_MAX};
    for (size_t i = 1; i < money.size(); ++i) {
        EXPECT_LT(keyOf(ColumnType::Currency, jet::Currency{money[i - 1]}),
                  keyOf(ColumnType::Currency, jet::Currency{money[i]}));
    }
    EXPECT_EQ(segment(ColumnType::Boolean, true), "7F 00");
    EXPECT_EQ(segment(ColumnType::Boolean, false), "7F FF");
    EXPECT_EQ(segment(ColumnType::Boolean, false, false), "80 00");
}

TEST(IndexKeyBinary, GroupsGuidAndDecimal) {
    EXPECT_EQ(segment(ColumnType::Binary, jet::Bytes{1, 2, 3}), "7F 01 02 03 00 00 00 00 00 03");
    EXPECT_EQ(segment(ColumnType::Binary, jet::Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}),
              "7F 01 02 03 04 05 06 07 08 09 09 00 00 00 00 00 00 00 01");
    EXPECT_EQ(segment(ColumnType::Binary, jet::Bytes{1, 2, 3}, false),
              "80 FE FD FC FF FF FF FF FF FC");

    jet::Guid g;
    for (int i = 0; i < 16; ++i) g.bytes[size_t(i)] = uint8_t(i);
    EXPECT_EQ(segment(ColumnType::Guid, g),
              "7F 03 02 01 00 05 04 07 06 09 08 09 0A 0B 0C 0D 0E 0F 08");

    jet::Decimal pos{false, 0, 5, 0}, neg{true, 0, 5, 0};
    IndexKey p = keyOf(ColumnType::Decimal, pos), n = keyOf(ColumnType::Decimal, neg);
    EXPECT_EQ(p.size(), 18u);
    EXPECT_EQ(p[1], 0xFF);
    EXPECT_EQ(n[1], 0x00);
    EXPECT_LT(n, p);
}

TEST(IndexKeyBuild, MultiColumnNullsAndTypeErrors) {
    jet::IndexDescriptor index;
    index.name = "ByNameAndId";
    index.flags = jet::kIndexIgnoreNulls;
    jet::KeyColumn name{ColumnType::Text, true, 1, "Name"};
    jet::KeyColumn id{ColumnType::Long, false, 0, "Id"};
    index.columns = {name, id};

    jet::Row row = {int32_t(19), std::string("abc")};
    EXPECT_EQ(jet::hexBytes(jet::buildIndexKey(index, row)), "7F 4A 4C 4D 01 00 80 7F FF FF EC");
    EXPECT_FALSE(jet::allKeyColumnsNull(index, row));
    EXPECT_TRUE(jet::allKeyColumnsNull(index, jet::Row{Value(), Value()}));

    jet::Row wrongType = {std::string("x"), std::string("abc")};
    std::string message;
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { jet::buildIndexKey(index, wrongType); }, &message),
              jet::ErrorCode::TypeMismatch)
        << "expected a type mismatch";
    EXPECT_NE(message.find("Id"), std::string::npos) << message;

    // A text column in another sort order cannot be keyed.
    index.columns[0].sortOrder = 0x041E;  // Thai
    EXPECT_FALSE(index.keysBuildable());
    EXPECT_THROW(jet::buildIndexKey(index, row), jet::Error);
    EXPECT_TRUE(jet::canBuildTextKeys(0x0409, 0));
    EXPECT_FALSE(jet::canBuildTextKeys(0x0409, 1));
}

}  // namespace
