// The blocked keyset against a plain vector doing the same edits: positions, order searches and
// block splits and merges after thousands of random insertions and removals.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "data/keyset.h"

namespace {

jet::RowId idOf(uint32_t n) {
    return jet::RowId{n / 200 + 1, static_cast<uint8_t>(n % 200)};
}

void expectSame(const data::Keyset& keys, const std::vector<jet::RowId>& model) {
    ASSERT_EQ(keys.size(), static_cast<long>(model.size()));
    EXPECT_EQ(keys.toVector(), model);
    for (long p = 0; p < keys.size(); p += 97) EXPECT_EQ(keys[p], model[static_cast<size_t>(p)]);
}

TEST(Keyset, RandomEditsMatchAVector) {
    std::mt19937 random(7);
    std::vector<jet::RowId> model;
    for (uint32_t n = 0; n < 3000; ++n) model.push_back(idOf(n * 2));
    data::Keyset keys(model);
    expectSame(keys, model);
    for (int step = 0; step < 6000; ++step) {
        const long size = static_cast<long>(model.size());
        switch (random() % 4) {
            case 0: {  // in anywhere, keeping the order
                jet::RowId id = idOf(static_cast<uint32_t>(random() % 20000) * 2 + 1);
                auto at = std::lower_bound(model.begin(), model.end(), id);
                long p = keys.lowerBound(id);
                ASSERT_EQ(p, at - model.begin());
                if (at != model.end() && *at == id) break;
                keys.insert(p, id);
                model.insert(at, id);
                break;
            }
            case 1:  // out anywhere
                if (size > 0) {
                    long p = static_cast<long>(random() % static_cast<unsigned>(size));
                    keys.erase(p);
                    model.erase(model.begin() + p);
                }
                break;
            case 2: {  // out of a run of neighbours, emptying blocks
                for (int k = 0; k < 40 && !model.empty(); ++k) {
                    long p = std::min<long>(static_cast<long>(model.size()) - 1, size / 3);
                    keys.erase(p);
                    model.erase(model.begin() + p);
                }
                break;
            }
            default:  // in at the end
                model.push_back(idOf(40000 + static_cast<uint32_t>(step)));
                keys.push_back(model.back());
        }
        // Positions asked for between changes, here and far from them.
        if (!model.empty()) {
            const size_t p = random() % model.size();
            ASSERT_EQ(keys[static_cast<long>(p)], model[p]) << "step " << step;
        }
        if (step % 500 == 0) expectSame(keys, model);
    }
    expectSame(keys, model);
    EXPECT_TRUE(keys.isSorted());

    // A search limited to the ascending part ahead of an unordered tail.
    const long sorted = keys.size();
    keys.push_back(idOf(1));
    keys.push_back(idOf(0));
    EXPECT_FALSE(keys.isSorted());
    for (long p = 0; p < sorted; p += 131) EXPECT_EQ(keys.lowerBound(keys[p], sorted), p);
    EXPECT_EQ(keys.lowerBound(idOf(99999), sorted), sorted);
    EXPECT_EQ(keys.lowerBound(idOf(0), 0), 0);

    while (!keys.empty()) keys.pop_back();
    EXPECT_EQ(keys.size(), 0);
    keys.insert(0, idOf(5));
    EXPECT_EQ(keys.back(), idOf(5));
}

}  // namespace
