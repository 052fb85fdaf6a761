// The settings file survives a program killed while it saves: afterwards every value reads as
// either its old or its new text, and nothing else in the file is lost.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "settings/ini_funcs.h"
#include "support/test_support.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;

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

    // Two values of different lengths, so a torn write would show.
    const std::string values[2] = {std::string(300, 'a'), "b"};
    std::mt19937 random(55);
    int kills = 0, saved = 0;
    for (; kills < 40; ++kills) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            for (int i = 0;; ++i) settings::WriteINI(file, "Sample", "txtDir", values[i % 2]);
        }
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<int>(200, 5000)(random)));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);

        const std::string value = settings::ReadINI(file, "Sample", "txtDir", "absent");
        // Values are cut to 254 characters on reading.
        ASSERT_TRUE(value == values[0].substr(0, 254) || value == values[1] ||
                    value == "C:\\in.txt")
            << "kill " << kills << ": txtDir reads \"" << value.substr(0, 40) << "\"";
        ASSERT_EQ(settings::ReadINI(file, "Other", "Kept", "absent"), kept) << "kill " << kills;
        saved += value != "C:\\in.txt";
    }
    EXPECT_GT(saved, 0) << "no save finished before a kill: the test proves nothing";
    // Whatever temporary files the kills left, the settings file itself still saves.
    settings::WriteINI(file, "Sample", "txtDir", "done");
    EXPECT_EQ(settings::ReadINI(file, "Sample", "txtDir", ""), "done");
    EXPECT_EQ(settings::ReadINI(file, "Other", "Kept", "absent"), kept);
}

}  // namespace
}  // namespace reliability
