// Whole transfers through the command-line program, killed at random moments or fed hostile
// input files: the payroll database is afterwards exactly as before or as after a finished
// transfer, passes the index check, and mdb-export reads every table. Skipped while the program
// is not built.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "jet/database.h"
#include "support/test_support.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;

const fs::path kProgram = fs::path(VELTRA_BINARY_DIR) / "app" / "veltra-transfer";

struct Kind {
    const char* option;
    const char* input;
};
const Kind kKinds[] = {{"employee", "EmployeeMaster.txt"},
                       {"calc", "DataCalc.txt"},
                       {"pm", "DataMasterDetail.txt"},
                       {"pd", "DataVariantDetail.txt"}};

std::string quote(const fs::path& path) {
    return "'" + path.string() + "'";
}

// Every user table as mdb-export shows it; empty when the file is unsound (the failure is
// recorded).
std::string dumpAndAudit(const fs::path& db) {
    std::vector<std::string> tables;
    {
        auto database = jet::Database::open(db, jet::OpenMode::ReadWrite);  // restores a journal
        tables = database->tableNames();
        const auto problems = database->check();
        EXPECT_TRUE(problems.empty()) << db << ": " << (problems.empty() ? "" : problems[0]);
    }
    std::string dump;
    for (const auto& table : tables) {
        int status = 0;
        dump += testing_support::runCommand("mdb-export " + quote(db) + " '" + table + "' 2>&1",
                                            &status);
        EXPECT_EQ(status, 0) << "mdb-export cannot read table " << table << " of " << db;
    }
    return dump;
}

class TransferTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(kProgram)) SKIP_OR_FAIL_IN_CI() << kProgram << " is not built";
        int status = 0;
        const std::string out = testing_support::runCommand(
            quote(kProgram) + " sample " + quote(dir_.path()) + " --employees 150 2>&1", &status);
        ASSERT_EQ(status, 0) << out;
        db_ = dir_ / "Melvar.mdb";
        pristine_ = dir_ / "pristine.mdb";
        fs::copy_file(db_, pristine_);
    }

    std::vector<std::string> transferArgs(const Kind& kind, const fs::path& text) const {
        return {kProgram.string(),
                "transfer",
                "--kind",
                kind.option,
                "--text",
                text.string(),
                "--db",
                db_.string(),
                "--separator",
                ",",
                "--program-folder",
                dir_.path().string()};
    }

    // Runs the program; kills it after `killAfter` unless negative. Returns the wait status.
    static int run(const std::vector<std::string>& args, int killAfterMicros = -1) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::vector<char*> argv;
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            const int devnull = ::open("/dev/null", O_WRONLY);
            ::dup2(devnull, 1);
            ::dup2(devnull, 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        if (killAfterMicros >= 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(killAfterMicros));
            ::kill(pid, SIGKILL);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return status;
    }

    void restorePristine() {
        fs::remove(db_);
        fs::remove(db_.string() + ".jnl");
        fs::copy_file(pristine_, db_);
    }

    testing_support::TempDir dir_;
    fs::path db_, pristine_;
};

TEST_F(TransferTest, AKilledTransferLeavesTheDatabaseBeforeOrAfterIt) {
    std::mt19937 random(13);
    const std::string before = dumpAndAudit(db_);
    int kills = 0;
    for (const Kind& kind : kKinds) {
        restorePristine();
        const int status = run(transferArgs(kind, dir_ / kind.input));
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << kind.option;
        const std::string after = dumpAndAudit(db_);

        for (int round = 0; round < 6; ++round, ++kills) {
            restorePristine();
            run(transferArgs(kind, dir_ / kind.input),
                std::uniform_int_distribution<int>(0, 300000)(random));
            const std::string now = dumpAndAudit(db_);
            EXPECT_TRUE(now == before || now == after)
                << kind.option << ": a kill left a state between before and after";
        }
    }
    std::printf("[ reliability ] %d transfers killed, the database intact\n", kills);
}

TEST_F(TransferTest, HostileInputFilesNeverCrashOrDamage) {
    std::vector<std::pair<std::string, std::string>> inputs;
    inputs.push_back({"empty", ""});
    std::mt19937 random(7);
    std::string noise(64 * 1024, '\0');
    for (char& c : noise) c = static_cast<char>(random() & 0xFF);
    inputs.push_back({"binary", noise});
    std::string high;
    for (int b = 0x80; b <= 0xFF; ++b) high += static_cast<char>(b);
    inputs.push_back({"undefined bytes", high + "," + high + "," + high + "\r\n"});
    inputs.push_back({"one 50 MB line", std::string(50 * 1024 * 1024, '9')});
    std::string many;
    for (int i = 1; i <= 40000; ++i) many += "X" + std::to_string(i) + ",1,2,3\r\n";
    inputs.push_back({"40,000 lines", many});

    int tried = 0;
    for (const Kind& kind : kKinds) {
        for (const auto& [name, bytes] : inputs) {
            restorePristine();
            const fs::path text = dir_ / "hostile.txt";
            {
                std::ofstream out(text, std::ios::binary);
                out << bytes;
            }
            const int status = run(transferArgs(kind, text));
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 2)
                << kind.option << ", " << name << ": status " << status;
            dumpAndAudit(db_);
            ++tried;
        }
    }
    std::printf("[ reliability ] %d hostile input files transferred, none harmful\n", tried);
}

}  // namespace
}  // namespace reliability
