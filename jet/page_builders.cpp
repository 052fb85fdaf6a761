#include "jet/page_builders.h"

#include <algorithm>
#include <cstring>

#include "jet/error.h"
#include "jet/index_page.h"
#include "jet/usage_map_writer.h"

namespace jet::create {

void ByteWriter::f64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i) out_.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

std::u16string utf8ToUtf16(std::string_view text, std::string_view what) {
    std::u16string out;
    size_t i = 0;
    auto bad = [&]() {
        return Error(ErrorCode::InvalidDefinition, std::string(what) + " is not valid UTF-8 text");
    };
    while (i < text.size()) {
        uint8_t c = static_cast<uint8_t>(text[i]);
        uint32_t cp;
        int extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            throw bad();
        }
        if (i + extra >= text.size()) throw bad();
        for (int k = 1; k <= extra; ++k) {
            uint8_t t = static_cast<uint8_t>(text[i + k]);
            if ((t & 0xC0) != 0x80) throw bad();
            cp = (cp << 6) | (t & 0x3F);
        }
        i += extra + 1;
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) throw bad();
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::vector<uint8_t> ucs2Bytes(std::string_view text) {
    std::vector<uint8_t> out;
    for (char16_t u : utf8ToUtf16(text, "a name")) {
        out.push_back(static_cast<uint8_t>(u));
        out.push_back(static_cast<uint8_t>(u >> 8));
    }
    return out;
}

void putName(ByteWriter& w, std::string_view name) {
    std::vector<uint8_t> bytes = ucs2Bytes(name);
    w.u16(static_cast<uint16_t>(bytes.size()));
    w.bytes(bytes);
}

namespace {
// A new page of `type` with the head data and index pages share: the type, 0x01, the bytes free
// and the definition page of the owning table.
PageBuffer pageWithHead(uint8_t type, uint32_t freeSpace, uint32_t owner) {
    PageBuffer page(kPageSize, 0);
    page[0] = type;
    page[1] = 0x01;
    putU16(&page[2], static_cast<uint16_t>(freeSpace));
    putU32(&page[4], owner);
    return page;
}
}  // namespace

// ---- Data pages ----

namespace {
constexpr int kRowTableStart = 14;
constexpr uint16_t kOffsetMask = 0x1FFF;
}  // namespace

PageBuffer emptyDataPage(uint32_t owner) {
    return pageWithHead(page_type::kData, kPageSize - kRowTableStart, owner);
}

std::optional<uint8_t> addRow(uint8_t* page, const std::vector<uint8_t>& row) {
    uint16_t count = getU16(page + 12);
    if (count >= 255 || freeSpace(page) < row.size() + 2) return std::nullopt;
    uint32_t lowest = kPageSize;
    for (uint16_t i = 0; i < count; ++i) {
        lowest = std::min<uint32_t>(lowest, getU16(page + kRowTableStart + 2 * i) & kOffsetMask);
    }
    uint32_t start = lowest - static_cast<uint32_t>(row.size());
    std::memcpy(page + start, row.data(), row.size());
    putU16(page + kRowTableStart + 2 * count, static_cast<uint16_t>(start));
    putU16(page + 12, count + 1);
    putU16(page + 2, static_cast<uint16_t>(start - (kRowTableStart + 2 * (count + 1))));
    return static_cast<uint8_t>(count);
}

std::vector<uint8_t> rowBytes(const uint8_t* page, uint8_t slot) {
    uint32_t start = getU16(page + kRowTableStart + 2 * slot) & kOffsetMask;
    uint32_t end =
        slot == 0 ? kPageSize : (getU16(page + kRowTableStart + 2 * (slot - 1)) & kOffsetMask);
    return std::vector<uint8_t>(page + start, page + end);
}

std::vector<uint8_t> buildRow(uint16_t columnCount, const std::vector<uint8_t>& fixedArea,
                              const std::vector<std::optional<std::vector<uint8_t>>>& varValues,
                              const std::vector<bool>& present) {
    std::vector<uint8_t> row;
    ByteWriter w(row);
    w.u16(columnCount);
    w.bytes(fixedArea);
    std::vector<uint16_t> offsets;
    for (const auto& value : varValues) {
        offsets.push_back(static_cast<uint16_t>(row.size()));
        if (value) w.bytes(*value);
    }
    if (!varValues.empty()) {
        w.u16(static_cast<uint16_t>(row.size()));  // end of the variable data
        for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) w.u16(*it);
        w.u16(static_cast<uint16_t>(varValues.size()));
    }
    std::vector<uint8_t> mask((columnCount + 7) / 8, 0);
    for (size_t c = 0; c < present.size() && c < columnCount; ++c) {
        if (present[c]) mask[c / 8] |= static_cast<uint8_t>(1u << (c % 8));
    }
    w.bytes(mask);
    return row;
}

// ---- Usage maps ----

namespace {
constexpr uint32_t kInlineMapBytes = 64;
}

std::vector<uint8_t> inlineUsageMap(uint32_t start, const std::vector<uint32_t>& pages) {
    std::vector<uint8_t> row(5 + kInlineMapBytes, 0);
    putU32(&row[1], start);
    for (uint32_t page : pages) {
        uint32_t bit = page - start;
        row[5 + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
    }
    return row;
}

// ---- Index pages and keys ----

namespace {
constexpr uint32_t kEntryStart = 0x1E0;
constexpr uint32_t kBitmapStart = 27;
}  // namespace

PageBuffer emptyIndexLeaf(uint32_t tdefPage) {
    return pageWithHead(page_type::kIndexLeaf, kPageSize - kEntryStart, tdefPage);
}

PageBuffer indexLeaf(uint32_t tdefPage, std::vector<std::vector<uint8_t>> entries) {
    std::sort(entries.begin(), entries.end(), BytesLess());
    PageBuffer leaf = emptyIndexLeaf(tdefPage);
    uint32_t pos = kEntryStart;
    for (const auto& e : entries) {
        if (pos + e.size() > kPageSize) {
            throw Error(ErrorCode::Unsupported, "index entries of a new table overflow a page");
        }
        std::memcpy(leaf.data() + pos, e.data(), e.size());
        pos += static_cast<uint32_t>(e.size());
        uint32_t bit = pos - kEntryStart;
        leaf[kBitmapStart + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
    }
    putU16(leaf.data() + 2, static_cast<uint16_t>(kPageSize - pos));
    return leaf;
}

std::vector<uint8_t> leafEntry(std::vector<uint8_t> key, uint32_t page, uint8_t row) {
    key.push_back(static_cast<uint8_t>(page >> 16));
    key.push_back(static_cast<uint8_t>(page >> 8));
    key.push_back(static_cast<uint8_t>(page));
    key.push_back(row);
    return key;
}

// ---- Page allocation ----

uint32_t allocatePage(Pager& pager) {
    return jet::allocatePage(pager, JetFormat::forVersion(4), pager.path().string());
}

}  // namespace jet::create
