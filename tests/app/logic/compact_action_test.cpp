// What the window asks and says around a compact of the payroll database.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/logic/compact_action.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;

TEST(CompactAction, AsksOnlyWhenTheDatabaseIsThereAndNoTransferRuns) {
    TempDir dir;
    const fs::path db = testing_support::copyFixture("testV2000.mdb", dir.path());

    app::CompactQuestion q = app::compactQuestion(db.string(), true);
    EXPECT_FALSE(q.mayCompact);
    EXPECT_NE(q.text.find("transfer is running"), std::string::npos) << q.text;

    q = app::compactQuestion((dir / "missing.mdb").string(), false);
    EXPECT_FALSE(q.mayCompact);
    EXPECT_NE(q.text.find("missing.mdb"), std::string::npos) << q.text;
    EXPECT_FALSE(app::compactQuestion("", false).mayCompact);

    q = app::compactQuestion(db.string(), false);
    EXPECT_TRUE(q.mayCompact);
    EXPECT_NE(q.text.find(db.string()), std::string::npos) << q.text;
    EXPECT_NE(q.text.find("2.9 MB"), std::string::npos) << q.text;
}

TEST(CompactAction, TellsTheSizesOrWhyNothingChanged) {
    TempDir dir;
    const fs::path db = testing_support::copyFixture("testUnicodeCompV2003.mdb", dir.path());
    std::vector<std::string> progress;
    app::CompactOutcome done = app::compactPayrollDatabase(
        db.string(), [&](const std::string& l) { progress.push_back(l); });
    EXPECT_TRUE(done.compacted) << done.text;
    EXPECT_FALSE(progress.empty());
    EXPECT_EQ(done.sizeAfter, fs::file_size(db));
    EXPECT_LT(done.sizeAfter, done.sizeBefore);
    EXPECT_NE(done.text.find(app::sizeText(done.sizeBefore)), std::string::npos) << done.text;
    EXPECT_NE(done.text.find(app::sizeText(done.sizeAfter)), std::string::npos) << done.text;

    const fs::path text = dir / "notes.mdb";
    std::ofstream(text) << "not a database";
    app::CompactOutcome refused = app::compactPayrollDatabase(text.string());
    EXPECT_FALSE(refused.compacted);
    EXPECT_NE(refused.text.find("as it was"), std::string::npos) << refused.text;
    EXPECT_EQ(readFile(text), "not a database");
    EXPECT_FALSE(fs::exists(dir / "notes.mdb.bak"));
    EXPECT_FALSE(fs::exists(dir / "notes.mdb.compacting"));

    EXPECT_EQ(app::sizeText(2048), "2 KB");
    EXPECT_EQ(app::sizeText(114720768), "109.4 MB");
}

}  // namespace
