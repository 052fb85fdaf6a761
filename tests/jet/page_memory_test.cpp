// Page buffers come from blocks of their own and go back to them: a page still held never shares
// bytes with another, and pages let go of are handed out again instead of taking new blocks.
#include "jet/page_memory.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using jet::PageBuffer;
using jet::page_memory::kPageBytes;

PageBuffer filled(uint32_t mark) {
    PageBuffer page(kPageBytes);
    for (size_t i = 0; i < page.size(); i += 4) std::memcpy(page.data() + i, &mark, 4);
    return page;
}

bool holds(const PageBuffer& page, uint32_t mark) {
    if (page.size() != kPageBytes) return false;
    for (size_t i = 0; i < page.size(); i += 4) {
        uint32_t word = 0;
        std::memcpy(&word, page.data() + i, 4);
        if (word != mark) return false;
    }
    return true;
}

TEST(PageMemory, PagesHeldKeepTheirBytesWhileOthersComeAndGo) {
    std::vector<std::unique_ptr<PageBuffer>> pages;
    std::vector<uint32_t> marks;
    for (uint32_t i = 0; i < 1500; ++i) {  // more than one block
        pages.push_back(std::make_unique<PageBuffer>(filled(i)));
        marks.push_back(i);
    }
    for (size_t i = 0; i < pages.size(); i += 2) pages[i].reset();
    for (size_t i = 0; i < pages.size(); i += 2) {
        pages[i] = std::make_unique<PageBuffer>(filled(uint32_t(100000 + i)));
        marks[i] = uint32_t(100000 + i);
    }
    // Copies, moves and size changes pass between page-sized and other buffers.
    PageBuffer copy = *pages[7];
    PageBuffer moved = std::move(*pages[9]);
    PageBuffer halved = *pages[11];
    halved.resize(kPageBytes / 2);
    halved.resize(kPageBytes);
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i == 9) continue;
        EXPECT_TRUE(holds(*pages[i], marks[i])) << "page " << i;
    }
    EXPECT_TRUE(holds(copy, marks[7]));
    EXPECT_TRUE(holds(moved, marks[9]));
    EXPECT_TRUE(std::equal(halved.begin(), halved.begin() + kPageBytes / 2, pages[11]->begin()));
    EXPECT_TRUE(std::all_of(halved.begin() + kPageBytes / 2, halved.end(),
                            [](uint8_t b) { return b == 0; }));
}

TEST(PageMemory, PagesLetGoOfAreUsedAgainAcrossThreads) {
    const size_t before = jet::page_memory::blockBytes();
    auto churn = [](uint32_t base, bool* intact) {
        std::vector<PageBuffer> held;
        for (uint32_t round = 0; round < 200; ++round) {
            for (uint32_t i = 0; i < 20; ++i) held.push_back(filled(base + round * 20 + i));
            for (uint32_t i = 0; i < 20; ++i) {
                if (!holds(held[i], base + round * 20 + i)) *intact = false;
            }
            held.clear();
        }
    };
    bool intactA = true, intactB = true;
    std::thread a(churn, 0u, &intactA);
    std::thread b(churn, 1u << 24, &intactB);
    a.join();
    b.join();
    EXPECT_TRUE(intactA);
    EXPECT_TRUE(intactB);
    // 8,000 pages taken, never more than 40 held at once: one block is enough for all of them.
    EXPECT_LE(jet::page_memory::blockBytes() - before, jet::page_memory::kBlockBytes);
}

}  // namespace
