#include "jet/usage_map.h"

#include <algorithm>

#include "jet/error.h"
#include "jet/pager.h"
#include "jet/row_reader.h"

namespace jet {

namespace {

void collectBits(const uint8_t* bitmap, size_t bytes, uint64_t firstPage,
                 std::vector<uint32_t>& out) {
    for (size_t i = 0; i < bytes; ++i) {
        if (bitmap[i] == 0) continue;
        for (int bit = 0; bit < 8; ++bit) {
            uint64_t page = firstPage + 8 * i + bit;
            if ((bitmap[i] >> bit) & 1 && page <= UINT32_MAX) out.push_back(uint32_t(page));
        }
    }
}

}  // namespace

UsageMap UsageMap::read(Pager& pager, const JetFormat& format, RowPointer where,
                        const std::string& file) {
    auto mapError = [&](const std::string& what) {
        return fileError(ErrorCode::Corrupt, file,
                         "the usage map at page " + std::to_string(where.page) + " row " +
                             std::to_string(where.row) + " " + what);
    };
    if (where.page == 0 || where.page >= pager.pageCount()) throw mapError("is outside the file");
    PageRef ref = pager.read(where.page);
    const uint8_t* page = ref->data();
    if (page[0] != page_type::kData) throw mapError("is not on a data page");
    RowSlot slot = rowSlot(page, format, where.page, where.row, file);
    if (slot.deleted || slot.size() < 1) throw mapError("is missing");
    const uint8_t* row = page + slot.start;

    UsageMap map;
    map.location_ = where;
    map.type_ = row[0];
    if (map.type_ == kInline) {
        if (slot.size() < 5) throw mapError("is too short");
        map.startPage_ = getU32(row + 1);
        map.bitmapBytes_ = slot.size() - 5;
        collectBits(row + 5, map.bitmapBytes_, map.startPage_, map.pages_);
    } else if (map.type_ == kReference) {
        const uint64_t span = uint64_t(format.referenceMapPageBytes) * 8;
        size_t count = (slot.size() - 1) / 4;
        for (size_t k = 0; k < count; ++k) {
            uint32_t bitmapPage = getU32(row + 1 + 4 * k);
            map.bitmapPages_.push_back(bitmapPage);
            if (bitmapPage == 0) continue;
            if (bitmapPage >= pager.pageCount())
                throw mapError("refers to bitmap page " + std::to_string(bitmapPage) +
                               ", outside the file");
            PageRef bits = pager.read(bitmapPage);
            if ((*bits)[0] != page_type::kUsageBitmap)
                throw mapError("refers to page " + std::to_string(bitmapPage) +
                               ", which is not a bitmap page");
            collectBits(bits->data() + format.referenceMapPageHeader, format.referenceMapPageBytes,
                        k * span, map.pages_);
        }
    } else {
        throw mapError("has unknown type " + std::to_string(map.type_));
    }
    return map;
}

bool UsageMap::contains(uint32_t page) const {
    return std::binary_search(pages_.begin(), pages_.end(), page);
}

}  // namespace jet
