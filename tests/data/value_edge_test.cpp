// Every column type at its edges, through SQL literals and through texts, as the desktop product
// stores them: the largest value kept digit for digit, one past it refused, the empty and the
// longest text, NULL.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "data/connection.h"
#include "data/conversion.h"
#include "support/test_support.h"

namespace {

using testing_support::TempDir;

int errorNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const report::RunTimeError& e) {
        return e.number();
    }
    return 0;
}

constexpr int kOverflow = 6;
constexpr int kFieldTooSmall = 3163;

class ValueEdges : public ::testing::Test {
  protected:
    void SetUp() override {
        jet::Database::create(dir / "Edges.mdb");
        db = std::make_shared<data::Connection>();
        db->Open(std::string(data::kProviderText) + (dir / "Edges.mdb").string());
        db->Execute(
            "CREATE TABLE E (Id LONG, B BYTE, I SHORT, L LONG, C CURRENCY, S SINGLE, D DOUBLE, "
            "T TEXT(255), Z TEXT(5), M MEMO, G GUID, N DECIMAL(18,0), F DECIMAL(28,4), "
            "Dt DATETIME, Y YESNO)");
    }
    // Inserts one value into `column` of a new row; returns the error number (0: kept).
    int insert(const std::string& column, const std::string& literal) {
        const int id = ++lastId;
        return errorNumber([&] {
            db->Execute("INSERT INTO E (Id, " + column + ") VALUES (" + std::to_string(id) + ", " +
                        literal + ")");
        });
    }
    // The column of the row last inserted, as text.
    std::string stored(const std::string& column) {
        jet::Table table = db->database()->table("E");
        std::string out = "(no row)";
        const int position = table.columnIndex(column);
        table.scan([&](jet::RowId, const jet::Row& row) {
            if (row[0].is<int32_t>() && row[0].as<int32_t>() == lastId) {
                out = row[position].isNull() ? "NULL" : data::valueToText(row[position]);
                if (row[position].is<jet::Decimal>())
                    out = row[position].as<jet::Decimal>().toString();
                if (row[position].is<jet::Currency>())
                    out = std::to_string(row[position].as<jet::Currency>().units);
                return false;
            }
            return true;
        });
        return out;
    }

    TempDir dir;
    std::shared_ptr<data::Connection> db;
    int lastId = 0;
};

TEST_F(ValueEdges, LargestValuesKeptEveryDigitAndOnePastRefused) {
    struct Edge {
        const char* column;
        const char* largest;  // as written in the statement
        const char* kept;     // as read back
        const char* onePast;
    };
    const Edge edges[] = {
        {"B", "255", "255", "256"},
        {"I", "-32768", "-32768", "32768"},
        {"L", "2147483647", "2147483647", "2147483648"},
        {"C", "922337203685477.5807", "9223372036854775807", "922337203685477.5808"},
        {"C", "-922337203685477.5808", "-9223372036854775808", "-922337203685477.5809"},
        {"N", "12345678901234567", "12345678901234567", "1234567890123456789"},
        {"N", "-999999999999999999", "-999999999999999999", "1000000000000000000"},
        {"N", "'12345678901234567'", "12345678901234567", "'1234567890123456789'"},
        {"F", "999999999999999999999999.9999", "999999999999999999999999.9999",
         "1000000000000000000000000"},
    };
    for (const Edge& e : edges) {
        SCOPED_TRACE(std::string(e.column) + " " + e.largest);
        EXPECT_EQ(insert(e.column, e.largest), 0);
        EXPECT_EQ(stored(e.column), e.kept);
        EXPECT_EQ(insert(e.column, e.onePast), kOverflow) << e.onePast;
    }
    EXPECT_EQ(insert("T", "'" + std::string(255, 'x') + "'"), 0);
    EXPECT_EQ(stored("T"), std::string(255, 'x'));
    EXPECT_EQ(insert("T", "'" + std::string(256, 'x') + "'"), kFieldTooSmall);
    EXPECT_EQ(insert("Z", "'abcdef'"), kFieldTooSmall);
}

TEST_F(ValueEdges, EmptyTextAndNullInEveryColumn) {
    EXPECT_EQ(insert("Z", "''"), 0);
    EXPECT_EQ(stored("Z"), "");
    for (const char* column : {"B", "I", "L", "C", "S", "D", "T", "Z", "M", "G", "N", "F", "Dt"}) {
        SCOPED_TRACE(column);
        EXPECT_EQ(insert(column, "NULL"), 0);
        EXPECT_EQ(stored(column), "NULL");
    }
}

}  // namespace
