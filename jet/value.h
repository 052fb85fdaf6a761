// Public: part of the engine's interface to the programs built on it.
// Column types and typed values of the Access file engine.
//
// A Value is what one column of one row holds: null, or a value of the C++ type that matches the
// column's Jet type exactly (see ColumnType). Text is UTF-8 at this interface whatever the file
// stores; Currency is an exact count of ten-thousandths; Date/Time is the OLE automation date
// (days since 1899-12-30 as a double) with helpers to and from a civil date-time.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace jet {

// The type byte of a column descriptor.
enum class ColumnType : uint8_t {
    Boolean = 0x01,   // Yes/No: lives in the null mask, never null
    Byte = 0x02,      // unsigned 8-bit
    Integer = 0x03,   // signed 16-bit
    Long = 0x04,      // signed 32-bit (AutoNumber when the column says so)
    Currency = 0x05,  // signed 64-bit count of 1/10 000
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,  // OLE date
    Binary = 0x09,    // up to 255 bytes
    Text = 0x0A,      // up to 255 characters
    OLE = 0x0B,       // long binary
    Memo = 0x0C,      // long text
    Unknown0D = 0x0D,
    Guid = 0x0F,     // Replication ID
    Decimal = 0x10,  // Numeric: precision and scale in the column
    Complex = 0x11,  // fixed-size raw bytes used by some system tables
};

const char* columnTypeName(ColumnType type);

struct Currency {
    int64_t units = 0;  // ten-thousandths: 12.5 is 125000
    friend bool operator==(const Currency&, const Currency&) = default;
};

// Civil date-time, proleptic Gregorian; fraction of a second in milliseconds.
struct CivilDateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    friend bool operator==(const CivilDateTime&, const CivilDateTime&) = default;
};

// Days since 1970-01-01 of a proleptic Gregorian date, and back (Howard Hinnant's algorithms).
// The one home of this arithmetic: the OLE dates below and every caller's clock use it.
int64_t daysFromCivil(int64_t year, int month, int day);
void civilFromDays(int64_t days, int& year, int& month, int& day);

struct DateTime {
    double oleDate = 0.0;  // days since 1899-12-30 00:00; see the file format notes for negatives
    friend bool operator==(const DateTime&, const DateTime&) = default;

    CivilDateTime toCivil() const;
    static DateTime fromCivil(const CivilDateTime& civil);
    // "YYYY-MM-DD HH:MM:SS"
    std::string toString() const;
};

struct Guid {
    std::array<uint8_t, 16> bytes{};  // as stored in the file
    friend bool operator==(const Guid&, const Guid&) = default;
    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    std::string toString() const;
};

struct Decimal {
    bool negative = false;
    // Unscaled magnitude, 96 bits used by Jet (stored as 128): hi holds the upper 64 bits.
    uint64_t hi = 0, lo = 0;
    uint8_t scale = 0;
    friend bool operator==(const Decimal&, const Decimal&) = default;
    std::string toString() const;  // plain decimal text, "-12.340" keeps the scale's digits
    // Plain decimal text ("-12.340", "17", ".5"; no exponent, no blanks) kept digit for digit;
    // nullopt when it is not such a text or holds more than 28 digits.
    static std::optional<Decimal> parse(std::string_view text);
};

using Bytes = std::vector<uint8_t>;

// One column value. The alternative held follows the column type:
//   Boolean->bool, Byte->uint8_t, Integer->int16_t, Long->int32_t, Currency->Currency,
//   Single->float, Double->double, DateTime->DateTime, Text/Memo->std::string (UTF-8),
//   Binary/OLE/Complex/Unknown0D->Bytes, Guid->Guid, Decimal->Decimal.
class Value {
  public:
    using Storage = std::variant<std::monostate, bool, uint8_t, int16_t, int32_t, Currency, float,
                                 double, DateTime, std::string, Bytes, Guid, Decimal>;

    Value() = default;
    template <typename T>
    Value(T v) : v_(std::move(v)) {}
    Value(const char* text) : v_(std::string(text)) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(v_); }
    template <typename T>
    bool is() const {
        return std::holds_alternative<T>(v_);
    }
    template <typename T>
    const T& as() const {
        return std::get<T>(v_);
    }
    const Storage& storage() const { return v_; }

    friend bool operator==(const Value&, const Value&) = default;

  private:
    Storage v_;
};

using Row = std::vector<Value>;  // one value per column, in the table's column order

}  // namespace jet
