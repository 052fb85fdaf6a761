// Stored rows: finding a row's bytes on a data page, locating each column's bytes inside the row,
// and decoding them into typed values.
//
// Jet 4 rows: u16 column count, fixed area, variable data, then (read from the end) the null mask,
// the u16 variable-column count, the variable offsets in reverse and the end-of-data offset.
// Jet 3 rows use one-byte counts and offsets with a jump table that adds 256 for every boundary a
// variable value crosses. Every offset is checked against the row's bytes: a damaged row is
// reported as Corrupt naming the file, page and row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "jet/coding.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

struct Tdef;

// One slot of a data page's row offset table.
struct RowSlot {
    uint16_t start = 0;  // offset of the row in the page
    uint16_t end = 0;    // one past its last byte
    bool deleted = false;
    bool lookup = false;  // the row is a row pointer to where it really lives
    uint16_t size() const { return uint16_t(end - start); }
};

// Number of slots on a data page. Throws Corrupt when the slot table does not fit the page.
uint16_t rowSlotCount(const uint8_t* page, const JetFormat& format, uint32_t pageNumber,
                      const std::string& file);
// Slot `row` of a data page, its bounds checked against the page.
RowSlot rowSlot(const uint8_t* page, const JetFormat& format, uint32_t pageNumber, uint8_t row,
                const std::string& file);

// Where each column's bytes lie in one stored row.
class RowLayout {
  public:
    // REQUIRES: `row` stays valid while the layout is used.
    RowLayout(const JetFormat& format, const Tdef& tdef, const uint8_t* row, size_t size,
              uint32_t pageNumber, uint8_t rowNumber, const std::string& file);

    // The null-mask bit (for Yes/No columns: the value). False for columns the row predates.
    bool present(const Column& column) const;
    // The bytes of a present fixed or variable column (empty for Yes/No).
    std::span<const uint8_t> bytes(const Column& column) const;

    uint16_t columnCount() const { return columnCount_; }
    // The page the row's bytes are on (another than the row id's for an overflow row).
    uint32_t pageNumber() const { return page_; }

  private:
    [[noreturn]] void fail(const std::string& what) const;

    const JetFormat& format_;
    const Tdef& tdef_;
    const uint8_t* row_;
    size_t size_;
    uint32_t page_;
    uint8_t rowNumber_;
    const std::string& file_;
    uint16_t columnCount_ = 0;
    size_t maskStart_ = 0;       // first byte of the null mask
    size_t fixedEnd_ = 0;        // end of the bytes usable by the fixed area
    std::vector<uint16_t> var_;  // var offsets, entry V = end of data
};

// What decoding a value needs besides its bytes.
struct ValueContext {
    const JetFormat* format = nullptr;
    uint16_t codePage = 1252;
    // Returns the bytes of a long value (Memo/OLE) from its 12-byte header and inline data.
    std::function<Bytes(std::span<const uint8_t>)> readLongValue;
};

// Decodes the bytes of a present column. Throws Corrupt when the bytes cannot hold the type.
Value decodeValue(const Column& column, std::span<const uint8_t> bytes, const ValueContext& context,
                  const std::string& file);

// Every live column of a row, in tdef.columns order.
void decodeRow(const RowLayout& layout, const Tdef& tdef, const ValueContext& context,
               const std::string& file, Row& out);

}  // namespace jet
