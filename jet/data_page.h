// Data pages as writers see them: a header, a table of row slots growing from the front and row
// bytes packed from the end of the page downwards (slot 0's row ends at the page end, slot i's
// row ends where slot i-1's row starts).
//
// Every function keeps the page's stored free-space field equal to what the slots leave free, so
// the page reads the same to any reader. Rows never move to another slot. A deleted row keeps its
// slot (flagged, with its bytes given back) unless it is the last one, and a new row takes a
// slot a delete left empty before the page grows a slot: otherwise a table whose rows
// are deleted and added again fills every page's 255 slots while its bytes stay unused.
#pragma once

#include <cstdint>
#include <span>

#include "jet/coding.h"

namespace jet::data_page {

// A page holds at most this many slots (row numbers are one byte).
constexpr uint16_t kMaxSlots = 255;

// Both bits: what a delete writes. Only kRowDeleted: a row that lives here for an overflow
// pointer elsewhere (scans skip it; it keeps its bytes).
constexpr uint16_t kDeletedRow = kRowDeleted | kRowLookup;

// Makes `page` an empty data page of `owner` (a TDEF page number, or the LVAL marker).
void initialise(uint8_t* page, const JetFormat& format, uint32_t owner);
void initialiseLongValuePage(uint8_t* page, const JetFormat& format);

uint16_t slotCount(const uint8_t* page, const JetFormat& format);
uint16_t slotFlags(const uint8_t* page, const JetFormat& format, uint16_t row);
// Bytes free for new rows and their slots.
uint32_t freeSpace(const uint8_t* page, const JetFormat& format);
// True if a row of `size` bytes can be added (in a slot a delete emptied, or a new one).
bool hasRoomFor(const uint8_t* page, const JetFormat& format, size_t size);
// True if no slot holds a row (every slot deleted, or none): the page can leave its table.
bool holdsNoRows(const uint8_t* page, const JetFormat& format);

// The bytes of slot `row` (empty for a reclaimed deleted row).
// REQUIRES: row < slotCount(page), the page's slots are sound (checked when it was read).
std::span<const uint8_t> rowBytes(const uint8_t* page, const JetFormat& format, uint16_t row);

// Adds a row in an emptied slot (the highest: fewest rows to move), else as the new last slot,
// and returns its number.
// REQUIRES: hasRoomFor(page, format, bytes.size()).
uint8_t addRow(uint8_t* page, const JetFormat& format, std::span<const uint8_t> bytes,
               uint16_t flags = 0);

// Replaces the bytes and flags of slot `row`, moving the rows after it as needed. Returns false,
// leaving the page unchanged, when the new bytes do not fit.
bool replaceRow(uint8_t* page, const JetFormat& format, uint16_t row,
                std::span<const uint8_t> bytes, uint16_t flags);

// Flags slot `row` deleted and gives its bytes back to the page; deleted slots at the end of the
// table are dropped.
void deleteRow(uint8_t* page, const JetFormat& format, uint16_t row);

}  // namespace jet::data_page
