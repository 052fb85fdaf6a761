// The settings file survives a program killed while it saves: afterwards every value reads as
// either its old or its new text, and nothing else in the file is lost.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

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

    // Two values of different lengths, so a torn write would show. The writer tells each save
    // it finished through a pipe; the kill comes after a few of them, inside a later save,
    // however busy the machine is.
    const std::string values[2] = {std::string(300, 'a'), "b"};
    std::mt19937 random(55);
    int kills = 0;
    for (; kills < 40; ++kills) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            for (int i = 0;; ++i) {
                settings::WriteINI(file, "Sample", "txtDir", values[i % 2]);
                const char done = 's';
                if (::write(fds[1], &done, 1) != 1) ::_exit(3);
            }
        }
        ::close(fds[1]);
        const int saves = std::uniform_int_distribution<int>(1, 4)(random);
        char done = 0;
        for (int i = 0; i < saves; ++i) ASSERT_EQ(::read(fds[0], &done, 1), 1) << "kill " << kills;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ::close(fds[0]);

        const std::string value = settings::ReadINI(file, "Sample", "txtDir", "absent");
        // Values are cut to 254 characters on reading.
        ASSERT_TRUE(value == values[0].substr(0, 254) || value == values[1])
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
