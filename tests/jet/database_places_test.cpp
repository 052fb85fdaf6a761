// Where a database may lie and what may stand in its place: a folder named like a database, a
// path longer than the classic 260-character limit, a share that cannot be reached. Each either
// works as anywhere else or is refused with a clear error, and nothing is left beside it.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "jet/error.h"
#include "jet/file.h"
#include "jet/pager.h"
#include "jet/path_text.h"
#include "support/error_number.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using jet::ErrorCode;
using jet::OpenMode;
using jet::Pager;
using testing_support::errorNumberOf;
using testing_support::TempDir;

TEST(DatabasePlaces, AFolderNamedLikeADatabaseIsRefused) {
    TempDir dir;
    const fs::path folder = dir / "Melvar.mdb";
    fs::create_directory(folder);
    for (OpenMode mode : {OpenMode::ReadOnly, OpenMode::ReadWrite}) {
        std::string message;
        EXPECT_EQ(errorNumberOf<jet::Error>([&] { Pager::open(folder, mode); }, &message),
                  ErrorCode::NotADatabase);
        EXPECT_NE(message.find("is a folder, not a database"), std::string::npos) << message;
    }
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_FALSE(fs::exists(dir / "Melvar.ldb"));
}

// Every step of a commit (lock file, journal, pages, removal) works at a path past 260
// characters, in folders with Thai names.
TEST(DatabasePlaces, APathLongerThan260CharactersWorks) {
    TempDir dir;
    fs::path folder = dir.path();
    // Characters, not bytes: what the limit counts.
    auto length = [](const fs::path& path) {
        size_t n = 0;
        for (char c : jet::utf8FromPath(path)) n += (uint8_t(c) & 0xC0) != 0x80;
        return n;
    };
    while (length(folder) < 300) {
        folder /= jet::pathFromUtf8(
            "\xE0\xB8\x9A\xE0\xB8\xA3\xE0\xB8\xB4\xE0\xB8\xA9\xE0\xB8\xB1"
            "\xE0\xB8\x97 company payroll folder");
    }
    fs::create_directories(folder);
    const fs::path db = folder / "Melvar.mdb";
    ASSERT_GT(length(db), 260u);
    {
        const std::string bytes =
            testing_support::readFile(testing_support::fixturePath("testV2000.mdb"));
        jet::File file = jet::File::open(db, jet::FileMode::CreateNew, "cannot make the copy");
        file.writeAt(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 0);
    }
    {
        auto pager = Pager::open(db, OpenMode::ReadWrite);
        pager->begin();
        std::memset(pager->write(3) + 200, 0x5A, 16);
        pager->commit();
    }
    EXPECT_EQ((*Pager::open(db, OpenMode::ReadOnly)->read(3))[207], 0x5A);
    EXPECT_FALSE(fs::exists(fs::path(db.native() + fs::path(".jnl").native())));
    EXPECT_FALSE(fs::exists(folder / "Melvar.ldb"));
}

// A share that cannot be reached is a database that is not there: nothing is written.
TEST(DatabasePlaces, AnUnreachableShareIsNotFound) {
    const fs::path db = jet::pathFromUtf8("\\\\veltra-no-such-server\\payroll\\Melvar.mdb");
    for (OpenMode mode : {OpenMode::ReadOnly, OpenMode::ReadWrite}) {
        std::string message;
        EXPECT_EQ(errorNumberOf<jet::Error>([&] { Pager::open(db, mode); }, &message),
                  ErrorCode::NotFound);
        EXPECT_NE(message.find("no such database file"), std::string::npos) << message;
    }
}

}  // namespace
