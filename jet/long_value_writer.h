// Storing and freeing Memo and OLE values ("long values").
//
// Placement follows Access: a value of at most 64 bytes goes inline in the row, one of at most
// 4076 bytes becomes a single row on an LVAL page, anything longer a chain of LVAL rows holding
// 4072 bytes each behind a pointer to the next. LVAL pages with room are reused (the column's
// maps list them); new ones are added to the column's maps and the global map.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "jet/tdef.h"
#include "jet/value.h"

namespace jet {

class Pager;

constexpr size_t kLongValueInlineLimit = 64;

// Stores `payload` and returns what goes into the row: the 12-byte header, plus the data when it
// is kept inline. `maps` may be null (the column keeps no maps).
// REQUIRES: pager in a transaction.
Bytes storeLongValue(Pager& pager, const JetFormat& format, const LongValueMaps* maps,
                     std::span<const uint8_t> payload, const std::string& file);

// Deletes the LVAL rows of the long value whose row bytes are `stored` (inline values own none);
// their pages go back into the column's free-space map.
// REQUIRES: pager in a transaction.
void freeLongValue(Pager& pager, const JetFormat& format, const LongValueMaps* maps,
                   std::span<const uint8_t> stored, const std::string& file);

}  // namespace jet
