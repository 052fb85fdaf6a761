#include "jet/long_value_writer.h"

#include <cstring>
#include <vector>

#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/long_value.h"
#include "jet/pager.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"

namespace jet {

namespace {

constexpr size_t kSingleLimit = 4076;
constexpr size_t kChainPiece = 4072;  // data bytes per chain row, after the next-row pointer

bool isLongValuePage(const uint8_t* page, const JetFormat& format) {
    return page[0] == page_type::kData && std::memcmp(page + format.dataOwner, kLvalOwner, 4) == 0;
}

// Puts one LVAL row on a page with room (from the column's free-space map, else its latest page)
// or on a new page.
RowPointer placeRow(Pager& pager, const JetFormat& format, const LongValueMaps* maps,
                    std::span<const uint8_t> bytes, const std::string& file) {
    bool mapped = maps && maps->ownedMap.page != 0;
    bool hasFreeMap = maps && maps->freeMap.page != 0;
    auto isOwn = [&](const uint8_t* page) { return isLongValuePage(page, format); };
    uint32_t candidate = 0;
    if (hasFreeMap) {
        candidate = findPageWithRoom(pager, format, maps->freeMap, bytes.size(), isOwn, file);
    } else if (mapped) {
        UsageMap owned = UsageMap::read(pager, format, maps->ownedMap, file);
        if (!owned.pages().empty() && owned.pages().back() < pager.pageCount()) {
            PageRef page = pager.read(owned.pages().back());
            if (isOwn(page->data()) && data_page::hasRoomFor(page->data(), format, bytes.size())) {
                candidate = owned.pages().back();
            }
        }
    }
    if (candidate != 0) {
        uint8_t row = data_page::addRow(pager.write(candidate), format, bytes);
        return RowPointer{candidate, row};
    }
    uint32_t fresh = allocatePage(pager, format, file);
    uint8_t* page = pager.write(fresh);
    data_page::initialiseLongValuePage(page, format);
    uint8_t row = data_page::addRow(page, format, bytes);
    if (mapped) addPageToMap(pager, format, maps->ownedMap, fresh, file);
    if (hasFreeMap) addPageToMap(pager, format, maps->freeMap, fresh, file);
    return RowPointer{fresh, row};
}

void putHeader(uint8_t* header, size_t length, uint8_t form, RowPointer first) {
    putU32(header, uint32_t(length) | uint32_t(form) << 24);
    putRowPointer(header + 4, first);
    putU32(header + 8, 0);
}

}  // namespace

Bytes storeLongValue(Pager& pager, const JetFormat& format, const LongValueMaps* maps,
                     std::span<const uint8_t> payload, const std::string& file) {
    if (payload.size() > kLongValueLengthMask) {
        throw fileError(ErrorCode::TooLong, file, "a long value may hold at most 1 GB");
    }
    Bytes stored(kLongValueHeaderSize, 0);
    if (payload.size() <= kLongValueInlineLimit) {
        putHeader(stored.data(), payload.size(), kLongValueInline, RowPointer{});
        stored.insert(stored.end(), payload.begin(), payload.end());
        return stored;
    }
    if (payload.size() <= kSingleLimit) {
        RowPointer where = placeRow(pager, format, maps, payload, file);
        putHeader(stored.data(), payload.size(), kLongValueSingle, where);
        return stored;
    }
    // A chain, written from its last piece so that each piece knows where the next one is.
    size_t pieces = (payload.size() + kChainPiece - 1) / kChainPiece;
    RowPointer next{};
    std::vector<uint8_t> piece;
    for (size_t i = pieces; i-- > 0;) {
        size_t offset = i * kChainPiece;
        size_t length = std::min(kChainPiece, payload.size() - offset);
        piece.assign(4, 0);
        putRowPointer(piece.data(), next);
        piece.insert(piece.end(), payload.begin() + offset, payload.begin() + offset + length);
        next = placeRow(pager, format, maps, piece, file);
    }
    putHeader(stored.data(), payload.size(), kLongValueChain, next);
    return stored;
}

void freeLongValue(Pager& pager, const JetFormat& format, const LongValueMaps* maps,
                   std::span<const uint8_t> stored, const std::string& file) {
    LongValueHeader header = parseLongValueHeader(stored, file);
    if (header.form == kLongValueInline) return;
    RowPointer at = header.first;
    // A chain never has more pieces than its length needs; the bound stops a looping chain.
    size_t limit = header.form == kLongValueSingle ? 1 : header.length / kChainPiece + 2;
    for (size_t n = 0; n < limit && !at.isNull(); ++n) {
        if (at.page >= pager.pageCount()) break;
        uint8_t* page = pager.write(at.page);
        if (!isLongValuePage(page, format) || at.row >= data_page::slotCount(page, format) ||
            (data_page::slotFlags(page, format, at.row) & kRowDeleted)) {
            break;  // already gone: nothing more of this value to free
        }
        RowPointer next{};
        std::span<const uint8_t> row = data_page::rowBytes(page, format, at.row);
        if (header.form == kLongValueChain && row.size() >= 4) next = getRowPointer(row.data());
        data_page::deleteRow(page, format, at.row);
        // The page has room again: offer it for the column's next values, or give it back to
        // the file when nothing is left on it.
        // Only a page the column's own map lists is given back: other writers share theirs.
        if (maps && maps->ownedMap.page != 0 && data_page::holdsNoRows(page, format) &&
            UsageMap::read(pager, format, maps->ownedMap, file).contains(at.page)) {
            if (maps->freeMap.page != 0)
                removePageFromMap(pager, format, maps->freeMap, at.page, file);
            removePageFromMap(pager, format, maps->ownedMap, at.page, file);
            freePage(pager, format, at.page, file);
        } else if (maps && maps->freeMap.page != 0) {
            addPageToMap(pager, format, maps->freeMap, at.page, file);
        }
        at = next;
    }
}

}  // namespace jet
