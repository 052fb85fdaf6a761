// Every index of every Access-written fixture: walked in order, structure checked, and every
// stored key rebuilt byte for byte from the row values.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/index_check.h"
#include "jet/index_tree.h"
#include "support/test_support.h"

namespace {

struct FixtureTotals {
    size_t indexes = 0;
    size_t entries = 0;
    size_t textIndexes = 0;
};

FixtureTotals checkFixture(const std::string& name) {
    FixtureTotals totals;
    auto db = jet::Database::open(testing_support::fixturePath(name), jet::OpenMode::ReadOnly);
    for (const std::string& tableName : db->tableNames(true)) {
        jet::TableImpl& table = db->impl()->table(tableName);
        std::vector<std::string> problems = jet::checkTableIndexes(table);
        for (const std::string& p : problems) ADD_FAILURE() << name << ": " << p;
        for (const jet::IndexDescriptor& index : jet::describeIndexes(table)) {
            ++totals.indexes;
            jet::IndexTree tree(db->impl()->pager(), index);
            tree.forEach([&](std::span<const uint8_t>, jet::RowId) {
                ++totals.entries;
                return true;
            });
            for (const jet::KeyColumn& c : index.columns) {
                if (c.type == jet::ColumnType::Text && index.keysBuildable()) {
                    ++totals.textIndexes;
                    break;
                }
            }
        }
    }
    return totals;
}

TEST(IndexFixtures, TextKeysAccessWroteAreRebuiltExactly) {
    for (const char* name : {"testUnicodeCompV2003.mdb", "testV2000.mdb"}) {
        FixtureTotals t = checkFixture(name);
        EXPECT_GT(t.textIndexes, 0u) << name;
        EXPECT_GT(t.entries, 0u) << name;
    }
}

TEST(IndexFixtures, EveryIndexOfEveryFixtureIsSound) {
    FixtureTotals all;
    for (const char* name :
         {"DateTestDatabase.mdb", "bigIndexTestV2000.mdb", "compIndexTestV2000.mdb",
          "delColTestV2000.mdb", "delTestV2000.mdb", "empty.mdb", "empty2003.mdb", "emptyJet4.mdb",
          "fixedNumericTestV2000.mdb", "indexTestV2000.mdb", "overflowTestV2000.mdb",
          "testPromotionV2000.mdb", "nwind.mdb"}) {
        FixtureTotals t = checkFixture(name);
        all.indexes += t.indexes;
        all.entries += t.entries;
    }
    EXPECT_GT(all.indexes, 100u);
    EXPECT_GT(all.entries, 1000u);
}

TEST(IndexFixtures, SeekFindsRowsByKeyPrefix) {
    // compIndexTestV2000 has the one Access-made intermediate page: seek through it.
    auto db = jet::Database::open(testing_support::fixturePath("compIndexTestV2000.mdb"),
                                  jet::OpenMode::ReadOnly);
    size_t seeks = 0;
    for (const std::string& tableName : db->tableNames()) {
        jet::TableImpl& table = db->impl()->table(tableName);
        for (const jet::IndexDescriptor& index : jet::describeIndexes(table)) {
            jet::IndexTree tree(db->impl()->pager(), index);
            std::vector<std::pair<std::vector<uint8_t>, jet::RowId>> entries;
            tree.forEach([&](std::span<const uint8_t> key, jet::RowId id) {
                entries.emplace_back(std::vector<uint8_t>(key.begin(), key.end()), id);
                return true;
            });
            for (size_t i = 0; i < entries.size(); i += 7) {
                const auto& key = entries[i].first;
                std::vector<jet::RowId> want;
                for (const auto& [k, id] : entries) {
                    if (k == key) want.push_back(id);
                }
                EXPECT_EQ(tree.seekPrefix(key), want) << tableName << " " << index.name;
                EXPECT_TRUE(tree.containsKey(key));
                ++seeks;
            }
            std::vector<uint8_t> absent = {0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
            EXPECT_TRUE(tree.seekPrefix(absent).empty());
            EXPECT_FALSE(tree.containsKey(absent));
        }
    }
    EXPECT_GT(seeks, 10u);
}

}  // namespace
