// Reading Memo and OLE values ("long values").
//
// The row holds a 12-byte header: a 30-bit length whose top bits select the form (inline data
// after the header, one row on an LVAL page, or a chain of LVAL rows each starting with a row
// pointer to the next), then a row pointer to the first LVAL row. Reading checks every pointer and
// length, refuses chains that loop or end early, and never returns more than the stated length.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "jet/coding.h"
#include "jet/value.h"

namespace jet {

class Pager;

struct LongValueHeader {
    uint32_t length = 0;
    uint8_t form = kLongValueInline;  // kLongValueInline, kLongValueSingle or kLongValueChain
    RowPointer first;
};

// REQUIRES: header.size() >= kLongValueHeaderSize (else Corrupt is thrown).
LongValueHeader parseLongValueHeader(std::span<const uint8_t> header, const std::string& file);

// The bytes of the long value whose row bytes (header, plus inline data) are `stored`.
Bytes readLongValue(Pager& pager, const JetFormat& format, std::span<const uint8_t> stored,
                    const std::string& file);

}  // namespace jet
