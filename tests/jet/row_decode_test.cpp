// Row decoding on hand-made rows: Jet 3 jump tables, rows older than their table, and random bytes
// (which must decode or fail with jet::Error, never read outside the row).
#include <gtest/gtest.h>

#include <random>

#include "jet/coding.h"
#include "jet/error.h"
#include "jet/row_reader.h"
#include "jet/tdef.h"

namespace {

using jet::Bytes;
using jet::Column;
using jet::ColumnType;

Column column(const char* name, ColumnType type, uint16_t number, bool fixed, uint16_t offsetOrVar,
              uint16_t length = 0) {
    Column c;
    c.name = name;
    c.type = type;
    c.number = number;
    c.flags = fixed ? 0x03 : 0x02;
    if (fixed) {
        c.fixedOffset = offsetOrVar;
    } else {
        c.varIndex = offsetOrVar;
    }
    c.length = length;
    return c;
}

// Long (fixed), two Text columns (variable), Yes/No.
jet::Tdef smallTable() {
    jet::Tdef t;
    t.maxColumns = 4;
    t.varColumns = 2;
    t.columns = {column("id", ColumnType::Long, 0, true, 0, 4),
                 column("a", ColumnType::Text, 1, false, 0, 510),
                 column("b", ColumnType::Text, 2, false, 1, 510),
                 column("flag", ColumnType::Boolean, 3, true, 0)};
    return t;
}

jet::ValueContext context(const jet::JetFormat& format) {
    jet::ValueContext c;
    c.format = &format;
    c.readLongValue = [](std::span<const uint8_t>) -> Bytes {
        throw jet::Error(jet::ErrorCode::Corrupt, "no long values here");
    };
    return c;
}

jet::Row decode(const jet::JetFormat& format, const jet::Tdef& t, const Bytes& row) {
    jet::RowLayout layout(format, t, row.data(), row.size(), 9, 0, "test.mdb");
    jet::Row out;
    jet::decodeRow(layout, t, context(format), "test.mdb", out);
    return out;
}

// A Jet 3 row: 1-byte column count, fixed area, var data, then from the end: null mask, var count,
// jump table, var offsets in reverse, end of data.
Bytes jet3Row(int32_t id, const std::string& a, const std::string& b, bool flag) {
    Bytes row = {4, 0, 0, 0, 0};
    jet::putI32(&row[1], id);
    uint16_t aStart = uint16_t(row.size());
    row.insert(row.end(), a.begin(), a.end());
    uint16_t bStart = uint16_t(row.size());
    row.insert(row.end(), b.begin(), b.end());
    uint16_t end = uint16_t(row.size());
    // Trailer size: EOD + 2 offsets + jumps + count + mask; jumps = (total - 1) / 256.
    size_t total = row.size() + 1 + 2 + 1 + 1;
    size_t jumps = 0;
    while ((total + jumps - 1) / 256 > jumps) ++jumps;
    total += jumps;
    std::vector<uint16_t> offsets = {aStart, bStart, end};
    row.push_back(uint8_t(end));     // EOD (entry 2)
    row.push_back(uint8_t(bStart));  // entry 1
    row.push_back(uint8_t(aStart));  // entry 0
    std::vector<uint8_t> jumpTable;  // read from the last byte backwards
    for (size_t j = 0; j < jumps; ++j) {
        uint8_t first = 3;  // first var entry whose offset reaches (j + 1) * 256
        for (int k = 2; k >= 0; --k)
            if (offsets[size_t(k)] >= (j + 1) * 256) first = uint8_t(k);
        jumpTable.insert(jumpTable.begin(), first);
    }
    row.insert(row.end(), jumpTable.begin(), jumpTable.end());
    row.push_back(2);  // var count
    row.push_back(uint8_t(0x01 | 0x02 | 0x04 | (flag ? 0x08 : 0)));
    EXPECT_EQ(row.size(), total);
    return row;
}

TEST(RowDecode, Jet3RowsWithAndWithoutJumpTables) {
    const auto& f3 = jet::JetFormat::jet3();
    jet::Tdef t = smallTable();
    for (size_t lengthA : {0u, 10u, 250u, 300u, 600u}) {
        std::string a(lengthA, 'x'), b = "tail";
        SCOPED_TRACE(lengthA);
        jet::Row row = decode(f3, t, jet3Row(42, a, b, true));
        EXPECT_EQ(row, (jet::Row{int32_t(42), a, b, true}));
    }
}

TEST(RowDecode, ColumnsAddedAfterTheRowWasWrittenAreNull) {
    const auto& f4 = jet::JetFormat::jet4();
    jet::Tdef t = smallTable();
    // A Jet 4 row written when the table had only "id" and "a" (2 columns, 1 var entry).
    Bytes row = {2, 0, 7, 0, 0, 0, 'h', 0, 'i', 0};
    // Trailer: EOD, entry 0 (reverse order), var count, null mask.
    auto put16 = [&](uint16_t v) {
        row.push_back(uint8_t(v));
        row.push_back(uint8_t(v >> 8));
    };
    put16(10);  // EOD
    put16(6);   // entry 0
    put16(1);   // var count
    row.push_back(0x03);
    t.columns.push_back(column("late", ColumnType::Long, 4, true, 4, 4));
    t.maxColumns = 5;
    jet::Row decoded = decode(f4, t, row);
    EXPECT_EQ(decoded[0], jet::Value(int32_t(7)));
    EXPECT_EQ(decoded[1], jet::Value("hi"));
    EXPECT_TRUE(decoded[2].isNull());          // no var entry in this row
    EXPECT_EQ(decoded[3], jet::Value(false));  // Yes/No beyond the mask reads as No
    EXPECT_TRUE(decoded[4].isNull());
}

TEST(RowDecode, RandomBytesNeverEscapeTheRow) {
    std::mt19937 random(7);
    jet::Tdef t = smallTable();
    t.columns.push_back(column("memo", ColumnType::Memo, 5, false, 2));
    t.columns.push_back(column("money", ColumnType::Currency, 6, true, 4, 8));
    t.columns.push_back(column("dec", ColumnType::Decimal, 7, true, 12, 17));
    t.maxColumns = 8;
    t.varColumns = 3;
    int decoded = 0, refused = 0;
    for (const jet::JetFormat* format : {&jet::JetFormat::jet3(), &jet::JetFormat::jet4()}) {
        for (int round = 0; round < 3000; ++round) {
            // Exactly sized heap buffers so that AddressSanitizer sees any overrun.
            Bytes row(random() % 700);
            for (auto& b : row) b = uint8_t(random() % 4 == 0 ? random() % 8 : random());
            try {
                decode(*format, t, row);
                ++decoded;
            } catch (const jet::Error&) {
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(decoded, 0);
}

}  // namespace
