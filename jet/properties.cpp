#include "jet/properties.h"

#include <cstring>

#include "jet/coding.h"
#include "jet/error.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

constexpr uint16_t kNamePool = 0x0080;
constexpr uint16_t kObjectGroup = 0x0000;
constexpr uint16_t kColumnGroup = 0x0001;

class BlobReader {
  public:
    BlobReader(const uint8_t* data, size_t size, const std::string& file)
        : data_(data), size_(size), file_(file) {}
    const uint8_t* at(size_t offset, size_t length) const {
        if (!fits(size_, offset, length))
            throw fileError(ErrorCode::Corrupt, file_,
                            "a property blob is shorter than its contents");
        return data_ + offset;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    const std::string& file_;
};

Value decodeProperty(ColumnType type, const Bytes& d, int jetVersion, uint16_t codePage) {
    switch (type) {
        case ColumnType::Boolean:
            return Value(!d.empty() && d[0] != 0);
        case ColumnType::Byte:
            if (d.size() >= 1) return Value(uint8_t(d[0]));
            break;
        case ColumnType::Integer:
            if (d.size() >= 2) return Value(getI16(d.data()));
            break;
        case ColumnType::Long:
            if (d.size() >= 4) return Value(getI32(d.data()));
            break;
        case ColumnType::Double:
            if (d.size() >= 8) return Value(getF64(d.data()));
            break;
        case ColumnType::Text:
        case ColumnType::Memo:
            if (jetVersion >= 4) return Value(decodeJet4Text(d.data(), d.size()));
            return Value(decodeCodePageText(d.data(), d.size(), codePage));
        default:
            break;
    }
    return Value(d);
}

}  // namespace

const Property* PropertyGroup::find(std::string_view propertyName) const {
    for (const auto& p : properties)
        if (sameName(p.name, propertyName)) return &p;
    return nullptr;
}

const PropertyGroup* PropertyBlob::object() const {
    for (const auto& g : groups)
        if (g.name.empty()) return &g;
    return nullptr;
}

const PropertyGroup* PropertyBlob::column(std::string_view columnName) const {
    for (const auto& g : groups)
        if (!g.name.empty() && sameName(g.name, columnName)) return &g;
    return nullptr;
}

PropertyBlob parseProperties(const uint8_t* data, size_t size, int jetVersion, uint16_t codePage,
                             const std::string& file) {
    PropertyBlob blob;
    if (size == 0) return blob;
    BlobReader r(data, size, file);
    const char* magic = jetVersion >= 4 ? "MR2" : "KKD";
    if (std::memcmp(r.at(0, 4), magic, 4) != 0)
        throw fileError(ErrorCode::Corrupt, file, "a property blob has the wrong signature");
    auto text = [&](const uint8_t* p, size_t n) {
        return jetVersion >= 4 ? decodeUcs2(p, n) : decodeCodePageText(p, n, codePage);
    };

    std::vector<std::string> names;
    size_t offset = 4;
    while (offset < size) {
        uint32_t chunkLength = getU32(r.at(offset, 6));
        uint16_t chunkType = getU16(r.at(offset + 4, 2));
        if (chunkLength < 6 || !fits(size, offset, chunkLength))
            throw fileError(ErrorCode::Corrupt, file, "a property blob has a bad chunk length");
        size_t end = offset + chunkLength;
        size_t p = offset + 6;
        if (chunkType == kNamePool) {
            while (p < end) {
                uint16_t n = getU16(r.at(p, 2));
                if (!fits(end, p + 2, n))
                    throw fileError(ErrorCode::Corrupt, file,
                                    "a property name runs past its chunk");
                names.push_back(text(r.at(p + 2, n), n));
                p += 2 + n;
            }
        } else if (chunkType == kObjectGroup || chunkType == kColumnGroup) {
            PropertyGroup group;
            uint32_t blockLength = getU32(r.at(p, 4));
            uint16_t nameLength = getU16(r.at(p + 4, 2));
            if (blockLength < 6 || !fits(end, p, blockLength) || nameLength + 6u > blockLength)
                throw fileError(ErrorCode::Corrupt, file, "a property group has a bad name block");
            group.name = text(r.at(p + 6, nameLength), nameLength);
            p += blockLength;
            while (p + 8 <= end) {
                const uint8_t* rec = r.at(p, 8);
                uint16_t recordLength = getU16(rec);
                uint16_t dataLength = getU16(rec + 6);
                uint16_t nameIndex = getU16(rec + 4);
                if (recordLength < 8 || !fits(end, p, recordLength) ||
                    dataLength > recordLength - 8u || nameIndex >= names.size())
                    throw fileError(ErrorCode::Corrupt, file, "a property record is damaged");
                Property prop;
                prop.ddlFlag = rec[2];
                prop.type = ColumnType(rec[3]);
                prop.name = names[nameIndex];
                prop.data.assign(rec + 8, rec + 8 + dataLength);
                prop.value = decodeProperty(prop.type, prop.data, jetVersion, codePage);
                group.properties.push_back(std::move(prop));
                p += recordLength;
            }
            blob.groups.push_back(std::move(group));
        }
        offset = end;
    }
    return blob;
}

void applyColumnProperties(const PropertyBlob& blob, Column& column) {
    const PropertyGroup* group = blob.column(column.name);
    if (!group) return;
    auto flag = [&](const char* name, bool& target) {
        if (const Property* p = group->find(name); p && p->value.is<bool>())
            target = p->value.as<bool>();
    };
    auto text = [&](const char* name) -> std::optional<std::string> {
        if (const Property* p = group->find(name); p && p->value.is<std::string>())
            return p->value.as<std::string>();
        return std::nullopt;
    };
    flag("Required", column.required);
    flag("AllowZeroLength", column.allowZeroLength);
    if (auto v = text("DefaultValue")) column.defaultValue = *v;
    if (auto v = text("Format")) column.format = *v;
    if (auto v = text("Description")) column.description = *v;
}

}  // namespace jet
