// Two programs at one payroll database: while another program holds it open for writing, a
// transfer is refused before it writes anything, and goes ahead once the other has gone.
#include <chrono>
#include <iostream>
#include <thread>

#include <gtest/gtest.h>

#include "jet/database.h"
#include "jet/path_text.h"
#include "support/child_process.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using jet::utf8FromPath;
using testing_support::Output;
using testing_support::runProgram;

// holdDatabase DB: a writer with the database open; says "holding", then waits to be killed.
VELTRA_CHILD_ROLE(holdDatabase) {
    auto db = jet::Database::open(jet::pathFromUtf8(args.at(0)), jet::OpenMode::ReadWrite);
    std::cout << "holding" << std::endl;
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

TEST(SharedDatabase, ATransferIsRefusedWhileAnotherProgramWritesTheDatabase) {
    testing_support::TempDir dir;
    int status = -1;
    const std::string made =
        runProgram("app/veltra-transfer", {"sample", utf8FromPath(dir.path()), "--employees", "20"},
                   &status, Output::Both);
    ASSERT_EQ(status, 0) << made;
    const fs::path db = dir / "Melvar.mdb";
    const std::string before = testing_support::readFile(db);
    const std::vector<std::string> transfer = {"transfer",
                                               "--kind",
                                               "employee",
                                               "--text",
                                               utf8FromPath(dir / "EmployeeMaster.txt"),
                                               "--db",
                                               utf8FromPath(db),
                                               "--separator",
                                               ",",
                                               "--program-folder",
                                               utf8FromPath(dir.path())};
    {
        auto holder = testing_support::ChildProcess::start("holdDatabase", {utf8FromPath(db)});
        ASSERT_EQ(holder.readLine(), "holding");
        const std::string refused =
            runProgram("app/veltra-transfer", transfer, &status, Output::Both);
        EXPECT_NE(status, 0) << refused;
        EXPECT_NE(refused.find("3051"), std::string::npos) << refused;
        EXPECT_NE(refused.find("already opened exclusively"), std::string::npos) << refused;
        EXPECT_TRUE(testing_support::readFile(db) == before) << "the refused transfer wrote";
        holder.kill();
        holder.wait();
    }
    const std::string done = runProgram("app/veltra-transfer", transfer, &status, Output::Both);
    EXPECT_EQ(status, 0) << done;
    EXPECT_FALSE(testing_support::readFile(db) == before);
}

}  // namespace
