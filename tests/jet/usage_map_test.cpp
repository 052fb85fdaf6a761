// Reading usage maps of both forms from hand-built pages, and refusing broken ones.
#include <gtest/gtest.h>

#include "jet/coding.h"
#include "jet/error.h"
#include "jet/pager.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"
#include "support/error_number.h"
#include "support/test_support.h"

namespace {

using testing_support::errorNumberOf;
using testing_support::TempDir;

// Puts `rows` on data page `page` (owner 0), packed from the end as Access does.
void writeMapPage(jet::Pager& pager, uint32_t page, const std::vector<std::vector<uint8_t>>& rows) {
    uint8_t* p = pager.write(page);
    p[0] = jet::page_type::kData;
    p[1] = 0x01;
    jet::putU16(p + 12, uint16_t(rows.size()));
    uint16_t end = 4096;
    for (size_t i = 0; i < rows.size(); ++i) {
        uint16_t start = uint16_t(end - rows[i].size());
        std::copy(rows[i].begin(), rows[i].end(), p + start);
        jet::putU16(p + 14 + 2 * i, start);
        end = start;
    }
}

class UsageMapRead : public testing::Test {
  protected:
    void SetUp() override {
        pager_ = jet::Pager::create(dir_ / "maps.mdb", 4096);
        pager_->begin();
        for (int i = 0; i < 8; ++i) pager_->append();
    }
    // Page 3 row 0, inline: start page 736, bits for 736, 745 and 1247 (the last bit of a
    // 64-byte bitmap). Row 1, reference: bitmap pages 5 and 6 cover pages 0..32735 and
    // 32736..65471 (0 = not allocated); pages 10, 32736 and 65471 are set.
    void writeSampleMaps() {
        std::vector<uint8_t> inlineRow(69, 0);
        jet::putU32(&inlineRow[1], 736);
        inlineRow[5] = 0x01;
        inlineRow[6] = 0x02;
        inlineRow[68] = 0x80;
        std::vector<uint8_t> referenceRow(69, 0);
        referenceRow[0] = 0x01;
        jet::putU32(&referenceRow[1], 5);
        jet::putU32(&referenceRow[5], 6);
        writeMapPage(*pager_, 3, {inlineRow, referenceRow});
        for (uint32_t page : {5u, 6u}) {
            uint8_t* p = pager_->write(page);
            p[0] = jet::page_type::kUsageBitmap;
            p[1] = 0x01;
        }
        pager_->write(5)[4 + 1] = 0x04;     // page 10
        pager_->write(6)[4] = 0x01;         // page 32736
        pager_->write(6)[4 + 4091] = 0x80;  // page 32736 + 32735
    }
    jet::UsageMap read(uint32_t page, uint8_t row) {
        return jet::UsageMap::read(*pager_, jet::JetFormat::jet4(), jet::RowPointer{page, row},
                                   "maps.mdb");
    }
    TempDir dir_;
    std::shared_ptr<jet::Pager> pager_;
};

TEST_F(UsageMapRead, InlineAndReferenceForms) {
    writeSampleMaps();
    jet::UsageMap a = read(3, 0);
    EXPECT_EQ(a.type(), jet::UsageMap::kInline);
    EXPECT_EQ(a.startPage(), 736u);
    EXPECT_EQ(a.bitmapBytes(), 64u);
    EXPECT_EQ(a.pages(), (std::vector<uint32_t>{736, 745, 1247}));
    EXPECT_TRUE(a.contains(745));
    EXPECT_FALSE(a.contains(744));

    jet::UsageMap b = read(3, 1);
    EXPECT_EQ(b.type(), jet::UsageMap::kReference);
    EXPECT_EQ(b.pages(), (std::vector<uint32_t>{10, 32736, 65471}));
    EXPECT_EQ(b.bitmapPages().size(), 17u);
    EXPECT_EQ(b.location().row, 1);
}

// Setting a bit to what it already is asks for no writable page (under a savepoint that would
// copy the page for nothing); a real change still writes.
TEST_F(UsageMapRead, SettingABitAsItIsLeavesThePageAlone) {
    writeSampleMaps();
    const jet::JetFormat& f = jet::JetFormat::jet4();
    const jet::RowPointer inlineMap{3, 0}, referenceMap{3, 1};
    pager_->savepoint();
    const uint64_t mapPage = pager_->version(3), bitmapPage = pager_->version(5);
    jet::addPageToMap(*pager_, f, inlineMap, 745, "maps.mdb");
    jet::removePageFromMap(*pager_, f, inlineMap, 744, "maps.mdb");
    jet::removePageFromMap(*pager_, f, inlineMap, 5000, "maps.mdb");  // outside its pages
    jet::addPageToMap(*pager_, f, referenceMap, 10, "maps.mdb");
    jet::removePageFromMap(*pager_, f, referenceMap, 11, "maps.mdb");
    jet::removePageFromMap(*pager_, f, referenceMap, 70000, "maps.mdb");  // no bitmap page
    EXPECT_EQ(pager_->version(3), mapPage);
    EXPECT_EQ(pager_->version(5), bitmapPage);

    jet::addPageToMap(*pager_, f, inlineMap, 744, "maps.mdb");
    EXPECT_NE(pager_->version(3), mapPage);
    jet::removePageFromMap(*pager_, f, referenceMap, 10, "maps.mdb");
    EXPECT_NE(pager_->version(5), bitmapPage);
    EXPECT_EQ(read(3, 0).pages(), (std::vector<uint32_t>{736, 744, 745, 1247}));
    EXPECT_EQ(read(3, 1).pages(), (std::vector<uint32_t>{32736, 65471}));
}

TEST_F(UsageMapRead, BrokenMapsAreCorrupt) {
    std::vector<uint8_t> badType(69, 0);
    badType[0] = 0x07;
    std::vector<uint8_t> toData(69, 0);  // a reference to a page that is not a bitmap page
    toData[0] = 0x01;
    jet::putU32(&toData[1], 3);
    std::vector<uint8_t> pastEnd(69, 0);
    pastEnd[0] = 0x01;
    jet::putU32(&pastEnd[1], 999);
    writeMapPage(*pager_, 3, {badType, toData, pastEnd, {0x00, 1}});
    for (uint8_t row : {0, 1, 2, 3, 9}) {
        SCOPED_TRACE(int(row));
        std::string message;
        EXPECT_EQ(errorNumberOf<jet::Error>([&] { read(3, row); }, &message),
                  jet::ErrorCode::Corrupt);
        EXPECT_NE(message.find("maps.mdb"), std::string::npos);
    }
    EXPECT_THROW(read(0, 0), jet::Error);  // page 0 is never a map
    EXPECT_THROW(read(77, 0), jet::Error);
}

}  // namespace
