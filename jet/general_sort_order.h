// The General (legacy) text sort order of Jet 4 indexes: how each UTF-16 code unit contributes
// to a text index key.
//
// Access 2000-2007 databases with sort order 0x0409 version 0 sort text by this order. Each code
// unit has a kind and up to three parts: inline key bytes, extra (accent/case) bytes, and for
// some units a "crazy" code. The table is compiled from the format's character tables by
// tools/gen_sort_order.py into general_sort_order_table.cpp and expanded once, on first use.
#pragma once

#include <cstdint>

namespace jet {

enum class SortKind : uint8_t {
    Ignored,        // contributes nothing
    Simple,         // inline bytes only
    International,  // inline bytes and extra bytes
    Unprintable,    // code bytes go to the unprintable section
    Modifier,       // adds its byte to the previous extra byte
    Crazy,          // inline (+extra) bytes and a crazy code (2 or 3)
};

struct SortCode {
    SortKind kind = SortKind::Ignored;
    uint8_t inlineLength = 0;  // inline bytes (Unprintable: code bytes)
    uint8_t extraLength = 0;   // extra bytes (Modifier: always 1)
    uint8_t crazyCode = 0;     // Crazy only: 2 or 3
    uint8_t inlineBytes[4] = {};
    uint8_t extraBytes[2] = {};
};

// The entry of one code unit. Surrogate units (0xD800-0xDFFF) come back Ignored: their keys are
// computed, not tabled (see the key builder).
const SortCode& generalLegacySortCode(char16_t unit);

// The sort order we build text keys for: General (LCID 0x0409), legacy version 0. Writers must
// refuse to touch a text index of any other sort order.
constexpr uint16_t kGeneralSortOrder = 0x0409;
constexpr uint8_t kGeneralLegacyVersion = 0;
inline bool canBuildTextKeys(uint16_t sortOrder, uint8_t sortVersion) {
    return sortOrder == kGeneralSortOrder && sortVersion == kGeneralLegacyVersion;
}

namespace detail {
extern const unsigned char kGeneralLegacyPacked[];
extern const unsigned kGeneralLegacyPackedSize;
}  // namespace detail

}  // namespace jet
