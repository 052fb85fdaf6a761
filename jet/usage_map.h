// Usage maps: the bitmaps that say which pages belong to a table, an index or a long-value column
// (and, for the global map on page 1, which pages are free).
//
// A map is a row on a data page. Type 0 ("inline") holds a start page and the bitmap itself;
// type 1 ("reference") holds page numbers of type-0x05 bitmap pages, each covering a fixed span of
// pages. A UsageMap remembers where its row is and its decoded form so that it can be rewritten.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/coding.h"

namespace jet {

class Pager;

class UsageMap {
  public:
    static constexpr uint8_t kInline = 0;
    static constexpr uint8_t kReference = 1;

    // Reads the map stored in the row `where`. Throws Corrupt naming `file` when the row, its page
    // or a bitmap page is not what a map needs.
    static UsageMap read(Pager& pager, const JetFormat& format, RowPointer where,
                         const std::string& file);

    // Pages whose bit is set, ascending.
    const std::vector<uint32_t>& pages() const { return pages_; }
    bool contains(uint32_t page) const;

    RowPointer location() const { return location_; }
    uint8_t type() const { return type_; }
    uint32_t startPage() const { return startPage_; }    // inline maps
    size_t bitmapBytes() const { return bitmapBytes_; }  // inline maps: bitmap bytes in the row
    const std::vector<uint32_t>& bitmapPages() const { return bitmapPages_; }  // reference maps

  private:
    RowPointer location_;
    uint8_t type_ = kInline;
    uint32_t startPage_ = 0;
    size_t bitmapBytes_ = 0;
    std::vector<uint32_t> bitmapPages_;
    std::vector<uint32_t> pages_;
};

}  // namespace jet
