// Byte-level encoding of the Jet file format: the one place that reads and writes little- and
// big-endian integers, row pointers, and the offsets of page and structure fields.
//
// Every other file of the engine goes through these helpers; no magic offset should appear twice.
// Reads take a pointer the caller has already bounds-checked (see `fits`). Offsets that differ
// between Jet 3 (Access 97) and Jet 4 live in `JetFormat`; pick one with `JetFormat::forVersion`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace jet {

// ---- Little-endian ----

inline uint8_t getU8(const uint8_t* p) {
    return p[0];
}
inline uint16_t getU16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
inline uint32_t getU24(const uint8_t* p) {
    return uint32_t(p[0] | (p[1] << 8) | (p[2] << 16));
}
inline uint32_t getU32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t getU64(const uint8_t* p) {
    return uint64_t(getU32(p)) | (uint64_t(getU32(p + 4)) << 32);
}
inline int16_t getI16(const uint8_t* p) {
    return int16_t(getU16(p));
}
inline int32_t getI32(const uint8_t* p) {
    return int32_t(getU32(p));
}
inline int64_t getI64(const uint8_t* p) {
    return int64_t(getU64(p));
}
inline float getF32(const uint8_t* p) {
    uint32_t bits = getU32(p);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}
inline double getF64(const uint8_t* p) {
    uint64_t bits = getU64(p);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

inline void putU8(uint8_t* p, uint8_t v) {
    p[0] = v;
}
inline void putU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void putU24(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
}
inline void putU32(uint8_t* p, uint32_t v) {
    putU16(p, uint16_t(v));
    putU16(p + 2, uint16_t(v >> 16));
}
inline void putU64(uint8_t* p, uint64_t v) {
    putU32(p, uint32_t(v));
    putU32(p + 4, uint32_t(v >> 32));
}
inline void putI16(uint8_t* p, int16_t v) {
    putU16(p, uint16_t(v));
}
inline void putI32(uint8_t* p, int32_t v) {
    putU32(p, uint32_t(v));
}
inline void putI64(uint8_t* p, int64_t v) {
    putU64(p, uint64_t(v));
}
inline void putF32(uint8_t* p, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    putU32(p, bits);
}
inline void putF64(uint8_t* p, double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    putU64(p, bits);
}

// ---- Big-endian (index entries only) ----

inline uint32_t getU24BE(const uint8_t* p) {
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | uint32_t(p[2]);
}
inline uint32_t getU32BE(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | getU24BE(p + 1);
}
inline void putU24BE(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 16);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v);
}
inline void putU32BE(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    putU24BE(p + 1, v);
}

// ---- Row pointers: one row byte, then a u24 page, little-endian ----

struct RowPointer {
    uint32_t page = 0;
    uint8_t row = 0;
    bool isNull() const { return page == 0; }
};
inline RowPointer getRowPointer(const uint8_t* p) {
    return RowPointer{getU24(p + 1), p[0]};
}
inline void putRowPointer(uint8_t* p, RowPointer r) {
    p[0] = r.row;
    putU24(p + 1, r.page);
}

// True when [offset, offset + length) lies inside a buffer of `size` bytes (no overflow).
inline bool fits(size_t size, size_t offset, size_t length) {
    return offset <= size && length <= size - offset;
}

// ---- Page types and constant fields ----

namespace page_type {
constexpr uint8_t kHeader = 0x00;
constexpr uint8_t kData = 0x01;
constexpr uint8_t kTableDefinition = 0x02;
constexpr uint8_t kIndexNode = 0x03;
constexpr uint8_t kIndexLeaf = 0x04;
constexpr uint8_t kUsageBitmap = 0x05;
}  // namespace page_type

// Row slot flags in a data page's row offset table.
constexpr uint16_t kRowDeleted = 0x8000;
constexpr uint16_t kRowLookup = 0x4000;  // the row is a pointer to where it really lives
constexpr uint16_t kRowOffsetMask = 0x1FFF;

// The owner field of a long-value data page.
constexpr uint8_t kLvalOwner[4] = {'L', 'V', 'A', 'L'};

// Long-value header (12 bytes in the row).
constexpr size_t kLongValueHeaderSize = 12;
constexpr uint32_t kLongValueLengthMask = 0x3FFFFFFF;
constexpr uint8_t kLongValueInline = 0x80;
constexpr uint8_t kLongValueSingle = 0x40;
constexpr uint8_t kLongValueChain = 0x00;

// Header page (page 0).
namespace header {
constexpr size_t kMagic = 0x00;        // 00 01 00 00
constexpr size_t kFormatName = 0x04;   // "Standard Jet DB\0"
constexpr size_t kVersion = 0x14;      // u32: 0 Jet 3, 1 Jet 4, 2+ ACE
constexpr size_t kMaskedStart = 0x18;  // RC4-masked region
constexpr size_t kMaskedLengthJet4 = 128;
constexpr size_t kMaskedLengthJet3 = 126;
constexpr size_t kCodePage = 0x3C;       // u16
constexpr size_t kEncryptionKey = 0x3E;  // u32
constexpr size_t kPassword = 0x42;       // Jet 4: 40 bytes; Jet 3: 20 bytes
constexpr size_t kPasswordLengthJet4 = 40;
constexpr size_t kPasswordLengthJet3 = 20;
constexpr size_t kSortOrderJet4 = 0x6E;    // u16 LCID
constexpr size_t kSortVersionJet4 = 0x71;  // u8
constexpr size_t kSortOrderJet3 = 0x3A;    // u16 LCID
constexpr size_t kCreationDate = 0x72;     // OLE date (Jet 4)
}  // namespace header

// Offsets that differ between Jet 3 and Jet 4. Table-definition offsets are into the logical
// definition (first page whole, continuation pages without their 8-byte header).
struct JetFormat {
    int version;  // 3 or 4
    uint32_t pageSize;

    // Data pages.
    size_t dataFreeSpace;  // u16
    size_t dataOwner;      // u32 TDEF page, or "LVAL"
    size_t dataRowCount;   // u16
    size_t dataRowTable;   // first u16 slot

    // Table definition.
    size_t tdefNextPage;  // u32 on every TDEF page
    size_t tdefContinuationHeader;
    size_t tdefLength;
    size_t tdefRowCount;
    size_t tdefAutoNumber;
    size_t tdefTableType;
    size_t tdefMaxColumns;
    size_t tdefVarColumns;
    size_t tdefColumnCount;
    size_t tdefLogicalIndexCount;
    size_t tdefRealIndexCount;
    size_t tdefOwnedMap;
    size_t tdefFreeMap;
    size_t tdefRealIndexSlots;  // start of the per-real-index slots
    size_t realIndexSlotSize;

    // Column descriptors.
    size_t columnSize;
    size_t colType;
    size_t colNumber;
    size_t colVarIndex;
    size_t colSortOrder;  // Jet 4: LCID / precision+scale; Jet 3: code page, sort
    size_t colPrecision;
    size_t colScale;
    size_t colFlags;
    size_t colFixedOffset;
    size_t colLength;

    // Index definitions.
    size_t realIndexSize;     // whole real index definition
    size_t realIndexColumns;  // 10 x (u16 column, u8 flags)
    size_t realIndexUsageMap;
    size_t realIndexRoot;
    size_t realIndexFlags;
    size_t logicalIndexSize;
    size_t logicalNumber;
    size_t logicalRealIndex;
    size_t logicalRelatedKind;  // FK side
    size_t logicalRelatedIndex;
    size_t logicalRelatedTable;
    size_t logicalCascadeUpdate;
    size_t logicalCascadeDelete;
    size_t logicalKind;  // 1 primary key, 2 foreign key

    // Index pages.
    size_t indexPrevPage;
    size_t indexNextPage;
    size_t indexTailPage;
    size_t indexPrefixLength;
    size_t indexBitmap;
    size_t indexEntries;

    // Usage maps.
    size_t inlineMapBitmapBytes;    // bitmap bytes of a freshly created inline map row
    size_t referenceMapPageBytes;   // bitmap bytes on a type-0x05 page
    size_t referenceMapPageHeader;  // bytes before the bitmap on a type-0x05 page

    // Long values.
    size_t longValueMaxSingle;  // largest single-row value

    // Bytes of a row's column count and of each var-table entry.
    bool wideRowFields() const { return version >= 4; }

    static const JetFormat& jet3();
    static const JetFormat& jet4();
    static const JetFormat& forVersion(int version) { return version >= 4 ? jet4() : jet3(); }
};

inline const JetFormat& JetFormat::jet4() {
    static const JetFormat f{4, 4096,
                             // data pages
                             2, 4, 12, 14,
                             // tdef
                             4, 8, 8, 16, 20, 40, 41, 43, 45, 47, 51, 55, 59, 63, 12,
                             // columns
                             25, 0, 5, 7, 11, 11, 12, 15, 21, 23,
                             // indexes
                             52, 4, 34, 38, 46, 28, 4, 8, 12, 13, 17, 21, 22, 23,
                             // index pages
                             12, 16, 20, 24, 27, 480,
                             // usage maps
                             64, 4092, 4,
                             // long values
                             4076};
    return f;
}

inline const JetFormat& JetFormat::jet3() {
    static const JetFormat f{3, 2048,
                             // data pages
                             2, 4, 8, 10,
                             // tdef
                             4, 8, 8, 12, 16, 20, 21, 23, 25, 27, 31, 35, 39, 43, 8,
                             // columns
                             18, 0, 1, 3, 9, 11, 12, 13, 14, 16,
                             // indexes
                             39, 0, 30, 34, 38, 20, 0, 4, 8, 9, 13, 17, 18, 19,
                             // index pages
                             8, 12, 16, 20, 22, 248,
                             // usage maps
                             128, 2044, 4,
                             // long values
                             2032};
    return f;
}

}  // namespace jet
