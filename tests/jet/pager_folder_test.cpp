// A database in a read-only folder is refused for writing (its journal and lock file could not
// be made there). POSIX only: Windows marks folders read-only for other reasons and never
// stops writing into them for it.
#include <gtest/gtest.h>

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

}  // namespace
