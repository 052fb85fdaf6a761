#include "jet/row_reader.h"

#include "jet/error.h"
#include "jet/tdef.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

std::string where(uint32_t page, int row) {
    return "page " + std::to_string(page) + (row >= 0 ? " row " + std::to_string(row) : "");
}

}  // namespace

uint16_t rowSlotCount(const uint8_t* page, const JetFormat& format, uint32_t pageNumber,
                      const std::string& file) {
    uint16_t count = getU16(page + format.dataRowCount);
    if (format.dataRowTable + 2 * size_t(count) > format.pageSize)
        throw fileError(ErrorCode::Corrupt, file,
                        where(pageNumber, -1) + " claims more rows than fit on a page");
    return count;
}

RowSlot rowSlot(const uint8_t* page, const JetFormat& format, uint32_t pageNumber, uint8_t row,
                const std::string& file) {
    uint16_t count = rowSlotCount(page, format, pageNumber, file);
    if (row >= count)
        throw fileError(ErrorCode::Corrupt, file, where(pageNumber, row) + " does not exist");
    uint16_t raw = getU16(page + format.dataRowTable + 2 * row);
    RowSlot slot;
    slot.start = raw & kRowOffsetMask;
    slot.deleted = raw & kRowDeleted;
    slot.lookup = raw & kRowLookup;
    slot.end = row == 0
                   ? uint16_t(format.pageSize)
                   : uint16_t(getU16(page + format.dataRowTable + 2 * (row - 1)) & kRowOffsetMask);
    size_t tableEnd = format.dataRowTable + 2 * size_t(count);
    // Deleted slots may have been reclaimed to zero length; only live rows must be sound.
    if (!slot.deleted || slot.lookup) {
        if (slot.start < tableEnd || slot.end > format.pageSize || slot.start > slot.end)
            throw fileError(ErrorCode::Corrupt, file,
                            where(pageNumber, row) + " has impossible bounds");
    } else if (slot.start > slot.end || slot.end > format.pageSize || slot.start < tableEnd) {
        slot.start = slot.end = uint16_t(std::min<size_t>(slot.end, format.pageSize));
    }
    return slot;
}

RowLayout::RowLayout(const JetFormat& format, const Tdef& tdef, const uint8_t* row, size_t size,
                     uint32_t pageNumber, uint8_t rowNumber, const std::string& file)
    : format_(format),
      tdef_(tdef),
      row_(row),
      size_(size),
      page_(pageNumber),
      rowNumber_(rowNumber),
      file_(file) {
    const bool jet4 = format.wideRowFields();
    const size_t countBytes = jet4 ? 2 : 1;
    if (size < countBytes) fail("is too short");
    columnCount_ = jet4 ? getU16(row) : row[0];
    size_t maskBytes = (size_t(columnCount_) + 7) / 8;
    if (maskBytes + countBytes > size) fail("has a null mask longer than the row");
    maskStart_ = size - maskBytes;
    fixedEnd_ = maskStart_;
    if (tdef.varColumns == 0) return;

    if (jet4) {
        if (maskStart_ < countBytes + 2) fail("has no room for its variable-column table");
        uint16_t v = getU16(row + maskStart_ - 2);
        size_t tableBytes = 2 * (size_t(v) + 1) + 2;  // entries, end of data, count
        if (countBytes + tableBytes > maskStart_) fail("has a variable-column table too long");
        size_t trailer = maskStart_ - tableBytes;
        var_.resize(size_t(v) + 1);
        for (size_t k = 0; k <= v; ++k) var_[k] = getU16(row + maskStart_ - 4 - 2 * k);
        fixedEnd_ = trailer;
    } else {
        uint8_t v = row[maskStart_ - 1];
        // One jump byte per 256 bytes of row; the last may be unused.
        size_t jumps = (size - 1) / 256;
        if (countBytes + 1 + jumps + size_t(v) + 1 > maskStart_)
            fail("has a variable-column table too long");
        size_t jumpEnd = maskStart_ - 1;             // one past the first jump byte read
        size_t entry0 = maskStart_ - 1 - jumps - 1;  // var entry 0; later entries lie below it
        size_t usedJumps = jumps;
        if ((entry0 - v) / 256 < usedJumps) --usedJumps;
        var_.resize(size_t(v) + 1);
        size_t crossed = 0;
        for (size_t k = 0; k <= v; ++k) {
            while (crossed < usedJumps && row[jumpEnd - 1 - crossed] == k) ++crossed;
            var_[k] = uint16_t(row[entry0 - k] + 256 * crossed);
        }
        fixedEnd_ = entry0 - v;
    }
    for (size_t k = 0; k < var_.size(); ++k) {
        if (var_[k] > fixedEnd_ || (k > 0 && var_[k] < var_[k - 1]))
            fail("has variable offsets out of order or outside the row");
    }
}

void RowLayout::fail(const std::string& what) const {
    throw fileError(ErrorCode::Corrupt, file_, where(page_, rowNumber_) + " " + what);
}

bool RowLayout::present(const Column& column) const {
    if (column.number >= columnCount_) return false;
    // A variable column added after the row was written has no entry in its table.
    if (column.type != ColumnType::Boolean && !column.isFixed() &&
        size_t(column.varIndex) + 1 >= var_.size())
        return false;
    return (row_[maskStart_ + column.number / 8] >> (column.number % 8)) & 1;
}

std::span<const uint8_t> RowLayout::bytes(const Column& column) const {
    if (column.type == ColumnType::Boolean) return {};
    if (column.isFixed()) {
        size_t start = (format_.wideRowFields() ? 2 : 1) + size_t(column.fixedOffset);
        size_t length = fixedSize(column);
        if (!fits(fixedEnd_, start, length)) fail("is too short for column " + column.name);
        return {row_ + start, length};
    }
    if (size_t(column.varIndex) + 1 >= var_.size()) return {};
    size_t start = var_[column.varIndex], end = var_[column.varIndex + 1];
    return {row_ + start, end - start};
}

Value decodeValue(const Column& column, std::span<const uint8_t> b, const ValueContext& context,
                  const std::string& file) {
    auto need = [&](size_t n) {
        if (b.size() < n)
            throw fileError(ErrorCode::Corrupt, file,
                            "a value of column " + column.name + " is too short for its type");
    };
    const uint8_t* p = b.data();
    switch (column.type) {
        case ColumnType::Boolean:
            return Value(true);
        case ColumnType::Byte:
            need(1);
            return Value(uint8_t(p[0]));
        case ColumnType::Integer:
            need(2);
            return Value(getI16(p));
        case ColumnType::Long:
            need(4);
            return Value(getI32(p));
        case ColumnType::Currency:
            need(8);
            return Value(Currency{getI64(p)});
        case ColumnType::Single:
            need(4);
            return Value(getF32(p));
        case ColumnType::Double:
            need(8);
            return Value(getF64(p));
        case ColumnType::DateTime:
            need(8);
            return Value(DateTime{getF64(p)});
        case ColumnType::Guid: {
            need(16);
            Guid g;
            std::copy(p, p + 16, g.bytes.begin());
            return Value(g);
        }
        case ColumnType::Decimal: {
            need(17);
            Decimal d;
            d.negative = p[0] & 0x80;
            // Four little-endian u32 words, most significant word first.
            d.hi = (uint64_t(getU32(p + 1)) << 32) | getU32(p + 5);
            d.lo = (uint64_t(getU32(p + 9)) << 32) | getU32(p + 13);
            d.scale = column.scale;
            return Value(d);
        }
        case ColumnType::Text:
            if (context.format->version >= 4) return Value(decodeJet4Text(p, b.size()));
            return Value(decodeCodePageText(p, b.size(), context.codePage));
        case ColumnType::Memo: {
            Bytes data = context.readLongValue(b);
            if (context.format->version >= 4)
                return Value(decodeJet4Text(data.data(), data.size()));
            return Value(decodeCodePageText(data.data(), data.size(), context.codePage));
        }
        case ColumnType::OLE:
            return Value(context.readLongValue(b));
        default:
            return Value(Bytes(b.begin(), b.end()));
    }
}

void decodeRow(const RowLayout& layout, const Tdef& tdef, const ValueContext& context,
               const std::string& file, Row& out) {
    out.resize(tdef.columns.size());
    for (size_t i = 0; i < tdef.columns.size(); ++i) {
        const Column& column = tdef.columns[i];
        bool present = layout.present(column);
        if (column.type == ColumnType::Boolean) {
            out[i] = Value(present);
        } else if (!present) {
            out[i] = Value();
        } else {
            out[i] = decodeValue(column, layout.bytes(column), context, file);
        }
    }
}

}  // namespace jet
