// Index keys: the byte strings Jet stores in index entries, built from column values.
//
// A key is one segment per index column, in the index's column order: a flag byte (value or
// null, ascending or descending) and the value's sortable encoding. Keys compare as unsigned byte
// strings, which gives the index order. Text and Memo use the General (legacy) sort order; a
// text column in any other sort order cannot be keyed (see canBuildTextKeys).
//
// IndexDescriptor is this engine's description of one physical index (B-tree) of a table: where it
// lives and how to build its keys from a jet::Row. The table reader fills it from the table
// definition; the index code never looks at table-definition structures itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/coding.h"
#include "jet/general_sort_order.h"
#include "jet/value.h"

namespace jet {

using IndexKey = std::vector<uint8_t>;

// Segment flag bytes.
constexpr uint8_t kKeyAscending = 0x7F;
constexpr uint8_t kKeyDescending = 0x80;
constexpr uint8_t kKeyNullAscending = 0x00;
constexpr uint8_t kKeyNullDescending = 0xFF;

// Real-index flag bits (table definition).
constexpr uint8_t kIndexUnique = 0x01;
constexpr uint8_t kIndexIgnoreNulls = 0x02;
constexpr uint8_t kIndexRequired = 0x08;

struct KeyColumn {
    ColumnType type = ColumnType::Long;
    bool ascending = true;
    int rowPosition = 0;                     // where the value is in a jet::Row
    std::string name;                        // for messages
    uint16_t sortOrder = kGeneralSortOrder;  // Text/Memo only
    uint8_t sortVersion = kGeneralLegacyVersion;
};

struct IndexDescriptor {
    int number = 0;         // position among the table's real indexes
    std::string name;       // a logical name for messages (may be empty)
    uint32_t tdefPage = 0;  // table definition page: stored on every index page
    uint32_t rootPage = 0;  // never changes once created
    RowPointer usageMap;    // the index's owned-pages map
    uint8_t flags = 0;      // kIndexUnique | kIndexIgnoreNulls | kIndexRequired (| 0x80)
    std::vector<KeyColumn> columns;

    bool unique() const { return flags & kIndexUnique; }
    bool ignoreNulls() const { return flags & kIndexIgnoreNulls; }
    bool required() const { return flags & kIndexRequired; }
    // False if a text column uses a sort order we cannot build keys for.
    bool keysBuildable() const;
};

// Appends one segment for `value` (null allowed) of a column of `type`.
// REQUIRES: the value's alternative matches the type (see jet::Value); TypeMismatch otherwise.
// Text must be in a buildable sort order (the caller checks canBuildTextKeys).
void appendKeySegment(IndexKey& key, ColumnType type, bool ascending, const Value& value);

// Appends the General (legacy) text segment value bytes (no flag byte) for UTF-16 text.
void appendGeneralLegacyText(IndexKey& key, std::u16string_view text, bool ascending);

// The full key of `row` for `index`. Throws TypeMismatch naming the column if a value does not
// fit its type, Unsupported if a text column's sort order cannot be keyed.
IndexKey buildIndexKey(const IndexDescriptor& index, const Row& row);

// True when every column of the key is null (no entry for ignore-nulls indexes).
bool allKeyColumnsNull(const IndexDescriptor& index, const Row& row);

// "7F 01 00" style hex, for messages and tests.
std::string hexBytes(const uint8_t* data, size_t size);
inline std::string hexBytes(const IndexKey& key) {
    return hexBytes(key.data(), key.size());
}

}  // namespace jet
