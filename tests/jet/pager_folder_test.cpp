// Databases and their folders: a database in a read-only folder is refused for writing (its
// journal and lock file could not be made there), and a name that leads to another file since
// it was opened opens that file. POSIX only: Windows marks folders read-only for other reasons
// and never stops writing into them for it, and keeps a folder holding an open file in place.
#include <gtest/gtest.h>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/pager.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using jet::OpenMode;
using jet::Pager;
using testing_support::copyFixture;
using testing_support::TempDir;

TEST(PagerLocking, ReadOnlyFolderRefusedAtOpen) {
    TempDir dir;
    fs::path sub = dir / "locked";
    fs::create_directory(sub);
    fs::path inner = copyFixture("testV2000.mdb", sub);
    fs::permissions(sub, fs::perms::owner_read | fs::perms::owner_exec);
    try {
        Pager::open(inner, OpenMode::ReadWrite);
        ADD_FAILURE() << "a read-only folder was accepted";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.code(), jet::ErrorCode::ReadOnly);
        EXPECT_NE(std::string(e.what()).find("folder"), std::string::npos);
    }
    EXPECT_TRUE(Pager::open(inner, OpenMode::ReadOnly));
    fs::permissions(sub, fs::perms::owner_all);
}

// Opening a name again is quick when it still leads to the open file; when its folder was
// swapped meanwhile, the name's new file is opened, not the one open under the old folder.
TEST(OpenDatabase, ANameLeadingToAnotherFileSinceOpensThatFile) {
    TempDir dir;
    const fs::path current = dir / "current";
    fs::create_directory(current);
    const fs::path name = copyFixture("testV2000.mdb", current);
    auto first = jet::Database::open(name, OpenMode::ReadOnly);
    EXPECT_EQ(jet::Database::open(name, OpenMode::ReadOnly).get(), first.get());

    fs::create_directory(dir / "next");
    fs::copy_file(fs::path(testing_support::fixturePath("delTestV2000.mdb")),
                  dir / "next" / name.filename());
    fs::rename(current, dir / "earlier");
    fs::rename(dir / "next", current);
    auto second = jet::Database::open(name, OpenMode::ReadOnly);
    EXPECT_NE(second.get(), first.get());
    EXPECT_TRUE(second->hasTable("Table"));  // the other fixture's tables
    EXPECT_FALSE(second->hasTable("Table1"));
    EXPECT_TRUE(first->hasTable("Table1"));
    EXPECT_EQ(jet::Database::open(name, OpenMode::ReadOnly).get(), second.get());
}

}  // namespace
