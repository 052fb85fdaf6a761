// Values as the engine stores them, where Access has its own way: fixed-length text and the
// decimal writer's digits.
#include <gtest/gtest.h>

#include "jet/coding.h"
#include "jet/error.h"
#include "jet/row_reader.h"
#include "jet/row_writer.h"

namespace {

using namespace jet;

Column fixedText(int characters) {
    Column c;
    c.name = "c_flag_";
    c.type = ColumnType::Text;
    c.flags = 0x01;  // fixed length
    c.length = uint16_t(characters * 2);
    c.allowZeroLength = true;
    c.extraFlags = 0x01;  // compression allowed: never used for a fixed column
    return c;
}

Value roundTrip(const Column& column, const Value& value, Bytes* stored = nullptr) {
    ColumnBytes encoded = encodeValue(column, value, "T");
    if (stored) *stored = encoded.bytes;
    ValueContext context;
    context.format = &JetFormat::forVersion(4);
    return decodeValue(column, encoded.bytes, context, "test.mdb");
}

TEST(ValueEncoding, FixedTextIsPaddedWithSpacesToItsLength) {
    Bytes stored;
    EXPECT_EQ(roundTrip(fixedText(1), Value(std::string()), &stored).as<std::string>(), " ");
    EXPECT_EQ(stored, (Bytes{0x20, 0x00})) << "an empty text is a space, never a NUL";
    EXPECT_EQ(roundTrip(fixedText(3), Value(std::string("ab")), &stored).as<std::string>(), "ab ");
    EXPECT_EQ(stored.size(), 6u);
    EXPECT_EQ(roundTrip(fixedText(3), Value(std::string("กข")), &stored).as<std::string>(), "กข ");
}

TEST(ValueEncoding, FixedTextLongerThanItsColumnIsRefused) {
    try {
        encodeValue(fixedText(2), Value(std::string("abc")), "T");
        ADD_FAILURE() << "a text longer than its fixed column was accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::TooLong);
    }
}

TEST(ValueEncoding, DecimalKeepsEveryDigitUpToItsPrecision) {
    Column c;
    c.name = "Amount";
    c.type = ColumnType::Decimal;
    c.flags = 0x01;
    c.precision = 18;
    c.scale = 0;
    auto decimal = [](const char* text) { return Value(*Decimal::parse(text)); };
    EXPECT_EQ(roundTrip(c, decimal("12345678901234567")).as<Decimal>().toString(),
              "12345678901234567");
    EXPECT_EQ(roundTrip(c, decimal("-999999999999999999")).as<Decimal>().toString(),
              "-999999999999999999");
    try {
        encodeValue(c, decimal("1000000000000000000"), "T");
        ADD_FAILURE() << "a 19-digit value was accepted into precision 18";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::Overflow);
    }
    EXPECT_FALSE(Decimal::parse("12e5"));
    EXPECT_FALSE(Decimal::parse("1.2.3"));
    EXPECT_FALSE(Decimal::parse(std::string(29, '9')));
    EXPECT_EQ(Decimal::parse("-000.50")->toString(), "-0.50");
}

}  // namespace
