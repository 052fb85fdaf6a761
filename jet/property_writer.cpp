#include "jet/property_writer.h"

#include <algorithm>

#include "jet/page_builders.h"

namespace jet::create {

namespace {
constexpr uint16_t kNamePoolChunk = 0x0080;
constexpr uint16_t kTableChunk = 0x0000;
constexpr uint16_t kColumnChunk = 0x0001;
}  // namespace

PropertyValue PropertyValue::yesNo(std::string name, bool value) {
    return PropertyValue{
        std::move(name), ColumnType::Boolean, {static_cast<uint8_t>(value ? 1 : 0)}, true};
}

PropertyValue PropertyValue::text(std::string name, const std::string& utf8, ColumnType type,
                                  bool ddl) {
    return PropertyValue{std::move(name), type, ucs2Bytes(utf8), ddl};
}

void PropertyBlobWriter::addTableProperty(PropertyValue value) {
    table_.values.push_back(std::move(value));
}

void PropertyBlobWriter::addColumnProperty(const std::string& column, PropertyValue value) {
    auto it = std::find_if(columns_.begin(), columns_.end(),
                           [&](const PropertySet& s) { return s.objectName == column; });
    if (it == columns_.end()) {
        columns_.push_back(PropertySet{column, {}});
        it = columns_.end() - 1;
    }
    it->values.push_back(std::move(value));
}

bool PropertyBlobWriter::empty() const {
    return table_.values.empty() && columns_.empty();
}

std::vector<uint8_t> PropertyBlobWriter::build() const {
    if (empty()) return {};
    // Pool of names in order of first use.
    std::vector<std::string> pool;
    auto nameIndex = [&](const std::string& name) -> uint16_t {
        auto it = std::find(pool.begin(), pool.end(), name);
        if (it == pool.end()) {
            pool.push_back(name);
            return static_cast<uint16_t>(pool.size() - 1);
        }
        return static_cast<uint16_t>(it - pool.begin());
    };
    std::vector<std::vector<uint8_t>> chunks;
    auto chunkOf = [&](const PropertySet& set, uint16_t type) {
        std::vector<uint8_t> body;
        ByteWriter w(body);
        std::vector<uint8_t> name = ucs2Bytes(set.objectName);
        w.u32(static_cast<uint32_t>(4 + 2 + name.size()));
        w.u16(static_cast<uint16_t>(name.size()));
        w.bytes(name);
        for (const PropertyValue& v : set.values) {
            w.u16(static_cast<uint16_t>(8 + v.data.size()));
            w.u8(v.ddl ? 0x01 : 0x00);
            w.u8(static_cast<uint8_t>(v.type));
            w.u16(nameIndex(v.name));
            w.u16(static_cast<uint16_t>(v.data.size()));
            w.bytes(v.data);
        }
        std::vector<uint8_t> chunk;
        ByteWriter c(chunk);
        c.u32(static_cast<uint32_t>(6 + body.size()));
        c.u16(type);
        c.bytes(body);
        return chunk;
    };
    // The table's own chunk always comes first, as Jet writes it.
    chunks.push_back(chunkOf(table_, kTableChunk));
    for (const PropertySet& set : columns_) chunks.push_back(chunkOf(set, kColumnChunk));

    std::vector<uint8_t> names;
    ByteWriter n(names);
    for (const std::string& name : pool) putName(n, name);

    std::vector<uint8_t> blob = {'M', 'R', '2', 0};
    ByteWriter w(blob);
    w.u32(static_cast<uint32_t>(6 + names.size()));
    w.u16(kNamePoolChunk);
    w.bytes(names);
    for (const auto& chunk : chunks) w.bytes(chunk);
    return blob;
}

}  // namespace jet::create
