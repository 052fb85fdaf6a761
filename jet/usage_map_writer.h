// Changing usage maps and allocating pages.
//
// A table's (or an index's, or a long-value column's) map is a row on a data page. Adding a page
// sets its bit; an inline map whose 8-aligned window cannot reach the page first slides its window
// when every page it lists still fits, and otherwise becomes a reference map in the same row:
// type 1 followed by pointers to bitmap pages (type 0x05), each covering a fixed span of pages.
//
// The global map (page 1, row 0) is the other way round: a set bit means the page is free. Every
// page the engine adds to the file is taken through allocatePage(), which clears its bit, growing
// the map row in place when the file outgrows it, as Access does. Once page 1 has no room left for
// a longer row (about 31,500 pages, 128 MB) the row becomes a reference map whose bitmap pages
// are appended as the file reaches each new 32,736-page range; pages past the end stay free.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "jet/coding.h"

namespace jet {

class Pager;
class UsageMap;

// Where the global map lives: row 0 of page 1.
inline constexpr RowPointer kGlobalMap{1, 0};

// Appends a page to the file, marks it used in the global map and returns its number. The page is
// zero-filled; the caller gives it its type.
// REQUIRES: pager in a transaction.
uint32_t allocatePage(Pager& pager, const JetFormat& format, const std::string& file);

// Marks a page the engine no longer uses as free in the global map (its bytes stay as they are;
// nothing refers to it any more).
// REQUIRES: pager in a transaction.
void freePage(Pager& pager, const JetFormat& format, uint32_t page, const std::string& file);

// Sets / clears the bit of `page` in the map stored in row `where`. Adding may promote an inline
// map to a reference map (allocating bitmap pages). Removing a page the map does not list is a
// no-op.
// REQUIRES: pager in a transaction; `where` names a map row.
void addPageToMap(Pager& pager, const JetFormat& format, RowPointer where, uint32_t page,
                  const std::string& file);
void removePageFromMap(Pager& pager, const JetFormat& format, RowPointer where, uint32_t page,
                       const std::string& file);

// A page listed in the free-space map `freeMap` that is the caller's (`isOwn`) and can take a new
// row of `size` bytes, or 0. Looks at a few pages from the lowest; those that cannot take the row
// leave the map (as Access drops pages that no longer fit a row), so the search stays short.
// REQUIRES: pager in a transaction.
uint32_t findPageWithRoom(Pager& pager, const JetFormat& format, RowPointer freeMap, size_t size,
                          const std::function<bool(const uint8_t*)>& isOwn,
                          const std::string& file);

// The global map's opinion of a page (true: free).
bool globalMapSaysFree(Pager& pager, const JetFormat& format, uint32_t page,
                       const std::string& file);
// The same from the global map read once, for callers that ask about many pages.
bool globalMapSaysFree(const UsageMap& global, const JetFormat& format, uint32_t page);

}  // namespace jet
