#include "jet/long_value.h"

#include <cstring>
#include <set>

#include "jet/error.h"
#include "jet/pager.h"
#include "jet/row_reader.h"

namespace jet {

namespace {

// The bytes of one LVAL row; `keep` holds the page while they are used.
std::span<const uint8_t> lvalRow(Pager& pager, const JetFormat& format, RowPointer where,
                                 PageRef& keep, const std::string& file) {
    if (where.page == 0 || where.page >= pager.pageCount())
        throw fileError(
            ErrorCode::Corrupt, file,
            "a long value points to page " + std::to_string(where.page) + ", outside the file");
    keep = pager.read(where.page);
    const uint8_t* page = keep->data();
    if (page[0] != page_type::kData || std::memcmp(page + format.dataOwner, kLvalOwner, 4) != 0)
        throw fileError(ErrorCode::Corrupt, file,
                        "a long value points to page " + std::to_string(where.page) +
                            ", which holds no long values");
    RowSlot slot = rowSlot(page, format, where.page, where.row, file);
    if (slot.deleted)
        throw fileError(ErrorCode::Corrupt, file,
                        "a long value points to deleted row " + std::to_string(where.row) +
                            " of page " + std::to_string(where.page));
    return {page + slot.start, slot.size()};
}

}  // namespace

LongValueHeader parseLongValueHeader(std::span<const uint8_t> header, const std::string& file) {
    if (header.size() < kLongValueHeaderSize)
        throw fileError(ErrorCode::Corrupt, file, "a long value header is too short");
    LongValueHeader h;
    uint32_t word = getU32(header.data());
    h.length = word & kLongValueLengthMask;
    h.form = uint8_t(word >> 24) & 0xC0;
    h.first = getRowPointer(header.data() + 4);
    return h;
}

Bytes readLongValue(Pager& pager, const JetFormat& format, std::span<const uint8_t> stored,
                    const std::string& file) {
    LongValueHeader h = parseLongValueHeader(stored, file);
    if (h.form == kLongValueInline) {
        if (h.length > stored.size() - kLongValueHeaderSize)
            throw fileError(ErrorCode::Corrupt, file,
                            "an inline long value is longer than its row");
        return Bytes(stored.begin() + kLongValueHeaderSize,
                     stored.begin() + kLongValueHeaderSize + h.length);
    }
    PageRef keep;
    if (h.form == kLongValueSingle) {
        auto row = lvalRow(pager, format, h.first, keep, file);
        if (row.size() < h.length)
            throw fileError(ErrorCode::Corrupt, file, "a long value is shorter than its length");
        return Bytes(row.begin(), row.begin() + h.length);
    }
    if (h.form != kLongValueChain)
        throw fileError(ErrorCode::Corrupt, file, "a long value has an unknown form");

    // A chain can only be as long as the file holds pieces; a length beyond that is damage.
    if (uint64_t(h.length) > uint64_t(pager.pageCount()) * format.pageSize)
        throw fileError(ErrorCode::Corrupt, file, "a long value is longer than the file");
    Bytes out;
    out.reserve(h.length);
    std::set<std::pair<uint32_t, uint8_t>> seen;
    RowPointer next = h.first;
    while (out.size() < h.length) {
        if (next.page == 0)
            throw fileError(ErrorCode::Corrupt, file, "a long value chain ends before its length");
        if (!seen.insert({next.page, next.row}).second)
            throw fileError(ErrorCode::Corrupt, file, "a long value chain loops");
        auto row = lvalRow(pager, format, next, keep, file);
        if (row.size() < 4)
            throw fileError(ErrorCode::Corrupt, file, "a long value piece is too short");
        next = getRowPointer(row.data());
        size_t take = std::min<size_t>(row.size() - 4, h.length - out.size());
        out.insert(out.end(), row.begin() + 4, row.begin() + 4 + take);
    }
    return out;
}

}  // namespace jet
