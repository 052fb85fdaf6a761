// The settings file survives a program killed while it saves: afterwards every value reads as
// either its old or its new text, and nothing else in the file is lost.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>

#include <gtest/gtest.h>

#include "settings/ini_funcs.h"
#include "support/child_process.h"
#include "support/test_support.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;

const std::string kValues[2] = {std::string(300, 'a'), "b"};

// saveForever FILE: saves the two values in turn, saying "saved" after each save.
VELTRA_CHILD_ROLE(saveForever) {
    for (int i = 0;; ++i) {
        settings::WriteINI(args.at(0), "Sample", "txtDir", kValues[i % 2]);
        std::cout << "saved" << std::endl;
    }
}

TEST(SettingsCrashTest, AKillDuringASaveLeavesOldOrNewValues) {
    testing_support::TempDir dir;
    const std::string file = (dir / "Import.INI").string();
    {
        std::ofstream out(file, std::ios::binary);
        out << "; settings of every company\r\n[Sample]\r\ntxtDir=C:\\in.txt\r\n"
            << "[Other]\r\nKept=\xA1\xA2\xA3 value\r\n";
    }
    const std::string kept = settings::ReadINI(file, "Other", "Kept", "absent");
    ASSERT_NE(kept, "absent");

    // Two values of different lengths, so a torn write would show. The writer tells each save
    // it finished; the kill comes after a few of them, inside a later save, however busy the
    // machine is.
    std::mt19937 random(55);
    int kills = 0;
    for (; kills < 40; ++kills) {
        auto writer = testing_support::ChildProcess::start("saveForever", {file});
        const int saves = std::uniform_int_distribution<int>(1, 4)(random);
        for (int i = 0; i < saves; ++i) ASSERT_EQ(writer.readLine(), "saved") << "kill " << kills;
        writer.kill();
        writer.wait();

        const std::string value = settings::ReadINI(file, "Sample", "txtDir", "absent");
        // Values are cut to 254 characters on reading.
        ASSERT_TRUE(value == kValues[0].substr(0, 254) || value == kValues[1])
            << "kill " << kills << ": txtDir reads \"" << value.substr(0, 40) << "\"";
        ASSERT_EQ(settings::ReadINI(file, "Other", "Kept", "absent"), kept) << "kill " << kills;
    }
    // Whatever temporary files the kills left, the settings file itself still saves.
    settings::WriteINI(file, "Sample", "txtDir", "done");
    EXPECT_EQ(settings::ReadINI(file, "Sample", "txtDir", ""), "done");
    EXPECT_EQ(settings::ReadINI(file, "Other", "Kept", "absent"), kept);
}

}  // namespace
}  // namespace reliability
