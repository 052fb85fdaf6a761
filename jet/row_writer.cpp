#include "jet/row_writer.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "jet/coding.h"
#include "jet/error.h"
#include "jet/int128.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

// Memo text is compressed like Text up to this many characters.
constexpr size_t kMemoCompressionLimit = 1024;

std::string fieldName(const std::string& table, const Column& column) {
    return "'" + table + "." + column.name + "'";
}

Error mismatch(const std::string& table, const Column& column) {
    return Error(ErrorCode::TypeMismatch,
                 "Data type conversion error: field " + fieldName(table, column) + " (" +
                     columnTypeName(column.type) + ") cannot hold the value given.");
}

Error overflow(const std::string& table, const Column& column) {
    return Error(ErrorCode::Overflow,
                 "Numeric field overflow: the value is outside the range of field " +
                     fieldName(table, column) + " (" + columnTypeName(column.type) + ").");
}

// Any numeric alternative as a double (Yes is -1 as in Jet), or nullopt.
std::optional<double> asDouble(const Value& value) {
    const auto& s = value.storage();
    if (auto* v = std::get_if<bool>(&s)) return *v ? -1.0 : 0.0;
    if (auto* v = std::get_if<uint8_t>(&s)) return double(*v);
    if (auto* v = std::get_if<int16_t>(&s)) return double(*v);
    if (auto* v = std::get_if<int32_t>(&s)) return double(*v);
    if (auto* v = std::get_if<Currency>(&s)) return double(v->units) / 10000.0;
    if (auto* v = std::get_if<float>(&s)) return double(*v);
    if (auto* v = std::get_if<double>(&s)) return *v;
    if (auto* v = std::get_if<DateTime>(&s)) return v->oleDate;
    return std::nullopt;
}

// A whole number for an integer column: exact integers as they are, fractions rounded half to
// even as Jet rounds them.
int64_t wholeNumber(const Value& value, int64_t low, int64_t high, const std::string& table,
                    const Column& column) {
    const auto& s = value.storage();
    int64_t n;
    if (auto* v = std::get_if<int32_t>(&s)) {
        n = *v;
    } else if (auto* small = std::get_if<int16_t>(&s)) {
        n = *small;
    } else if (auto* byte = std::get_if<uint8_t>(&s)) {
        n = *byte;
    } else if (auto d = asDouble(value)) {
        if (!std::isfinite(*d)) throw overflow(table, column);
        double r = std::nearbyint(*d);
        if (r < double(low) || r > double(high)) throw overflow(table, column);
        n = int64_t(r);
    } else {
        throw mismatch(table, column);
    }
    if (n < low || n > high) throw overflow(table, column);
    return n;
}

Bytes encodeText(const Column& column, const std::string& utf8, const std::string& table) {
    std::optional<std::u16string> utf16 = utf8ToUtf16(utf8);
    if (!utf16) {
        throw Error(ErrorCode::TypeMismatch, "Data type conversion error: the text for field " +
                                                 fieldName(table, column) + " is not valid UTF-8.");
    }
    if (column.type == ColumnType::Text) {
        size_t limit = column.textSize() > 0 ? size_t(column.textSize()) : 255;
        if (utf16->size() > limit) {
            throw Error(ErrorCode::TooLong,
                        "The field is too small to accept the amount of data you attempted to "
                        "add. Try inserting or pasting less data. (Field " +
                            fieldName(table, column) + " holds " + std::to_string(limit) +
                            " characters; the value has " + std::to_string(utf16->size()) + ".)");
        }
        if (column.isFixed()) {
            // Fixed length, as Access keeps it: two bytes a character, padded with spaces (a
            // shorter text, the empty one too, then reads back and is found as Access finds it).
            Bytes out(fixedSize(column), 0);
            for (size_t i = 0; i + 1 < out.size(); i += 2) {
                const char16_t unit = i / 2 < utf16->size() ? (*utf16)[i / 2] : u' ';
                out[i] = uint8_t(unit & 0xFF);
                out[i + 1] = uint8_t(unit >> 8);
            }
            return out;
        }
        return encodeJet4Text(*utf16, column.extraFlags & 0x01);
    }
    return encodeJet4Text(*utf16, utf16->size() <= kMemoCompressionLimit);
}

Bytes decimalBytes(const Column& column, const Decimal& d, const std::string& table) {
    // Bring the value to the column's scale; more digits than the column keeps is an overflow,
    // as is a magnitude beyond its precision.
    UInt128 magnitude = (UInt128)d.hi << 64 | d.lo;
    int scale = d.scale;
    while (scale < column.scale) {
        if (magnitude > (~(UInt128)0) / 10) throw overflow(table, column);
        magnitude *= 10;
        ++scale;
    }
    while (scale > column.scale) {
        UInt128 q = magnitude / 10, rem = magnitude % 10;
        magnitude = q + (rem > 5 || (rem == 5 && (q & 1)) ? 1 : 0);
        --scale;
    }
    UInt128 limit = 1;
    int precision = column.precision > 0 ? column.precision : 18;
    for (int i = 0; i < precision; ++i) limit *= 10;
    if (magnitude >= limit) throw overflow(table, column);
    Bytes out(17, 0);
    out[0] = d.negative && magnitude != 0 ? 0x80 : 0x00;
    uint64_t hi = uint64_t(magnitude >> 64), lo = uint64_t(magnitude);
    putU32(out.data() + 1, uint32_t(hi >> 32));
    putU32(out.data() + 5, uint32_t(hi));
    putU32(out.data() + 9, uint32_t(lo >> 32));
    putU32(out.data() + 13, uint32_t(lo));
    return out;
}

Bytes fixedBytes(const Column& column, const Value& value, const std::string& table) {
    Bytes out(fixedSize(column), 0);
    uint8_t* p = out.data();
    const auto& s = value.storage();
    switch (column.type) {
        case ColumnType::Byte:
            p[0] = uint8_t(wholeNumber(value, 0, 255, table, column));
            break;
        case ColumnType::Integer:
            putI16(p, int16_t(wholeNumber(value, INT16_MIN, INT16_MAX, table, column)));
            break;
        case ColumnType::Long:
            putI32(p, int32_t(wholeNumber(value, INT32_MIN, INT32_MAX, table, column)));
            break;
        case ColumnType::Currency: {
            int64_t units;
            if (auto* c = std::get_if<Currency>(&s)) {
                units = c->units;
            } else if (auto d = asDouble(value)) {
                double scaled = std::nearbyint(*d * 10000.0);
                if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2233720368547e18) {
                    throw overflow(table, column);
                }
                units = int64_t(scaled);
            } else {
                throw mismatch(table, column);
            }
            putI64(p, units);
            break;
        }
        case ColumnType::Single: {
            auto d = asDouble(value);
            if (!d) throw mismatch(table, column);
            if (std::isfinite(*d) && std::fabs(*d) > double(std::numeric_limits<float>::max())) {
                throw overflow(table, column);
            }
            putF32(p, float(*d));
            break;
        }
        case ColumnType::Double:
        case ColumnType::DateTime: {
            auto d = asDouble(value);
            if (!d || (column.type == ColumnType::DateTime && std::holds_alternative<bool>(s))) {
                throw mismatch(table, column);
            }
            putF64(p, *d);
            break;
        }
        case ColumnType::Guid:
            if (!value.is<Guid>()) throw mismatch(table, column);
            std::memcpy(p, value.as<Guid>().bytes.data(), 16);
            break;
        case ColumnType::Decimal:
            if (value.is<Decimal>()) {
                out = decimalBytes(column, value.as<Decimal>(), table);
            } else if (auto d = asDouble(value)) {
                // Whole numbers only through this path; fractions need a Decimal value.
                if (*d != std::trunc(*d) || std::fabs(*d) > 1e18) throw mismatch(table, column);
                Decimal dec;
                dec.negative = *d < 0;
                dec.lo = uint64_t(std::fabs(*d));
                out = decimalBytes(column, dec, table);
            } else {
                throw mismatch(table, column);
            }
            break;
        default: {
            // Raw fixed bytes (system types): exactly the column's size.
            if (!value.is<Bytes>() || value.as<Bytes>().size() > out.size()) {
                throw mismatch(table, column);
            }
            const Bytes& b = value.as<Bytes>();
            std::copy(b.begin(), b.end(), out.begin());
            break;
        }
    }
    return out;
}

}  // namespace

ColumnBytes encodeValue(const Column& column, const Value& value, const std::string& table) {
    ColumnBytes out;
    if (column.type == ColumnType::Boolean) {
        if (value.isNull()) return out;  // Yes/No is never null: No
        auto d = asDouble(value);
        if (!d) throw mismatch(table, column);
        out.present = *d != 0;
        return out;
    }
    if (value.isNull()) {
        if (column.required) {
            throw Error(ErrorCode::NullNotAllowed,
                        "The field " + fieldName(table, column) +
                            " cannot contain a Null value because the Required property for this "
                            "field is set to True. Enter a value in this field.");
        }
        return out;
    }
    out.present = true;
    switch (column.type) {
        case ColumnType::Text:
        case ColumnType::Memo: {
            if (!value.is<std::string>()) throw mismatch(table, column);
            const std::string& text = value.as<std::string>();
            if (text.empty() && !column.allowZeroLength) {
                throw Error(
                    ErrorCode::ZeroLengthNotAllowed,
                    "Field " + fieldName(table, column) + " cannot be a zero-length string.");
            }
            out.bytes = encodeText(column, text, table);
            break;
        }
        case ColumnType::Binary:
        case ColumnType::OLE:
        case ColumnType::Unknown0D: {
            if (!value.is<Bytes>()) throw mismatch(table, column);
            out.bytes = value.as<Bytes>();
            size_t limit = column.length > 0 ? column.length : 255;
            if (column.type == ColumnType::Binary && out.bytes.size() > limit) {
                throw Error(ErrorCode::TooLong,
                            "The field is too small to accept the amount of data you attempted "
                            "to add. Try inserting or pasting less data. (Field " +
                                fieldName(table, column) + " holds " + std::to_string(limit) +
                                " bytes.)");
            }
            break;
        }
        default:
            // Fixed-size types; a few system tables keep one as a variable column, same bytes.
            out.bytes = fixedBytes(column, value, table);
            break;
    }
    return out;
}

Bytes packRow(const Tdef& tdef, const std::vector<ColumnBytes>& values, const std::string& table) {
    const uint16_t columnCount = tdef.maxColumns;
    const size_t maskBytes = (size_t(columnCount) + 7) / 8;
    const uint16_t varCount = tdef.varColumns;

    size_t fixedEnd = 0;
    size_t varBytes = 0;
    for (size_t i = 0; i < tdef.columns.size(); ++i) {
        const Column& c = tdef.columns[i];
        if (c.type == ColumnType::Boolean) continue;
        if (c.isFixed()) {
            fixedEnd = std::max<size_t>(fixedEnd, size_t(c.fixedOffset) + fixedSize(c));
        } else if (values[i].present) {
            varBytes += values[i].bytes.size();
        }
    }
    const size_t dataEnd = 2 + fixedEnd + varBytes;
    const size_t trailer = varCount > 0 ? 2 + 2 * size_t(varCount) + 2 : 0;
    const size_t size = dataEnd + trailer + maskBytes;
    if (size > kMaxRowSize) {
        throw Error(ErrorCode::TooLong, "Record is too large: a row of table '" + table +
                                            "' would take " + std::to_string(size) +
                                            " bytes; at most " + std::to_string(kMaxRowSize) +
                                            " fit on a page.");
    }

    Bytes row(size, 0);
    putU16(row.data(), columnCount);
    uint8_t* mask = row.data() + size - maskBytes;
    // Var offsets by var index; dead var columns keep an empty range.
    std::vector<const ColumnBytes*> byVarIndex(varCount, nullptr);
    for (size_t i = 0; i < tdef.columns.size(); ++i) {
        const Column& c = tdef.columns[i];
        const ColumnBytes& v = values[i];
        if (v.present && c.number < columnCount)
            mask[c.number / 8] |= uint8_t(1u << (c.number % 8));
        if (c.type == ColumnType::Boolean) continue;
        if (c.isFixed()) {
            if (v.present)
                std::memcpy(row.data() + 2 + c.fixedOffset, v.bytes.data(), v.bytes.size());
        } else if (c.varIndex < varCount) {
            byVarIndex[c.varIndex] = &v;
        }
    }
    if (varCount > 0) {
        size_t pos = 2 + fixedEnd;
        uint8_t* trailerStart = row.data() + dataEnd;
        // Trailer in file order: EOD, entry V-1 ... entry 0, V.
        for (uint16_t k = 0; k < varCount; ++k) {
            putU16(trailerStart + 2 + 2 * size_t(varCount - 1 - k), uint16_t(pos));
            const ColumnBytes* v = byVarIndex[k];
            if (v && v->present && !v->bytes.empty()) {
                std::memcpy(row.data() + pos, v->bytes.data(), v->bytes.size());
                pos += v->bytes.size();
            }
        }
        putU16(trailerStart, uint16_t(pos));
        putU16(trailerStart + 2 + 2 * size_t(varCount), varCount);
    }
    return row;
}

}  // namespace jet
