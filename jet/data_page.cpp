#include "jet/data_page.h"

#include <cstring>
#include <vector>

namespace jet::data_page {

namespace {

size_t slotOffset(const JetFormat& format, uint16_t row) {
    return format.dataRowTable + 2 * size_t(row);
}

uint16_t rowStart(const uint8_t* page, const JetFormat& format, uint16_t row) {
    return getU16(page + slotOffset(format, row)) & kRowOffsetMask;
}

uint16_t rowEnd(const uint8_t* page, const JetFormat& format, uint16_t row) {
    return row == 0 ? uint16_t(format.pageSize) : rowStart(page, format, uint16_t(row - 1));
}

// Lowest row start: where the packed rows begin.
uint32_t lowestStart(const uint8_t* page, const JetFormat& format) {
    uint32_t lowest = format.pageSize;
    uint16_t n = slotCount(page, format);
    for (uint16_t r = 0; r < n; ++r) lowest = std::min<uint32_t>(lowest, rowStart(page, format, r));
    return lowest;
}

// The bytes between the slot table and the lowest row start.
uint32_t freeBelow(const uint8_t* page, const JetFormat& format, uint32_t lowest) {
    const uint32_t tableEnd = uint32_t(slotOffset(format, slotCount(page, format)));
    return lowest > tableEnd ? lowest - tableEnd : 0;
}

// `lowest`: the lowest row start, where the change already knows it.
void storeFreeSpace(uint8_t* page, const JetFormat& format, uint32_t lowest) {
    putU16(page + format.dataFreeSpace, uint16_t(freeBelow(page, format, lowest)));
}

void storeFreeSpace(uint8_t* page, const JetFormat& format) {
    storeFreeSpace(page, format, lowestStart(page, format));
}

// A slot a delete emptied: both flags and no bytes. Overflow targets (deleted flag only) and
// deleted rows that kept their bytes are left alone.
bool emptied(const uint8_t* page, const JetFormat& format, uint16_t row) {
    return (slotFlags(page, format, row) & kDeletedRow) == kDeletedRow &&
           rowBytes(page, format, row).empty();
}

// The highest emptied slot (the fewest rows to move aside), or slotCount() when there is none.
uint16_t reusableSlot(const uint8_t* page, const JetFormat& format) {
    const uint16_t n = slotCount(page, format);
    for (uint16_t r = n; r-- > 0;) {
        if (emptied(page, format, r)) return r;
    }
    return n;
}

// Puts `bytes` into the emptied slot `row` by moving the rows of the later slots down by their
// length, which keeps every row ending where the slot before it starts. False, changing nothing,
// when the later rows are not packed in slot order (the caller then packs the whole page).
bool fillEmptiedSlot(uint8_t* page, const JetFormat& format, uint16_t row,
                     std::span<const uint8_t> bytes, uint16_t flags) {
    const uint16_t n = slotCount(page, format);
    const uint32_t at = rowStart(page, format, row);
    if (at != rowEnd(page, format, row)) return false;
    for (uint16_t r = uint16_t(row + 1); r < n; ++r) {
        if (rowStart(page, format, r) > rowStart(page, format, uint16_t(r - 1))) return false;
    }
    const uint32_t lowest = n > row + 1 ? rowStart(page, format, uint16_t(n - 1)) : at;
    const uint32_t size = uint32_t(bytes.size());
    std::memmove(page + lowest - size, page + lowest, at - lowest);
    for (uint16_t r = uint16_t(row + 1); r < n; ++r) {
        const uint16_t slot = getU16(page + slotOffset(format, r));
        putU16(page + slotOffset(format, r), uint16_t(slot - size));
    }
    if (size) std::memcpy(page + at - size, bytes.data(), size);
    putU16(page + slotOffset(format, row), uint16_t((at - size) | flags));
    storeFreeSpace(page, format);
    return true;
}

// When every row lies where packing in slot order puts it (the way this code leaves pages),
// only the rows after `row` move; the page ends as packing it whole would leave it. False,
// changing nothing, when the rows lie otherwise, the bytes come from the page itself, or they do
// not fit.
bool replaceInPackedPage(uint8_t* page, const JetFormat& format, uint16_t row,
                         std::span<const uint8_t> bytes, uint16_t flags) {
    const uint16_t n = slotCount(page, format);
    if (row >= n) return false;
    if (!bytes.empty() && bytes.data() + bytes.size() > page &&
        bytes.data() < page + format.pageSize)
        return false;
    uint32_t lowest = format.pageSize;
    for (uint16_t r = 0; r < n; ++r) {
        const uint32_t start = rowStart(page, format, r);
        if (start > lowest) return false;
        // Packing drops the bytes a deleted row kept.
        if (r != row && start != lowest &&
            (slotFlags(page, format, r) & kDeletedRow) == kDeletedRow)
            return false;
        lowest = start;
    }
    const uint32_t at = rowStart(page, format, row);
    const uint32_t end = rowEnd(page, format, row);
    const uint32_t size = uint32_t(bytes.size());
    const uint32_t tableEnd = uint32_t(slotOffset(format, n));
    if (lowest + (end - at) < tableEnd + size) return false;
    const uint32_t newLowest = lowest + (end - at) - size;
    std::memmove(page + newLowest, page + lowest, at - lowest);
    for (uint16_t r = uint16_t(row + 1); r < n; ++r) {
        const uint16_t slot = getU16(page + slotOffset(format, r));
        putU16(page + slotOffset(format, r), uint16_t(slot + newLowest - lowest));
    }
    if (size) std::memcpy(page + end - size, bytes.data(), size);
    putU16(page + slotOffset(format, row), uint16_t((end - size) | flags));
    // No stale bytes linger between slots and rows.
    if (newLowest > tableEnd) std::memset(page + tableEnd, 0, newLowest - tableEnd);
    storeFreeSpace(page, format, newLowest);
    return true;
}

}  // namespace

void initialise(uint8_t* page, const JetFormat& format, uint32_t owner) {
    std::memset(page, 0, format.pageSize);
    page[0] = page_type::kData;
    page[1] = 0x01;
    putU32(page + format.dataOwner, owner);
    storeFreeSpace(page, format);
}

void initialiseLongValuePage(uint8_t* page, const JetFormat& format) {
    initialise(page, format, 0);
    std::memcpy(page + format.dataOwner, kLvalOwner, 4);
}

uint16_t slotCount(const uint8_t* page, const JetFormat& format) {
    return getU16(page + format.dataRowCount);
}

uint16_t slotFlags(const uint8_t* page, const JetFormat& format, uint16_t row) {
    return getU16(page + slotOffset(format, row)) & ~kRowOffsetMask;
}

uint32_t freeSpace(const uint8_t* page, const JetFormat& format) {
    return freeBelow(page, format, lowestStart(page, format));
}

bool hasRoomFor(const uint8_t* page, const JetFormat& format, size_t size) {
    const uint32_t free = freeSpace(page, format);
    if (free < size) return false;
    const uint16_t n = slotCount(page, format);
    if (n < kMaxSlots && free >= size + 2) return true;
    return reusableSlot(page, format) < n;
}

bool holdsNoRows(const uint8_t* page, const JetFormat& format) {
    const uint16_t n = slotCount(page, format);
    for (uint16_t r = 0; r < n; ++r) {
        if ((slotFlags(page, format, r) & kDeletedRow) != kDeletedRow) return false;
    }
    return true;
}

std::span<const uint8_t> rowBytes(const uint8_t* page, const JetFormat& format, uint16_t row) {
    uint16_t start = rowStart(page, format, row);
    uint16_t end = rowEnd(page, format, row);
    if (end < start) end = start;
    return {page + start, size_t(end - start)};
}

uint8_t addRow(uint8_t* page, const JetFormat& format, std::span<const uint8_t> bytes,
               uint16_t flags) {
    uint16_t row = reusableSlot(page, format);
    if (row < slotCount(page, format)) {
        if (!fillEmptiedSlot(page, format, row, bytes, flags)) {
            replaceRow(page, format, row, bytes, flags);
        }
        return uint8_t(row);
    }
    uint32_t start = lowestStart(page, format) - uint32_t(bytes.size());
    if (!bytes.empty()) std::memcpy(page + start, bytes.data(), bytes.size());
    putU16(page + slotOffset(format, row), uint16_t(start | flags));
    putU16(page + format.dataRowCount, uint16_t(row + 1));
    storeFreeSpace(page, format, start);
    return uint8_t(row);
}

bool replaceRow(uint8_t* page, const JetFormat& format, uint16_t row,
                std::span<const uint8_t> bytes, uint16_t flags) {
    const uint16_t n = slotCount(page, format);
    // A live row whose new bytes are as long as the old ones is overwritten where it stands.
    if (row < n && !bytes.empty() && (slotFlags(page, format, row) & kDeletedRow) != kDeletedRow) {
        std::span<const uint8_t> current = rowBytes(page, format, row);
        if (current.size() == bytes.size()) {
            const size_t at = size_t(current.data() - page);
            std::memmove(page + at, bytes.data(), bytes.size());
            putU16(page + slotOffset(format, row), uint16_t(at | flags));
            return true;
        }
    }
    if (replaceInPackedPage(page, format, row, bytes, flags)) return true;
    // Gather every row's bytes (deleted rows give theirs back), then pack them again from the
    // end of the page in slot order.
    std::vector<std::span<const uint8_t>> rows(n);
    size_t total = 0;
    for (uint16_t r = 0; r < n; ++r) {
        if (r == row) {
            rows[r] = bytes;
        } else if ((slotFlags(page, format, r) & kDeletedRow) != kDeletedRow) {
            rows[r] = rowBytes(page, format, r);
        }
        total += rows[r].size();
    }
    if (slotOffset(format, n) + total > format.pageSize) return false;

    std::vector<uint8_t> copy(page, page + format.pageSize);
    const uint8_t* base = page;
    uint32_t pos = format.pageSize;
    for (uint16_t r = 0; r < n; ++r) {
        const std::span<const uint8_t>& src = rows[r];
        pos -= uint32_t(src.size());
        // Sources point into the page itself (or into the caller's buffer): read them from the
        // copy so that packing cannot overwrite a row not yet moved.
        const uint8_t* from = src.data();
        if (from >= base && from < base + format.pageSize) from = copy.data() + (from - base);
        if (!src.empty()) std::memmove(page + pos, from, src.size());
        uint16_t f = r == row ? flags : slotFlags(copy.data(), format, r);
        putU16(page + slotOffset(format, r), uint16_t(pos | f));
    }
    // Clear the space the rows gave back so no stale bytes linger between slots and rows.
    size_t tableEnd = slotOffset(format, n);
    if (pos > tableEnd) std::memset(page + tableEnd, 0, pos - tableEnd);
    storeFreeSpace(page, format);
    return true;
}

void deleteRow(uint8_t* page, const JetFormat& format, uint16_t row) {
    replaceRow(page, format, row, {}, kDeletedRow);
    uint16_t n = slotCount(page, format);
    if (n == 0 || !emptied(page, format, uint16_t(n - 1))) return;
    while (n > 0 && emptied(page, format, uint16_t(n - 1))) {
        --n;
        putU16(page + slotOffset(format, n), 0);
    }
    putU16(page + format.dataRowCount, n);
    storeFreeSpace(page, format);
}

}  // namespace jet::data_page
