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
#include <functional>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "jet/database.h"
#include "support/test_support.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;

const fs::path kProgram = fs::path(VELTRA_BINARY_DIR) / "app" / "veltra-transfer";
const fs::path kJetdb = fs::path(VELTRA_BINARY_DIR) / "jetdb";

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

// A shell command line running `args` (program first), each argument quoted.
std::string commandLine(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& a : args) line += quote(a) + " ";
    return line;
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

// The user tables as another program sees the file on disk now, before this program opens it
// again: the file alone is read (no journal beside it) by mdb-export and by `jetdb check`.
// Empty when either finds it unreadable.
std::string seenByOthers(const fs::path& db, const fs::path& scratch) {
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    const fs::path copy = scratch / db.filename();
    fs::copy_file(db, copy);
    int status = 0;
    testing_support::runCommand(quote(kJetdb) + " check " + quote(copy) + " >/dev/null 2>&1",
                                &status);
    if (status != 0) return {};
    std::vector<std::string> tables;
    try {
        tables = jet::Database::open(copy, jet::OpenMode::ReadOnly)->tableNames();
    } catch (const jet::Error&) {
        return {};
    }
    std::string dump;
    for (const auto& table : tables) {
        dump += testing_support::runCommand("mdb-export " + quote(copy) + " '" + table + "' 2>&1",
                                            &status);
        if (status != 0) return {};
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

    // Starts the program with its output thrown away.
    static pid_t start(const std::vector<std::string>& args) {
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
        return pid;
    }

    // Runs the program; kills it after `killAfter` unless negative. Returns the wait status.
    static int run(const std::vector<std::string>& args, int killAfterMicros = -1) {
        const pid_t pid = start(args);
        if (killAfterMicros >= 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(killAfterMicros));
            ::kill(pid, SIGKILL);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return status;
    }

    // Runs the program and kills it as soon as `evidence` holds (checked as fast as it can be);
    // returns whether it was killed, or false when it ended first.
    template <typename Evidence>
    static bool runUntil(const std::vector<std::string>& args, Evidence evidence) {
        const pid_t pid = start(args);
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (evidence()) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                return true;
            }
        }
        return false;
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

// Killed inside its commit, a transfer leaves a file that other programs see as before or after
// it, or torn for as long as nobody recovers it; this program's next open never undoes a
// transfer other programs already saw finished, and always ends before or after it.
TEST_F(TransferTest, AKillInsideTheCommitIsSeenTheSameByEveryReader) {
    int seen[3] = {0, 0, 0};  // before, after, torn
    const std::string before = dumpAndAudit(db_);
    const std::vector<const Kind*> kinds = {&kKinds[0], &kKinds[1], &kKinds[2]};
    for (const Kind* kind : kinds) {
        restorePristine();
        ASSERT_EQ(run(transferArgs(*kind, dir_ / kind->input)), 0) << kind->option;
        const std::string after = dumpAndAudit(db_);
        const fs::path journal = db_.string() + ".jnl";
        const uintmax_t size = fs::file_size(pristine_);
        fs::file_time_type written;
        // Evidence of three moments of the commit: its journal appears; the file is first
        // written; the file grows.
        const std::function<bool()> moments[] = {[&] { return fs::exists(journal); },
                                                 [&] {
                                                     std::error_code ec;
                                                     return fs::last_write_time(db_, ec) != written;
                                                 },
                                                 [&] {
                                                     std::error_code ec;
                                                     return fs::file_size(db_, ec) > size;
                                                 }};
        for (const auto& evidence : moments) {
            restorePristine();
            written = fs::last_write_time(db_);
            if (!runUntil(transferArgs(*kind, dir_ / kind->input), evidence)) continue;
            const std::string others = seenByOthers(db_, dir_ / "others");
            const int state = others == before ? 0 : others == after ? 1 : 2;
            ++seen[state];
            const std::string ours = dumpAndAudit(db_);  // recovers
            EXPECT_TRUE(ours == before || ours == after) << kind->option;
            if (state != 2) {
                EXPECT_EQ(ours, others) << kind->option << ": recovery changed a file other "
                                        << "programs saw whole";
            }
        }
    }
    std::printf(
        "[ reliability ] kills inside the commit seen by other programs: %d before, "
        "%d after, %d torn\n",
        seen[0], seen[1], seen[2]);
}

// A clerk restores a backup over a database whose transfer was killed inside its commit: the
// leftover journal must not turn the backup into the crashed file.
TEST_F(TransferTest, ARestoredBackupIsNotRewrittenByALeftoverJournal) {
    const fs::path backup = dir_ / "backup.mdb";
    const fs::path journal = db_.string() + ".jnl";
    const Kind& calc = kKinds[1];
    fs::copy_file(db_, backup);  // the backup, then yesterday's transfer
    ASSERT_EQ(run(transferArgs(calc, dir_ / calc.input)), 0);
    const fs::path yesterday = dir_ / "yesterday.mdb";
    fs::copy_file(db_, yesterday);
    const std::string backupBytes = testing_support::readFile(backup);
    bool left = false;
    for (int attempt = 0; attempt < 20 && !left; ++attempt) {
        fs::remove(journal);
        fs::copy_file(yesterday, db_, fs::copy_options::overwrite_existing);
        // The file is written only after its journal is complete: the first write is the mark.
        const auto written = fs::last_write_time(db_);
        runUntil(transferArgs(calc, dir_ / calc.input), [&] {
            std::error_code ec;
            return fs::last_write_time(db_, ec) != written && !ec;
        });
        left = fs::exists(journal);
    }
    ASSERT_TRUE(left) << "no kill landed inside the commit";
    fs::copy_file(backup, db_, fs::copy_options::overwrite_existing);
    const std::string hot = testing_support::readFile(journal);

    // The transfer program refuses to go on, names both files, and leaves the backup alone.
    int status = 0;
    std::string said = testing_support::runCommand(
        commandLine(transferArgs(calc, dir_ / calc.input)) + "2>&1 >/dev/null", &status);
    EXPECT_EQ(status, 2) << said;
    EXPECT_NE(said.find("does not belong to '" + db_.string() + "'"), std::string::npos) << said;
    EXPECT_EQ(testing_support::readFile(db_), backupBytes);
    EXPECT_TRUE(fs::exists(journal.string() + "-unmatched"));

    // So does every jetdb command, read-only ones included.
    fs::remove(journal.string() + "-unmatched");
    std::ofstream(journal, std::ios::binary) << hot;
    const std::string out = testing_support::runCommand(
        quote(kJetdb) + " export " + quote(db_) + " 'Data Calc' 2>&1 >/dev/null", &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("does not belong to"), std::string::npos) << out;
    EXPECT_EQ(testing_support::readFile(db_), backupBytes);
    EXPECT_FALSE(fs::exists(journal));
    EXPECT_TRUE(fs::exists(journal.string() + "-unmatched"));
    testing_support::runCommand(quote(kJetdb) + " export " + quote(db_) + " 'Data Calc' >/dev/null",
                                &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(testing_support::readFile(db_), backupBytes);
}

// An undo is a commit like any other: killed at any moment of it, the database is afterwards
// exactly as before the undo (the transfer still in it, and undoable again) or as after it.
TEST_F(TransferTest, AKilledUndoLeavesTheDatabaseBeforeOrAfterIt) {
    const std::string before = dumpAndAudit(db_);
    const fs::path journal = db_.string() + ".jnl";
    const std::vector<std::string> undo = {kProgram.string(), "undo", "--db", db_.string()};
    int seen[2] = {0, 0};  // still transferred, undone
    for (const Kind* kind : {&kKinds[0], &kKinds[1]}) {
        uintmax_t size = 0;
        fs::file_time_type written;
        // Evidence of three moments of the undo's commit: its journal appears; the file is
        // first written; the file is cut to its size before the transfer.
        const std::function<bool()> moments[] = {[&] { return fs::exists(journal); },
                                                 [&] {
                                                     std::error_code ec;
                                                     return fs::last_write_time(db_, ec) != written;
                                                 },
                                                 [&] {
                                                     std::error_code ec;
                                                     return fs::file_size(db_, ec) < size;
                                                 }};
        for (const auto& evidence : moments) {
            restorePristine();
            fs::remove_all(db_.string() + ".undo");
            ASSERT_EQ(run(transferArgs(*kind, dir_ / kind->input)), 0) << kind->option;
            const std::string after = dumpAndAudit(db_);
            size = fs::file_size(db_);
            written = fs::last_write_time(db_);
            if (!runUntil(undo, evidence)) continue;
            const std::string now = dumpAndAudit(db_);  // recovers
            ASSERT_TRUE(now == before || now == after) << kind->option;
            ++seen[now == before ? 1 : 0];
            // Whichever it is, undoing (again) ends at the database before the transfer. A kill
            // that came after the undo had also recorded itself leaves nothing to undo.
            int status = 0;
            const std::string said =
                testing_support::runCommand(commandLine(undo) + "2>&1", &status);
            EXPECT_TRUE(status == 0 || (now == before && status == 1 &&
                                        said.find("nothing to undo") != std::string::npos))
                << kind->option << ": " << said;
            EXPECT_EQ(dumpAndAudit(db_), before) << kind->option;
        }
    }
    EXPECT_GT(seen[0] + seen[1], 0) << "no kill landed inside an undo";
    std::printf("[ reliability ] undos killed: %d left the transfer, %d undone\n", seen[0],
                seen[1]);
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
