// Helpers every test program shares: temporary folders and the fixture databases.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace testing_support {

// A fresh folder under the system's temporary directory, removed with the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// Every Access-written fixture database, Jet 3 nwind.mdb included.
inline constexpr const char* kAllFixtures[] = {"DateTestDatabase.mdb",
                                               "bigIndexTestV2000.mdb",
                                               "compIndexTestV2000.mdb",
                                               "delColTestV2000.mdb",
                                               "delTestV2000.mdb",
                                               "empty.mdb",
                                               "empty2003.mdb",
                                               "emptyJet4.mdb",
                                               "fixedNumericTestV2000.mdb",
                                               "indexTestV2000.mdb",
                                               "nwind.mdb",
                                               "overflowTestV2000.mdb",
                                               "testPromotionV2000.mdb",
                                               "testUnicodeCompV2003.mdb",
                                               "testV2000.mdb"};

// Path of a fixture database (never to be opened for writing: copy it first).
std::filesystem::path fixturePath(const std::string& name);
// Copies a fixture into `dir` (writable) and returns the copy's path.
std::filesystem::path copyFixture(const std::string& name, const std::filesystem::path& dir);
// Runs a shell command, returns its standard output; `status` receives the exit status.
std::string runCommand(const std::string& command, int* status = nullptr);
// Which of a program's outputs runProgram returns (the other is dropped).
enum class Output { Standard, Errors, Both };
// Runs one of the project's programs (`name` as built: "jetdb") with `args`, no shell between,
// and returns what it wrote; `status` receives the exit status. `input`, when given, is the
// file it reads as its standard input.
std::string runProgram(const std::string& name, const std::vector<std::string>& args,
                       int* status = nullptr, Output output = Output::Standard,
                       const std::filesystem::path& input = {});
// A table of `database` as CSV with a header line, read by a reader other than this process:
// mdb-export (mdbtools) where the system has it, dates and binary fields written as jetdb writes
// them, else `jetdb export`. `status` receives the reader's exit status; what it wrote on
// standard error is part of the result.
std::string exportTable(const std::filesystem::path& database, const std::string& table,
                        int* status = nullptr);
// Keeps this process from opening the file at `path` for reading while the returned holder
// lives: its permissions where they are enforced, a handle that shares nothing on Windows. Null
// where neither works (a POSIX user whose rights ignore permissions, such as root).
std::shared_ptr<void> holdUnreadable(const std::filesystem::path& path);
// Whole contents of a file.
std::string readFile(const std::filesystem::path& path);
// The lines of a text, without their line ends; a last line without one counts too.
std::vector<std::string> splitLines(const std::string& text);
// CSV as jetdb and mdb-export write it (RFC 4180): quotes removed, "" undone, line ends inside
// quotes kept.
std::vector<std::vector<std::string>> parseCsv(const std::string& text);

// Whether this is a CI run: the environment variable CI is set (and not "0" or "false").
bool runningInCi();

}  // namespace testing_support

// Leaves a test that needs what this machine lacks (a program not built, a tool not installed):
// a skip on a developer's machine, a failure in CI, where everything must be there. Takes a
// streamed reason, as GTEST_SKIP() does.
#define SKIP_OR_FAIL_IN_CI()                                                 \
    return GTEST_MESSAGE_("", ::testing_support::runningInCi()               \
                                  ? ::testing::TestPartResult::kFatalFailure \
                                  : ::testing::TestPartResult::kSkip)
