// Property blobs (the LvProp column of MSysObjects): the Access-level properties of a table and of
// its columns, such as Required, AllowZeroLength, DefaultValue, Format and Description.
//
// A blob is the magic "MR2\0" (Jet 3: "KKD\0") followed by chunks: a pool of property names, then
// one chunk per object (the table itself, or one column by name) holding its property records.
// Parsing checks every length; a damaged blob is reported as Corrupt naming the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

struct Property {
    std::string name;
    ColumnType type = ColumnType::Binary;
    uint8_t ddlFlag = 0;
    Bytes data;   // as stored
    Value value;  // decoded: bool, uint8_t, int16_t, int32_t, double, std::string, or Bytes
};

// The properties of one object: the table itself (empty name) or one of its columns.
struct PropertyGroup {
    std::string name;
    std::vector<Property> properties;
    const Property* find(std::string_view propertyName) const;  // case-insensitive
};

struct PropertyBlob {
    std::vector<PropertyGroup> groups;
    const PropertyGroup* object() const;  // the group with an empty name
    const PropertyGroup* column(std::string_view columnName) const;
};

// Parses a blob. An empty blob gives no groups.
PropertyBlob parseProperties(const uint8_t* data, size_t size, int jetVersion, uint16_t codePage,
                             const std::string& file);

// Sets the column fields that come from properties (required, allowZeroLength, defaultValue,
// format, description) from the blob's group for that column.
void applyColumnProperties(const PropertyBlob& blob, Column& column);

}  // namespace jet
