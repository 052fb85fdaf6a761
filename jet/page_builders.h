// Small building blocks shared by the code that creates databases and tables: UTF-16 names,
// Jet 4 data-page rows, inline usage-map rows and the index leaves of a new file.
//
// Everything here works on raw page buffers; nothing here reads or writes a file. Page numbers
// and row pointers follow the file format: a row pointer is (row byte, u24 page) little-endian.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/coding.h"
#include "jet/pager.h"

namespace jet::create {

constexpr uint32_t kPageSize = 4096;

// Appends fields to a growing byte buffer.
class ByteWriter {
  public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}
    void u8(uint8_t v) { out_.push_back(v); }
    void u16(uint16_t v) {
        out_.push_back(static_cast<uint8_t>(v));
        out_.push_back(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void f64(double v);
    void bytes(const std::vector<uint8_t>& b) { out_.insert(out_.end(), b.begin(), b.end()); }
    void zeros(size_t n) { out_.insert(out_.end(), n, 0); }
    size_t size() const { return out_.size(); }

  private:
    std::vector<uint8_t>& out_;
};

// A row pointer as stored: row byte, then the page as a u24.
inline uint32_t rowPointer(uint32_t page, uint8_t row) {
    return (page << 8) | row;
}

// UTF-8 to UTF-16 code units. Throws InvalidDefinition naming `what` on malformed UTF-8.
std::u16string utf8ToUtf16(std::string_view text, std::string_view what);
// UTF-16LE bytes of `text`.
std::vector<uint8_t> ucs2Bytes(std::string_view text);
// A name as the table definition and property blobs store it: u16 byte length + UTF-16LE.
void putName(ByteWriter& w, std::string_view name);

// ---- Data pages ----

// A fresh, empty data page (type 0x01) whose owner field is `owner`.
PageBuffer emptyDataPage(uint32_t owner);
// Appends `row` to a data page. Returns the new slot, or nothing when the page has no room
// (or already has 255 slots).
std::optional<uint8_t> addRow(uint8_t* page, const std::vector<uint8_t>& row);
// Bytes of `row` stored in slot `slot` (the page must hold that slot).
std::vector<uint8_t> rowBytes(const uint8_t* page, uint8_t slot);
// Free bytes of a data page as the header records them.
inline uint16_t freeSpace(const uint8_t* page) {
    return getU16(page + 2);
}

// Builds a Jet 4 row. `columnCount` is the table's max_cols; `fixedArea` the whole fixed area;
// `varValues` one entry per var index (nullopt = null or dead); `present` the null-mask bits
// (bit c set = column number c has a value; Yes/No columns store their value here).
std::vector<uint8_t> buildRow(uint16_t columnCount, const std::vector<uint8_t>& fixedArea,
                              const std::vector<std::optional<std::vector<uint8_t>>>& varValues,
                              const std::vector<bool>& present);

// ---- Usage maps ----

// An inline (type 0) usage-map row of 69 bytes: window start `start` (a multiple of 8) and the
// given pages set; every page must lie in [start, start + 512).
std::vector<uint8_t> inlineUsageMap(uint32_t start, const std::vector<uint32_t>& pages = {});

// ---- Index pages and keys ----

// An empty index leaf (type 0x04) belonging to the table whose TDEF is `tdefPage`.
PageBuffer emptyIndexLeaf(uint32_t tdefPage);
// A leaf holding `entries` (each key bytes + u24 big-endian data page + row byte), sorted here,
// stored whole (prefix length 0, as Jet writes the leaves of a new file). Throws Unsupported when
// they do not fit on one page.
PageBuffer indexLeaf(uint32_t tdefPage, std::vector<std::vector<uint8_t>> entries);
// A leaf entry: key bytes followed by the row id.
std::vector<uint8_t> leafEntry(std::vector<uint8_t> key, uint32_t page, uint8_t row);

// ---- Page allocation ----

// Appends a page to the file and marks it used in the global usage map (page 1).
// REQUIRES: pager.inTransaction().
uint32_t allocatePage(Pager& pager);

}  // namespace jet::create
