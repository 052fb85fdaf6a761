// Whole-row index maintenance: constraint refusals before writing, and entries that follow
// inserts, updates and deletes (checked with the index check against the rows).

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/index_check.h"
#include "jet/index_page.h"
#include "jet/index_update.h"
#include "jet/pager.h"
#include "support/error_number.h"
#include "support/test_support.h"

namespace {

using testing_support::errorNumberOf;

class TwoIndexes : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = testing_support::copyFixture("emptyJet4.mdb", dir_.path());
        pager_ = jet::Pager::open(path_, jet::OpenMode::ReadWrite);
        pager_->begin();
        // Column 0: Name (Text), column 1: Amount (Long).
        jet::IndexDescriptor byName;
        byName.number = 0;
        byName.name = "ByName";
        byName.flags = 0x80 | jet::kIndexUnique | jet::kIndexRequired;
        byName.columns = {jet::KeyColumn{jet::ColumnType::Text, true, 0, "Name"}};
        jet::IndexDescriptor byAmount;
        byAmount.number = 1;
        byAmount.name = "ByAmount";
        byAmount.flags = 0x80 | jet::kIndexIgnoreNulls;
        byAmount.columns = {jet::KeyColumn{jet::ColumnType::Long, false, 1, "Amount"}};
        for (jet::IndexDescriptor* d : {&byName, &byAmount}) {
            d->tdefPage = 2;
            d->rootPage = pager_->append();
            jet::IndexPage empty;
            empty.tdefPage = 2;
            jet::encodeIndexPage(empty, pager_->write(d->rootPage), jet::JetFormat::jet4());
        }
        indexes_ = {byName, byAmount};
        hooks_.allocatePage = [this](const jet::IndexDescriptor& d) {
            ++allocated_[d.number];
            return pager_->append();
        };
        hooks_.releasePage = [this](const jet::IndexDescriptor& d, uint32_t) {
            ++released_[d.number];
        };
    }

    void insert(jet::RowId id, const jet::Row& row) {
        jet::checkRowAgainstIndexes(*pager_, indexes_, row, std::nullopt, "People");
        for (int n : jet::addRowToIndexes(*pager_, indexes_, row, id, hooks_)) ++uniqueCount_[n];
        rows_[id] = row;
    }

    void expectSound() {
        std::vector<std::pair<jet::RowId, jet::Row>> rows(rows_.begin(), rows_.end());
        for (const auto& index : indexes_) {
            auto problems = jet::checkIndex(*pager_, index, rows, index.name);
            EXPECT_TRUE(problems.empty()) << problems.front();
        }
    }

    testing_support::TempDir dir_;
    std::filesystem::path path_;
    std::shared_ptr<jet::Pager> pager_;
    std::vector<jet::IndexDescriptor> indexes_;
    jet::IndexPageHooks hooks_;
    std::map<jet::RowId, jet::Row> rows_;
    std::map<int, int> allocated_, released_, uniqueCount_;
};

TEST_F(TwoIndexes, RefusalsComeBeforeAnyWrite) {
    insert({10, 0}, {std::string("Apple"), int32_t(5)});
    insert({10, 1}, {std::string("Pear"), jet::Value()});

    auto codeOf = [&](const jet::Row& row, std::optional<jet::RowId> self) {
        std::string message;
        auto code = errorNumberOf<jet::Error>(
            [&] { jet::checkRowAgainstIndexes(*pager_, indexes_, row, self, "People"); }, &message);
        if (code) {
            EXPECT_NE(message.find("ByName"), std::string::npos) << message;
        }
        return code;
    };
    // Case-insensitive and trailing-space-insensitive duplicates.
    EXPECT_EQ(codeOf({std::string("APPLE "), int32_t(1)}, std::nullopt),
              jet::ErrorCode::DuplicateKey);
    // The row itself does not collide with its own entry (an update keeping its key).
    EXPECT_EQ(codeOf({std::string("apple"), int32_t(7)}, jet::RowId{10, 0}), std::nullopt);
    EXPECT_EQ(codeOf({std::string("apple"), int32_t(7)}, jet::RowId{10, 1}),
              jet::ErrorCode::DuplicateKey);
    EXPECT_EQ(codeOf({jet::Value(), int32_t(7)}, std::nullopt), jet::ErrorCode::NullNotAllowed);
    EXPECT_EQ(codeOf({std::string("Plum"), int32_t(7)}, std::nullopt), std::nullopt);

    indexes_[0].columns[0].sortOrder = 0x041E;
    EXPECT_EQ(codeOf({std::string("Plum"), int32_t(7)}, std::nullopt), jet::ErrorCode::Unsupported);
}

TEST_F(TwoIndexes, EntriesFollowInsertsUpdatesAndDeletes) {
    // Enough rows to split both trees several times.
    for (int i = 0; i < 1200; ++i) {
        jet::Value amount = i % 5 == 0 ? jet::Value() : jet::Value(int32_t(i % 37));
        insert({uint32_t(20 + i / 50), uint8_t(i % 50)},
               {std::string("ชื่อ ") + std::to_string(i * 7919 % 1200), amount});
    }
    expectSound();
    EXPECT_EQ(uniqueCount_[0], 1200);
    EXPECT_EQ(uniqueCount_[1], 37);  // distinct non-null amounts
    EXPECT_GT(allocated_[0], 5);

    std::vector<jet::RowId> byAmount = jet::seekIndex(*pager_, indexes_[1], {int32_t(3)});
    EXPECT_FALSE(byAmount.empty());
    for (jet::RowId id : byAmount) EXPECT_EQ(rows_[id][1], jet::Value(int32_t(3)));
    EXPECT_EQ(jet::seekIndex(*pager_, indexes_[1], {}).size(), 960u);

    // Updates: rename, change amount to and from null, keep a key unchanged.
    int n = 0;
    for (auto& [id, row] : rows_) {
        jet::Row after = row;
        if (n % 3 == 0) after[0] = std::string("renamed ") + std::to_string(n);
        if (n % 4 == 0) after[1] = row[1].isNull() ? jet::Value(int32_t(99)) : jet::Value();
        jet::checkRowAgainstIndexes(*pager_, indexes_, after, id, "People");
        jet::updateRowInIndexes(*pager_, indexes_, row, after, id, hooks_);
        row = after;
        ++n;
    }
    expectSound();

    // Delete all but a few rows.
    for (auto it = rows_.begin(); it != rows_.end();) {
        if (it->first.row % 17 == 0 && it->first.page < 23) {
            ++it;
            continue;
        }
        jet::removeRowFromIndexes(*pager_, indexes_, it->second, it->first, hooks_);
        it = rows_.erase(it);
    }
    expectSound();
    EXPECT_GT(released_[0], 0);

    // Removing a row the index never held is reported, naming the index.
    std::string message;
    EXPECT_EQ(errorNumberOf<jet::Error>(
                  [&] {
                      jet::removeRowFromIndexes(*pager_, indexes_,
                                                {std::string("nobody"), int32_t(1)},
                                                jet::RowId{999, 1}, hooks_);
                  },
                  &message),
              jet::ErrorCode::Corrupt)
        << "missing entry not reported";
    EXPECT_NE(message.find("ByName"), std::string::npos);
}

}  // namespace

namespace {

// Rows of a table with their values.
std::vector<std::pair<jet::RowId, jet::Row>> tableRows(jet::TableImpl& table) {
    std::vector<std::pair<jet::RowId, jet::Row>> rows;
    table.scan([&](jet::RowId id, const jet::Row& row) {
        rows.emplace_back(id, row);
        return true;
    });
    return rows;
}

TEST(IndexUpdateOnAccessFiles, EmptyAndRefillEveryIndexOfAccessWrittenTables) {
    size_t refilled = 0;
    for (const char* name : {"compIndexTestV2000.mdb", "testV2000.mdb", "bigIndexTestV2000.mdb",
                             "indexTestV2000.mdb"}) {
        testing_support::TempDir dir;
        auto path = testing_support::copyFixture(name, dir.path());
        {
            auto db = jet::Database::open(path, jet::OpenMode::ReadWrite);
            jet::Pager& pager = db->impl()->pager();
            // The trees are changed below the usage maps, which no one keeps here: the check of
            // debug builds after a commit would find their new pages missing from the maps.
            pager.setCommitObserver({});
            pager.begin();
            for (const std::string& tableName : db->tableNames()) {
                jet::TableImpl& table = db->impl()->table(tableName);
                auto rows = tableRows(table);
                auto indexes = jet::describeIndexes(table);
                for (const auto& [id, row] : rows) {
                    jet::removeRowFromIndexes(pager, indexes, row, id);
                }
                for (const auto& index : indexes) {
                    auto left = jet::seekIndex(pager, index, {});
                    EXPECT_TRUE(left.empty()) << name << " " << tableName << " " << index.name;
                }
                // Back in reverse storage order, so entries land in the middle of pages.
                for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
                    jet::checkRowAgainstIndexes(pager, indexes, it->second, it->first, tableName);
                    jet::addRowToIndexes(pager, indexes, it->second, it->first);
                    ++refilled;
                }
                for (const auto& index : indexes) {
                    auto problems = jet::checkIndex(pager, index, rows, tableName);
                    EXPECT_TRUE(problems.empty()) << name << ": " << problems.front();
                }
            }
            pager.commit();
        }
        // The committed file passes the whole-database check.
        auto db = jet::Database::open(path, jet::OpenMode::ReadOnly);
        auto problems = db->check();
        EXPECT_TRUE(problems.empty()) << name << ": " << problems.front();
    }
    EXPECT_GT(refilled, 100u);
}

}  // namespace
