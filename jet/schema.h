// Public: part of the engine's interface to the programs built on it.
// What a table is made of: columns and indexes as the table definition (TDEF) describes them, and
// the definitions a caller gives to create new tables and indexes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/value.h"

namespace jet {

struct Column {
    std::string name;
    ColumnType type = ColumnType::Text;
    uint16_t number = 0;       // stable column number: null-mask bit; gaps after deletions
    uint16_t varIndex = 0;     // slot in the row's variable-offset table (variable columns)
    uint16_t fixedOffset = 0;  // offset in the fixed area (fixed columns)
    uint16_t length = 0;       // bytes: fixed size, or maximum for Text (2 x characters)/Binary
    uint8_t flags = 0;         // descriptor byte 15
    uint8_t extraFlags = 0;    // descriptor byte 16 (0x01: Unicode compression)
    uint8_t precision = 0, scale = 0;  // Decimal
    uint16_t sortOrder = 0;            // Text/Memo: LCID of the sort order (0x0409 General)
    uint8_t sortVersion = 0;

    // Properties kept in the catalog's property blob (absent ones keep these defaults).
    bool required = false;
    bool allowZeroLength = true;
    std::optional<std::string> defaultValue;  // the expression text, e.g. "0", "Date()", "\"S\""
    std::string format;
    std::string description;

    bool isFixed() const { return flags & 0x01; }
    bool isAutoNumber() const { return (flags & 0x04) && type == ColumnType::Long; }
    bool isGuidAutoNumber() const { return flags & 0x40; }
    bool isLongValue() const { return type == ColumnType::Memo || type == ColumnType::OLE; }
    // Characters a Text column holds.
    int textSize() const { return length / 2; }
};

struct IndexColumn {
    uint16_t columnNumber = 0;
    bool ascending = true;
};

// A logical index as users see it; several may share one physical B-tree (realIndex).
struct Index {
    std::string name;
    int logicalNumber = 0;
    int realIndex = 0;
    std::vector<IndexColumn> columns;
    bool primaryKey = false;
    bool unique = false;
    bool ignoreNulls = false;
    bool required = false;
    bool foreignKey = false;  // the referencing side of a relationship
};

// ---- Definitions for creating tables and indexes ----

struct ColumnDefinition {
    std::string name;
    ColumnType type = ColumnType::Text;
    int size = 0;             // Text: characters (1..255, 0 means 255); others ignore it
    bool autoNumber = false;  // Long only
    bool required = false;
    bool allowZeroLength = false;
    bool unicodeCompression = true;  // Text/Memo, as Access creates them
    std::optional<std::string> defaultValue;
    std::string description;
    uint8_t precision = 18, scale = 0;  // Decimal
};

struct IndexColumnDefinition {
    std::string column;
    bool ascending = true;
};

struct IndexDefinition {
    std::string name;
    std::vector<IndexColumnDefinition> columns;
    bool primaryKey = false;
    bool unique = false;
    bool ignoreNulls = false;
    bool required = false;
};

struct TableDefinition {
    std::string name;
    std::vector<ColumnDefinition> columns;
    std::vector<IndexDefinition> indexes;
};

}  // namespace jet
