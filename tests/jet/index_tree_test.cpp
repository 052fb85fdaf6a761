// The index B-tree under change: growth through many splits and back to empty, persistence
// through a commit, sequential appends, and damaged pages that must fail cleanly.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/index_check.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "jet/index_tree.h"
#include "jet/pager.h"
#include "support/error_number.h"
#include "support/test_support.h"

namespace {

using testing_support::errorNumberOf;
using Entry = std::pair<std::vector<uint8_t>, jet::RowId>;

struct EntryLess {
    bool operator()(const Entry& a, const Entry& b) const {
        std::vector<uint8_t> x = a.first, y = b.first;
        jet::appendEntryTrailer(x, a.second);
        jet::appendEntryTrailer(y, b.second);
        return x < y;
    }
};
using Model = std::set<Entry, EntryLess>;

// A writable copy of an Access file with one fresh, empty index root appended to it.
class TreeFixture {
  public:
    TreeFixture() {
        path_ = testing_support::copyFixture("emptyJet4.mdb", dir_.path());
        pager_ = jet::Pager::open(path_, jet::OpenMode::ReadWrite);
        pager_->begin();
        index_.name = "TestIndex";
        index_.tdefPage = 2;
        index_.rootPage = pager_->append();
        jet::IndexPage empty;
        empty.tdefPage = index_.tdefPage;
        jet::encodeIndexPage(empty, pager_->write(index_.rootPage), jet::JetFormat::jet4());
    }

    jet::Pager& pager() { return *pager_; }
    const jet::IndexDescriptor& index() const { return index_; }
    jet::IndexTree tree() { return jet::IndexTree(*pager_, index_); }
    void reopen() {
        pager_->commit();
        pager_.reset();
        pager_ = jet::Pager::open(path_, jet::OpenMode::ReadWrite);
        pager_->begin();
    }

  private:
    testing_support::TempDir dir_;
    std::filesystem::path path_;
    std::shared_ptr<jet::Pager> pager_;
    jet::IndexDescriptor index_;
};

void expectMatches(jet::IndexTree& tree, const Model& model, const std::string& when) {
    std::vector<Entry> got;
    tree.forEach([&](std::span<const uint8_t> key, jet::RowId id) {
        got.emplace_back(std::vector<uint8_t>(key.begin(), key.end()), id);
        return true;
    });
    std::vector<Entry> want(model.begin(), model.end());
    ASSERT_EQ(got.size(), want.size()) << when;
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_TRUE(got[i] == want[i]) << when << ": entry " << i << " differs";
    }
    std::vector<std::string> problems = tree.verifyStructure();
    ASSERT_TRUE(problems.empty()) << when << ": " << problems.front();
}

// Levels of the tree; also checks the tail rule on every intermediate page: two or more children
// means the last one is the tail, a single child is an ordinary entry.
size_t depthAndTails(jet::Pager& pager, uint32_t page) {
    jet::IndexPage node =
        jet::decodeIndexPage(pager.read(page)->data(), jet::JetFormat::jet4(), pager.path(), page);
    if (node.leaf()) return 1;
    if (node.childCount() >= 2) {
        EXPECT_NE(node.tailPage, 0u) << "page " << page;
    } else {
        EXPECT_EQ(node.tailPage, 0u) << "page " << page;
    }
    size_t depth = 0;
    for (size_t i = 0; i < node.childCount(); ++i) {
        depth = std::max(depth, depthAndTails(pager, node.childAt(i)));
        // Intermediate children are linked only among themselves (leaves end to end).
        jet::IndexPage child = jet::decodeIndexPage(pager.read(node.childAt(i))->data(),
                                                    jet::JetFormat::jet4(), pager.path(), 0);
        if (!child.leaf()) {
            EXPECT_EQ(child.prevPage, i == 0 ? 0 : node.childAt(i - 1)) << "page " << page;
            EXPECT_EQ(child.nextPage, i + 1 == node.childCount() ? 0 : node.childAt(i + 1))
                << "page " << page;
        }
    }
    return depth + 1;
}

// Keys of a (Text, Long, Date) index from random values, Thai included.
std::vector<uint8_t> randomKey(std::mt19937& rng) {
    static const std::vector<std::string> words = {"สมชาย",  "สมหญิง",   "กนกวรรณ", "Ärger",
                                                   "zebra",  "Apple",   "apple ",  "ข้าว",
                                                   "Müller", "O'Brien", "",        "เงินเดือน"};
    std::string text = words[rng() % words.size()];
    for (int n = int(rng() % 120); n > 0; --n) text.push_back(char('a' + rng() % 26));
    jet::IndexKey key;
    jet::appendKeySegment(key, jet::ColumnType::Text, true,
                          rng() % 20 ? jet::Value(text) : jet::Value());
    jet::appendKeySegment(key, jet::ColumnType::Long, rng() % 2,
                          jet::Value(int32_t(rng() % 2000) - 1000));
    jet::appendKeySegment(key, jet::ColumnType::DateTime, true,
                          jet::Value(jet::DateTime{double(rng() % 50000) / 7.0}));
    return key;
}

TEST(IndexTreeMaintenance, RandomKeysGrowThroughSplitsAndShrinkToEmpty) {
    TreeFixture f;
    jet::IndexTree tree = f.tree();
    std::mt19937 rng(12345);
    Model model;
    const int inserts = 2500;
    for (int i = 0; i < inserts; ++i) {
        std::vector<uint8_t> key = randomKey(rng);
        // A few keys repeat on other rows: duplicates order by row id.
        if (i % 10 == 9 && !model.empty())
            key = std::next(model.begin(), long(rng() % model.size()))->first;
        jet::RowId id{uint32_t(100 + rng() % 5000), uint8_t(rng() % 200)};
        bool existed =
            std::any_of(model.begin(), model.end(), [&](const Entry& e) { return e.first == key; });
        bool inserted = model.emplace(key, id).second;
        bool fresh = tree.insert(key, id);
        if (inserted) {
            EXPECT_EQ(fresh, !existed) << "insert " << i;
        }
        EXPECT_TRUE(tree.containsKey(key));
        if (i % 97 == 0) expectMatches(tree, model, "after insert " + std::to_string(i));
    }
    expectMatches(tree, model, "after all inserts");
    const uint32_t grownPages = f.pager().pageCount();
    EXPECT_GT(grownPages, 60u);
    EXPECT_GE(depthAndTails(f.pager(), f.index().rootPage), 3u);

    // Seek by the leading text segment of an existing key.
    const Entry& probe = *std::next(model.begin(), long(model.size() / 2));
    std::vector<jet::RowId> want;
    for (const Entry& e : model) {
        if (e.first == probe.first) want.push_back(e.second);
    }
    EXPECT_EQ(tree.seekPrefix(probe.first), want);

    f.reopen();
    jet::IndexTree reopened = f.tree();
    expectMatches(reopened, model, "after commit and reopen");

    std::vector<Entry> order(model.begin(), model.end());
    std::shuffle(order.begin(), order.end(), rng);
    for (size_t i = 0; i < order.size(); ++i) {
        ASSERT_TRUE(reopened.remove(order[i].first, order[i].second)) << "remove " << i;
        EXPECT_FALSE(reopened.remove(order[i].first, order[i].second));
        model.erase(order[i]);
        if (i % 89 == 0) {
            expectMatches(reopened, model, "after remove " + std::to_string(i));
            depthAndTails(f.pager(), f.index().rootPage);
        }
    }
    expectMatches(reopened, model, "after removing everything");
    jet::PageRef root = f.pager().read(f.index().rootPage);
    EXPECT_EQ((*root)[0], jet::page_type::kIndexLeaf);
    EXPECT_EQ(jet::getU16(root->data() + 2), 3616);
}

// Entries removed together, leaf by leaf, leave every page as removing them one at a time in the
// same order does: through leaves emptied (a long run), leaves merged (every third entry of a
// stretch) and scattered single entries; entries not in the index are passed over.
TEST(IndexTreeMaintenance, RemovingSortedEntriesTogetherEqualsOneByOne) {
    TreeFixture one, together;
    jet::IndexTree a = one.tree(), b = together.tree();
    std::mt19937 rng(777);
    Model model;
    for (int i = 0; i < 2500; ++i) {
        const std::vector<uint8_t> key = randomKey(rng);
        const jet::RowId id{uint32_t(100 + rng() % 5000), uint8_t(rng() % 200)};
        if (!model.emplace(key, id).second) continue;
        a.insert(key, id);
        b.insert(key, id);
    }
    std::vector<Entry> all(model.begin(), model.end());
    std::vector<Entry> gone(all.begin() + 200, all.begin() + 900);
    for (size_t i = 1000; i < 1800; i += 3) gone.push_back(all[i]);
    for (size_t i = 1900; i < all.size(); i += 37) gone.push_back(all[i]);
    std::sort(gone.begin(), gone.end(), EntryLess());

    std::vector<std::vector<uint8_t>> entries;
    for (const Entry& e : gone) {
        ASSERT_TRUE(a.remove(e.first, e.second));
        model.erase(e);
        entries.push_back(e.first);
        jet::appendEntryTrailer(entries.back(), e.second);
    }
    // Absent entries: one before everything, one among the removed, one after everything.
    std::vector<uint8_t> among = entries[300];
    among.push_back(0x01);
    entries.push_back(std::vector<uint8_t>{0x00});
    entries.push_back(among);
    entries.push_back(std::vector<uint8_t>(300, 0xFF));
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(b.removeSorted(entries), gone.size());

    expectMatches(b, model, "after removing together");
    // Pages the tree let go of keep whatever they last held; the tree's own pages are equal.
    std::vector<uint32_t> pages, pagesTogether;
    ASSERT_TRUE(a.verifyStructure(&pages).empty());
    ASSERT_TRUE(b.verifyStructure(&pagesTogether).empty());
    std::sort(pages.begin(), pages.end());
    std::sort(pagesTogether.begin(), pagesTogether.end());
    ASSERT_EQ(pages, pagesTogether);
    for (uint32_t page : pages) {
        ASSERT_TRUE(*one.pager().read(page) == *together.pager().read(page)) << "page " << page;
    }
}

TEST(IndexTreeMaintenance, AppendsInKeyOrderKeepTheTailPath) {
    TreeFixture f;
    jet::IndexTree tree = f.tree();
    Model model;
    for (int32_t n = 1; n <= 3000; ++n) {
        jet::IndexKey key;
        jet::appendKeySegment(key, jet::ColumnType::Long, true, jet::Value(n));
        jet::RowId id{uint32_t(200 + n / 100), uint8_t(n % 100)};
        EXPECT_TRUE(tree.insert(key, id));
        model.emplace(key, id);
    }
    expectMatches(tree, model, "after appends");
    jet::IndexPage root = jet::decodeIndexPage(f.pager().read(f.index().rootPage)->data(),
                                               jet::JetFormat::jet4(), "test", 0);
    EXPECT_FALSE(root.leaf());
    EXPECT_NE(root.tailPage, 0u);
    // Removing the newest entries empties the tail pages one by one.
    for (int32_t n = 3000; n > 1500; --n) {
        jet::IndexKey key;
        jet::appendKeySegment(key, jet::ColumnType::Long, true, jet::Value(n));
        jet::RowId id{uint32_t(200 + n / 100), uint8_t(n % 100)};
        ASSERT_TRUE(tree.remove(key, id));
        model.erase(Entry(key, id));
    }
    expectMatches(tree, model, "after removing the newer half");
    jet::IndexKey tooLong(tree.maxKeySize() + 1, 0x7F);
    EXPECT_EQ(errorNumberOf<jet::Error>([&] {
                  tree.insert(tooLong, jet::RowId{1, 1});
              }),
              jet::ErrorCode::TooLong)
        << "an oversized key was accepted";
}

TEST(IndexTreeMaintenance, LongKeysBuildADeepTreeAndTearItDown) {
    // Keys near the size limit leave a handful of entries per page: many levels quickly.
    TreeFixture f;
    jet::IndexTree tree = f.tree();
    std::mt19937 rng(4242);
    Model model;
    for (int i = 0; i < 400; ++i) {
        std::vector<uint8_t> key(tree.maxKeySize() - rng() % 64);
        key[0] = 0x7F;
        for (size_t k = 1; k < key.size(); ++k) key[k] = uint8_t(rng() % 3 + 0x41);
        jet::RowId id{uint32_t(300 + i), 0};
        tree.insert(key, id);
        model.emplace(key, id);
        if (i % 25 == 0) expectMatches(tree, model, "after insert " + std::to_string(i));
    }
    expectMatches(tree, model, "after all inserts");
    EXPECT_GE(depthAndTails(f.pager(), f.index().rootPage), 5u);
    std::vector<Entry> order(model.begin(), model.end());
    std::shuffle(order.begin(), order.end(), rng);
    for (size_t i = 0; i < order.size(); ++i) {
        ASSERT_TRUE(tree.remove(order[i].first, order[i].second));
        model.erase(order[i]);
        if (i % 25 == 0) {
            expectMatches(tree, model, "after remove " + std::to_string(i));
            depthAndTails(f.pager(), f.index().rootPage);
        }
    }
    expectMatches(tree, model, "after removing everything");
}

// ---- Damaged pages ----

jet::IndexDescriptor firstIndexWithEntries(jet::Database& db, std::string* table) {
    for (const std::string& name : db.tableNames()) {
        for (const jet::IndexDescriptor& d : jet::describeIndexes(db.impl()->table(name))) {
            jet::IndexTree tree(db.impl()->pager(), d);
            size_t n = 0;
            tree.forEach([&](std::span<const uint8_t>, jet::RowId) { return ++n < 3; });
            if (n >= 3) {
                *table = name;
                return d;
            }
        }
    }
    throw std::runtime_error("no index with entries");
}

// A changed page written back over its old bytes, rewriting only the entries after those that
// did not change, must give exactly the bytes of a whole new encoding: after inserts, removals
// and replacements anywhere, with the shared prefix kept, shrunk or grown, on leaf and
// intermediate pages, starting from pages Access wrote and from our own.
TEST(IndexPageEncoding, RewritingTheChangedTailGivesTheWholeEncoding) {
    const jet::JetFormat& f = jet::JetFormat::jet4();
    std::mt19937 random(5);
    auto randomEntry = [&](const jet::IndexPage& page) {
        std::vector<uint8_t> e = {0x7F, 0x41, 0x42};  // a shared lead, as text keys have
        const size_t extra = 1 + random() % 12;
        for (size_t k = 0; k < extra; ++k)
            e.push_back(uint8_t(random() % 6 == 0 ? 0x50 : random()));
        if (random() % 9 == 0) e[1] = uint8_t(random());  // now and then a shorter prefix
        jet::appendEntryTrailer(e, jet::RowId{uint32_t(100 + random() % 50), uint8_t(random())});
        if (!page.leaf()) e.insert(e.end(), {0, 0, 1, uint8_t(random())});  // the child
        return e;
    };
    auto check = [&](jet::IndexPage page, std::vector<uint8_t> bytes) {
        for (int round = 0; round < 300; ++round) {
            const int edits = 1 + int(random() % 3);
            for (int k = 0; k < edits; ++k) {
                const size_t n = page.count();
                const unsigned what = random() % 3;
                if (what == 0 || n < 2) {
                    jet::IndexPage probe = page;
                    probe.insert(n ? random() % (n + 1) : 0, randomEntry(page));
                    if (jet::fitsOnPage(probe, f)) page = probe;
                } else if (what == 1) {
                    page.erase(random() % n);
                } else {
                    page.replace(random() % n, randomEntry(page));
                    if (!jet::fitsOnPage(page, f)) page.erase(0);
                }
            }
            std::vector<uint8_t> whole(f.pageSize, 0xEE);
            jet::encodeIndexPage(page, whole.data(), f);
            jet::encodeIndexPageChanges(page, bytes.data(), f);
            ASSERT_EQ(bytes, whole) << "round " << round;
            page.markEncoded();
        }
    };

    for (uint8_t type : {jet::page_type::kIndexLeaf, jet::page_type::kIndexNode}) {
        jet::IndexPage page;
        page.type = type;
        page.tdefPage = 2;
        page.tailPage = type == jet::page_type::kIndexNode ? 9 : 0;
        std::vector<uint8_t> bytes(f.pageSize);
        jet::encodeIndexPage(page, bytes.data(), f);
        check(page, bytes);
    }
    // Leaf pages of an index Access wrote, decoded and changed in place.
    testing_support::TempDir dir;
    auto pager = jet::Pager::open(testing_support::copyFixture("testV2000.mdb", dir.path()),
                                  jet::OpenMode::ReadOnly);
    int leaves = 0;
    for (uint32_t n = 1; n < pager->pageCount() && leaves < 8; ++n) {
        jet::PageRef ref = pager->read(n);
        if ((*ref)[0] != jet::page_type::kIndexLeaf) continue;
        std::vector<uint8_t> bytes(ref->begin(), ref->end());
        check(jet::decodeIndexPage(bytes.data(), f, "testV2000.mdb", n), bytes);
        ++leaves;
    }
    EXPECT_GT(leaves, 0);
}

TEST(IndexTreeDamage, BrokenPagesAreCorruptErrorsNamingTheFile) {
    testing_support::TempDir dir;
    auto path = testing_support::copyFixture("compIndexTestV2000.mdb", dir.path());
    struct Mutation {
        const char* what;
        std::function<void(uint8_t* page, uint32_t pageNumber)> apply;
    };
    const jet::JetFormat& f = jet::JetFormat::jet4();
    std::vector<Mutation> mutations = {
        {"wrong page type", [](uint8_t* p, uint32_t) { p[0] = 0x01; }},
        {"leaf chain loops",
         [&](uint8_t* p, uint32_t n) {
             if (p[0] == jet::page_type::kIndexLeaf)
                 jet::putU32(p + f.indexNextPage, n);
             else
                 jet::putU32(p + f.indexTailPage, n);
         }},
        {"child out of range",
         [&](uint8_t* p, uint32_t) {
             jet::putU32(p + f.indexNextPage, 0x7FFFFFF0);
             jet::putU32(p + f.indexTailPage, 0x7FFFFFF0);
         }},
        {"prefix longer than entry",
         [&](uint8_t* p, uint32_t) { jet::putU16(p + f.indexPrefixLength, 4000); }},
        {"bitmap runs past the page",
         [&](uint8_t* p, uint32_t) {
             std::memset(p + f.indexBitmap, 0, f.indexEntries - f.indexBitmap);
             p[f.indexEntries - 1] = 0x80;
         }},
        {"bitmap marks one-byte entries",
         [&](uint8_t* p, uint32_t) { std::memset(p + f.indexBitmap, 0xFF, 4); }},
    };
    for (const Mutation& m : mutations) {
        auto db = jet::Database::open(path, jet::OpenMode::ReadOnly);
        std::string table;
        jet::IndexDescriptor d = firstIndexWithEntries(*db, &table);
        db.reset();
        // Damage the root page on a fresh copy through the engine's own pager.
        auto copy = dir / (std::string("m") + std::to_string(&m - mutations.data()) + ".mdb");
        std::filesystem::copy_file(path, copy);
        {
            auto pager = jet::Pager::open(copy, jet::OpenMode::ReadWrite);
            pager->begin();
            m.apply(pager->write(d.rootPage), d.rootPage);
            pager->commit();
        }
        auto damaged = jet::Pager::open(copy, jet::OpenMode::ReadOnly);
        jet::IndexTree tree(*damaged, d);
        // Either reading fails, or the structure check reports the damage.
        try {
            size_t visited = 0;
            tree.forEach([&](std::span<const uint8_t>, jet::RowId) { return ++visited < 100000; });
            tree.seekPrefix(std::vector<uint8_t>{0x7F});
            EXPECT_FALSE(tree.verifyStructure().empty()) << m.what << ": not detected";
        } catch (const jet::Error& e) {
            EXPECT_EQ(e.code(), jet::ErrorCode::Corrupt) << m.what;
            EXPECT_NE(std::string(e.what()).find(copy.filename().string()), std::string::npos)
                << m.what << ": " << e.what();
        }
    }
}

TEST(IndexTreeDamage, RandomPageBytesDecodeOrFailCleanly) {
    std::mt19937 rng(99);
    const jet::JetFormat& f = jet::JetFormat::jet4();
    size_t decoded = 0, refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> page(f.pageSize, 0);
        page[0] = round % 2 ? jet::page_type::kIndexLeaf : jet::page_type::kIndexNode;
        // Sparse random bitmaps and prefixes, random entry bytes.
        for (size_t i = f.indexBitmap; i < f.indexEntries; ++i) {
            if (rng() % 16 == 0) page[i] = uint8_t(rng());
        }
        jet::putU16(page.data() + f.indexPrefixLength, uint16_t(rng() % 3 ? rng() % 8 : rng()));
        for (size_t i = f.indexEntries; i < page.size(); ++i) page[i] = uint8_t(rng());
        try {
            jet::IndexPage p = jet::decodeIndexPage(page.data(), f, "random.mdb", 7);
            for (size_t i = 0; i < p.count(); ++i) {
                EXPECT_GE(p.entry(i).size(), p.trailerSize() + 1);
            }
            ++decoded;
        } catch (const jet::Error& e) {
            EXPECT_EQ(e.code(), jet::ErrorCode::Corrupt);
            ++refused;
        }
    }
    EXPECT_GT(decoded, 0u);
    EXPECT_GT(refused, 0u);
}

TEST(IndexCheck, ReportsWrongKeysMissingAndForeignRows) {
    auto db = jet::Database::open(testing_support::fixturePath("testUnicodeCompV2003.mdb"),
                                  jet::OpenMode::ReadOnly);
    std::string table;
    jet::IndexDescriptor d = firstIndexWithEntries(*db, &table);
    std::vector<std::pair<jet::RowId, jet::Row>> rows;
    db->impl()->table(table).scan([&](jet::RowId id, const jet::Row& row) {
        rows.emplace_back(id, row);
        return true;
    });
    ASSERT_TRUE(jet::checkIndex(db->impl()->pager(), d, rows, "t").empty());

    auto join = [](const std::vector<std::string>& v) {
        std::string s;
        for (const auto& x : v) s += x + "\n";
        return s;
    };
    // A row the index does not know, a row missing from the table, a changed value.
    auto extra = rows;
    extra.emplace_back(jet::RowId{9999, 1}, rows.front().second);
    std::string problems = join(jet::checkIndex(db->impl()->pager(), d, extra, "t"));
    EXPECT_NE(problems.find("row 9999:1 has no entry"), std::string::npos) << problems;

    auto fewer = std::vector(rows.begin() + 1, rows.end());
    problems = join(jet::checkIndex(db->impl()->pager(), d, fewer, "t"));
    EXPECT_NE(problems.find("not a live row"), std::string::npos) << problems;

    auto changed = rows;
    const jet::KeyColumn& c = d.columns.front();
    jet::Value& v = changed.front().second[size_t(c.rowPosition)];
    if (v.is<std::string>())
        v = jet::Value(v.as<std::string>() + "x");
    else if (v.is<int32_t>())
        v = jet::Value(int32_t(v.as<int32_t>() + 1000001));
    else
        v = jet::Value();
    problems = join(jet::checkIndex(db->impl()->pager(), d, changed, "t"));
    EXPECT_NE(problems.find("expected"), std::string::npos) << problems;
}

}  // namespace
