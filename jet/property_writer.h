// Builds the property blob (the LvProp value of a catalog row) that holds a table's and its
// columns' properties: Required, AllowZeroLength, DefaultValue, Description.
//
// The blob is "MR2\0", a pool of property names, then one chunk for the table itself and one per
// column that has properties. Values are written as Jet writes them: Yes/No as one byte,
// DefaultValue as a Memo, Description as Text, both plain UTF-16LE.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/value.h"

namespace jet::create {

struct PropertyValue {
    std::string name;  // e.g. "Required"
    ColumnType type = ColumnType::Boolean;
    std::vector<uint8_t> data;  // encoded value
    bool ddl = true;            // a property the engine itself enforces (Jet writes flag 0x01)

    static PropertyValue yesNo(std::string name, bool value);
    static PropertyValue text(std::string name, const std::string& utf8, ColumnType type, bool ddl);
};

struct PropertySet {
    std::string objectName;  // column name; empty for the table itself
    std::vector<PropertyValue> values;
};

class PropertyBlobWriter {
  public:
    void addTableProperty(PropertyValue value);
    void addColumnProperty(const std::string& column, PropertyValue value);
    bool empty() const;
    // The blob; empty when no property was added.
    std::vector<uint8_t> build() const;

  private:
    PropertySet table_;
    std::vector<PropertySet> columns_;
};

}  // namespace jet::create
