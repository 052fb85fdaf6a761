// Index key encodings, one per column type, and the General (legacy) text key.

#include "jet/index_key.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "jet/error.h"
#include "jet/text_codec.h"

namespace jet {
namespace {

void invert(IndexKey& key, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) key[i] = uint8_t(~key[i]);
}

// Big-endian two's complement with the top bit flipped, so signed order is byte order.
void appendSigned(IndexKey& key, int64_t v, int bytes) {
    uint64_t u = uint64_t(v);
    size_t start = key.size();
    for (int i = bytes - 1; i >= 0; --i) key.push_back(uint8_t(u >> (8 * i)));
    key[start] ^= 0x80;
}

// Big-endian IEEE bits: positives get the sign bit set, negatives are inverted entirely.
void appendFloatBits(IndexKey& key, uint64_t bits, int bytes) {
    const bool negative = (bits >> (8 * bytes - 1)) & 1;
    size_t start = key.size();
    for (int i = bytes - 1; i >= 0; --i) key.push_back(uint8_t(bits >> (8 * i)));
    if (negative) {
        invert(key, start, key.size());
    } else {
        key[start] ^= 0x80;
    }
}

// Eight-byte groups, each followed by 0x09 except the last, which is padded and followed by its
// real length. Descending inverts the data and the last length byte, not the 0x09 markers.
void appendBinary(IndexKey& key, const uint8_t* data, size_t size, bool ascending) {
    size_t done = 0;
    while (done < size) {
        size_t n = std::min<size_t>(8, size - done);
        size_t start = key.size();
        key.insert(key.end(), data + done, data + done + n);
        key.insert(key.end(), 8 - n, 0);
        done += n;
        const bool last = done == size;
        key.push_back(last ? uint8_t(n) : 0x09);
        if (!ascending) invert(key, start, key.size() - (last ? 0 : 1));
    }
}

[[noreturn]] void mismatch(ColumnType type) {
    throw Error(ErrorCode::TypeMismatch,
                "index key: value does not match column type " + std::to_string(int(type)));
}

template <typename T>
const T& get(const Value& v, ColumnType type) {
    if (!v.is<T>()) mismatch(type);
    return v.as<T>();
}

// Key parts of a surrogate unit (not in the tables).
SortCode surrogateCode(char16_t unit) {
    SortCode c;
    c.kind = SortKind::International;
    unsigned value;
    if (unit < 0xDC00) {
        value = unit - 10238u;
    } else {
        unsigned low = (unit - 0xDC00u) % 1024u;
        unsigned d = low < 8 ? 9992 : low < 262 ? 9990 : low < 516 ? 9988 : low < 770 ? 9986 : 9984;
        value = unit - d;
    }
    c.inlineLength = 2;
    c.inlineBytes[0] = uint8_t(value >> 8);
    c.inlineBytes[1] = uint8_t(value);
    c.extraLength = 1;
    c.extraBytes[0] = 0x3F;
    return c;
}

}  // namespace

void appendGeneralLegacyText(IndexKey& key, std::u16string_view text, bool ascending) {
    size_t n = std::min<size_t>(text.size(), 255);
    while (n > 0 && text[n - 1] == u' ') --n;

    const size_t start = key.size();
    IndexKey extra;               // accents and case, one or more bytes per character
    unsigned extraChars = 0;      // characters the extra stream stands for
    bool modifierPrefix = false;  // the stream began with a modifier of no character
    IndexKey unprintable;
    IndexKey crazy;
    bool anyCrazy = false;
    unsigned position = 0;  // characters that produced inline bytes so far

    auto padExtra = [&] {
        while (extraChars < position) {
            extra.push_back(0x02);
            ++extraChars;
        }
    };

    for (size_t i = 0; i < n; ++i) {
        const char16_t unit = text[i];
        SortCode surrogate;
        const SortCode* code;
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            surrogate = surrogateCode(unit);
            code = &surrogate;
        } else {
            code = &generalLegacySortCode(unit);
        }
        switch (code->kind) {
            case SortKind::Ignored:
                break;
            case SortKind::Simple:
            case SortKind::International:
            case SortKind::Crazy:
                key.insert(key.end(), code->inlineBytes, code->inlineBytes + code->inlineLength);
                if (code->extraLength > 0) {
                    padExtra();
                    extra.insert(extra.end(), code->extraBytes,
                                 code->extraBytes + code->extraLength);
                    ++extraChars;
                }
                if (code->kind == SortKind::Crazy) {
                    crazy.push_back(code->crazyCode);
                    anyCrazy = true;
                }
                ++position;
                break;
            case SortKind::Modifier:
                padExtra();
                if (extra.empty()) {
                    extra.push_back(code->extraBytes[0]);
                    modifierPrefix = true;
                } else {
                    extra.back() = uint8_t(extra.back() + code->extraBytes[0]);
                }
                break;
            case SortKind::Unprintable: {
                unsigned q = extra.empty() ? position
                                           : unsigned(extra.size()) + (position - extraChars) -
                                                 (modifierPrefix ? 1 : 0);
                unsigned marker = 0x8000u | (7u + 4u * q);
                unprintable.push_back(uint8_t(marker >> 8));
                unprintable.push_back(uint8_t(marker));
                unprintable.push_back(0x06);
                unprintable.insert(unprintable.end(), code->inlineBytes,
                                   code->inlineBytes + code->inlineLength);
                break;
            }
        }
    }

    key.push_back(0x01);
    while (!extra.empty() && extra.back() <= 0x02) extra.pop_back();
    if (!extra.empty() || anyCrazy || !unprintable.empty()) {
        key.insert(key.end(), extra.begin(), extra.end());
        if (anyCrazy || !unprintable.empty()) {
            key.push_back(0x01);
            key.push_back(0x01);
            if (anyCrazy) {
                while (!crazy.empty() && crazy.back() == 3) crazy.pop_back();
                for (size_t i = 0; i < crazy.size(); i += 3) {
                    uint8_t b = 0x80 | uint8_t(crazy[i] << 4);
                    if (i + 1 < crazy.size()) b |= uint8_t(crazy[i + 1] << 2);
                    if (i + 2 < crazy.size()) b |= crazy[i + 2];
                    key.push_back(b);
                }
                for (uint8_t b : std::initializer_list<uint8_t>{0xFF, 0x02, 0x80, 0xFF, 0x80})
                    key.push_back(b);
                if (!unprintable.empty()) key.push_back(0xFF);
            }
            if (!unprintable.empty()) {
                key.push_back(0x01);
                key.insert(key.end(), unprintable.begin(), unprintable.end());
            }
        }
    }
    key.push_back(0x00);
    if (!ascending) {
        invert(key, start, key.size());
        key.push_back(0x00);
    }
}

namespace {

// The sort bytes of a text, kept for the few texts keyed last: the same codes and employee
// numbers are keyed over and over, row after row and look-up after look-up.
void appendTextSegment(IndexKey& key, const std::string& utf8, bool ascending) {
    struct Kept {
        std::string text;
        bool ascending = false;
        bool used = false;
        IndexKey bytes;
    };
    constexpr size_t kKept = 8, kLongestKept = 64;
    thread_local std::array<Kept, kKept> kept;
    thread_local size_t next = 0;
    for (const Kept& k : kept) {
        if (k.used && k.ascending == ascending && k.text == utf8) {
            key.insert(key.end(), k.bytes.begin(), k.bytes.end());
            return;
        }
    }
    auto text = utf8ToUtf16(utf8);
    if (!text) throw Error(ErrorCode::TypeMismatch, "index key: text is not valid UTF-8");
    const size_t start = key.size();
    appendGeneralLegacyText(key, *text, ascending);
    if (utf8.size() > kLongestKept) return;
    Kept& slot = kept[next];
    next = (next + 1) % kKept;
    slot.text = utf8;
    slot.ascending = ascending;
    slot.used = true;
    slot.bytes.assign(key.begin() + std::ptrdiff_t(start), key.end());
}

}  // namespace

void appendKeySegment(IndexKey& key, ColumnType type, bool ascending, const Value& value) {
    if (type == ColumnType::Boolean) {
        // Never null: a missing value counts as No.
        bool yes = value.is<bool>() && value.as<bool>();
        if (!value.isNull() && !value.is<bool>()) mismatch(type);
        key.push_back(ascending ? kKeyAscending : kKeyDescending);
        uint8_t b = yes ? 0x00 : 0xFF;
        key.push_back(ascending ? b : uint8_t(~b));
        return;
    }
    if (value.isNull()) {
        key.push_back(ascending ? kKeyNullAscending : kKeyNullDescending);
        return;
    }
    key.push_back(ascending ? kKeyAscending : kKeyDescending);
    const size_t start = key.size();
    switch (type) {
        case ColumnType::Byte:
            key.push_back(get<uint8_t>(value, type));
            break;
        case ColumnType::Integer:
            appendSigned(key, get<int16_t>(value, type), 2);
            break;
        case ColumnType::Long:
            appendSigned(key, get<int32_t>(value, type), 4);
            break;
        case ColumnType::Currency:
            appendSigned(key, get<Currency>(value, type).units, 8);
            break;
        case ColumnType::Single:
            appendFloatBits(key, std::bit_cast<uint32_t>(get<float>(value, type)), 4);
            break;
        case ColumnType::Double:
            appendFloatBits(key, std::bit_cast<uint64_t>(get<double>(value, type)), 8);
            break;
        case ColumnType::DateTime:
            appendFloatBits(key, std::bit_cast<uint64_t>(get<DateTime>(value, type).oleDate), 8);
            break;
        case ColumnType::Text:
        case ColumnType::Memo:
            // Text inverts itself (its own terminator rules).
            appendTextSegment(key, get<std::string>(value, type), ascending);
            return;
        case ColumnType::Guid: {
            const auto& g = get<Guid>(value, type).bytes;
            const uint8_t display[16] = {g[3], g[2], g[1],  g[0],  g[5],  g[4],  g[7],  g[6],
                                         g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]};
            appendBinary(key, display, 16, ascending);
            return;
        }
        case ColumnType::Decimal: {
            const Decimal& d = get<Decimal>(value, type);
            key.push_back(0);
            for (int i = 7; i >= 0; --i) key.push_back(uint8_t(d.hi >> (8 * i)));
            for (int i = 7; i >= 0; --i) key.push_back(uint8_t(d.lo >> (8 * i)));
            if (d.negative == ascending) invert(key, start, key.size());
            key[start] = d.negative ? 0x00 : 0xFF;
            return;
        }
        case ColumnType::Binary:
        case ColumnType::OLE:
        case ColumnType::Complex:
        case ColumnType::Unknown0D: {
            const Bytes& b = get<Bytes>(value, type);
            appendBinary(key, b.data(), b.size(), ascending);
            return;
        }
        case ColumnType::Boolean:
            break;
    }
    if (!ascending) invert(key, start, key.size());
}

bool IndexDescriptor::keysBuildable() const {
    for (const KeyColumn& c : columns) {
        if ((c.type == ColumnType::Text || c.type == ColumnType::Memo) &&
            !canBuildTextKeys(c.sortOrder, c.sortVersion)) {
            return false;
        }
    }
    return true;
}

IndexKey buildIndexKey(const IndexDescriptor& index, const Row& row) {
    IndexKey key;
    key.reserve(16 * index.columns.size());
    for (const KeyColumn& c : index.columns) {
        if ((c.type == ColumnType::Text || c.type == ColumnType::Memo) &&
            !canBuildTextKeys(c.sortOrder, c.sortVersion)) {
            throw Error(ErrorCode::Unsupported,
                        "index " + index.name + ": column " + c.name +
                            " uses a text sort order this engine cannot write");
        }
        if (c.rowPosition < 0 || size_t(c.rowPosition) >= row.size()) {
            throw Error(ErrorCode::TypeMismatch,
                        "index " + index.name + ": row has no value for column " + c.name);
        }
        try {
            appendKeySegment(key, c.type, c.ascending, row[size_t(c.rowPosition)]);
        } catch (const Error& e) {
            throw Error(e.code(), "index " + index.name + ", column " + c.name + ": " + e.what());
        }
    }
    return key;
}

bool allKeyColumnsNull(const IndexDescriptor& index, const Row& row) {
    for (const KeyColumn& c : index.columns) {
        if (c.type == ColumnType::Boolean) return false;
        if (c.rowPosition >= 0 && size_t(c.rowPosition) < row.size() &&
            !row[size_t(c.rowPosition)].isNull()) {
            return false;
        }
    }
    return true;
}

std::string hexBytes(const uint8_t* data, size_t size) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(size * 3);
    for (size_t i = 0; i < size; ++i) {
        if (i) s.push_back(' ');
        s.push_back(digits[data[i] >> 4]);
        s.push_back(digits[data[i] & 15]);
    }
    return s;
}

}  // namespace jet
