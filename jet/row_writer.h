// Row writing: checking values against their columns and packing a row into Jet 4 row bytes.
//
// A packed row is what Access writes: the column count (the table's max_cols, deleted columns
// included), the fixed area with every fixed column at its offset (a deleted column lying before
// the last live one keeps zeroed bytes), the variable data in var-index order, then the end of
// data, the var offsets in reverse, the var count and the null mask. Yes/No values live only in
// the null mask. Text is written compressed where Access compresses it.
//
// encodeValue checks a value before anything is written: type, range, text size, Required and
// AllowZeroLength, with messages worded as Jet words them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/schema.h"
#include "jet/tdef.h"
#include "jet/value.h"

namespace jet {

// One column's part of a row about to be packed.
struct ColumnBytes {
    bool present = false;  // null-mask bit (for Yes/No: the value)
    Bytes bytes;           // fixed: exactly the type's size; variable: the stored bytes
};

// Checks `value` for `column` and returns its stored form. For Memo/OLE the bytes are the long
// value's payload (the caller stores it and puts the long-value header in the row). Throws
// TypeMismatch, Overflow, TooLong, NullNotAllowed or ZeroLengthNotAllowed naming the column.
ColumnBytes encodeValue(const Column& column, const Value& value, const std::string& table);

// Packs a Jet 4 row from one ColumnBytes per live column (tdef.columns order). Throws TooLong
// when the row exceeds the largest row a page holds.
Bytes packRow(const Tdef& tdef, const std::vector<ColumnBytes>& values, const std::string& table);

// Largest row a Jet 4 data page holds.
constexpr size_t kMaxRowSize = 4060;

}  // namespace jet
