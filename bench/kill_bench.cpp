// Kills whole transfers of the real program inside their commit, at the full load, and tells how
// other programs see the database file before this program opens it again: as before the
// transfer, as after it, or torn (mdb-export or the engine's check fails on it, or it reads
// neither as before nor as after). Then recovers it with `jetdb recover` and checks that the
// file is before or after, and that recovery never changed a file other programs saw whole.
//
// Run by hand from the build folder:
//   bench/kill_bench [--employees 10000] [--kills 15] [--max-ms 400] [--dir DIR]
// Each kill waits for the journal to appear, then a random 0 to max-ms milliseconds (a benchmark
// may wait for a time; the tests wait for evidence), so kills spread over the commit's steps.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kKindNames[] = {"employee", "calc", "pm", "pd"};
const char* const kInputFiles[] = {"EmployeeMaster.txt", "DataCalc.txt", "DataMasterDetail.txt",
                                   "DataVariantDetail.txt"};
const char* const kTables[] = {"Employee Master", "Data Calc", "Data Master Detail",
                               "Data Variant Detail"};

fs::path gBuild;

std::string quote(const fs::path& p) {
    return "'" + p.string() + "'";
}

// Runs a shell command; returns its standard output, `status` its exit status.
std::string run(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    const int rc = ::pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : 128;
    return out;
}

// A digest of what a reader sees in every payroll table, or empty when the file is unreadable
// by mdb-export or fails the engine's check.
std::string seen(const fs::path& db) {
    int status = 0;
    run(quote(gBuild / "jetdb") + " check " + quote(db) + " >/dev/null 2>&1", &status);
    if (status != 0) return {};
    std::string all;
    for (const char* table : kTables) {
        const std::string dump =
            run("mdb-export " + quote(db) + " '" + table + "' 2>/dev/null", &status);
        if (status != 0) return {};
        all += std::to_string(std::hash<std::string>{}(dump)) + ";";
    }
    return all;
}

// What other programs see now: the file alone, copied without its journal.
std::string seenByOthers(const fs::path& db, const fs::path& scratch) {
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    fs::copy_file(db, scratch / db.filename());
    return seen(scratch / db.filename());
}

std::vector<std::string> transferArgs(const fs::path& work, int kind) {
    return {(gBuild / "app" / "veltra-transfer").string(),
            "transfer",
            "--kind",
            kKindNames[kind],
            "--text",
            (work / kInputFiles[kind]).string(),
            "--db",
            (work / "Melvar.mdb").string(),
            "--separator",
            ",",
            "--program-folder",
            work.string()};
}

// Runs the program; once `journal` appears, waits `delay` and kills it. Returns true when it
// was killed before it ended.
bool runAndKill(const std::vector<std::string>& args, const fs::path& journal,
                std::chrono::microseconds delay) {
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
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (fs::exists(journal)) {
            std::this_thread::sleep_for(delay);
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return WIFSIGNALED(status);
        }
    }
    return false;
}

void copyFolder(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::create_directories(to);
    for (const auto& e : fs::directory_iterator(from))
        fs::copy_file(e.path(), to / e.path().filename());
}

}  // namespace

int main(int argc, char** argv) {
    int employees = 10000, kills = 15, maxMs = 400;
    fs::path dir = fs::temp_directory_path() / "veltra-kill-bench";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--employees")
            employees = std::atoi(argv[i + 1]);
        else if (option == "--kills")
            kills = std::atoi(argv[i + 1]);
        else if (option == "--max-ms")
            maxMs = std::atoi(argv[i + 1]);
        else if (option == "--dir")
            dir = argv[i + 1];
    }
    gBuild = fs::canonical(fs::path(argv[0]).parent_path() / "..");
    const fs::path sample = dir / ("full-" + std::to_string(employees));
    if (!fs::exists(sample / "Melvar.mdb")) {
        fs::remove_all(sample);
        int status = 0;
        run(quote(gBuild / "app" / "veltra-transfer") + " sample " + quote(sample) +
                " --employees " + std::to_string(employees) + " --seed 1 --full >/dev/null",
            &status);
        if (status != 0) return 1;
    }
    const fs::path work = dir / "work";
    const fs::path db = work / "Melvar.mdb";
    const fs::path journal = db.string() + ".jnl";
    std::mt19937 random(2026);
    std::printf(
        "| kind | kills in the commit | others saw before | others saw after | others saw "
        "torn | recovery played back | recovery kept the finished commit | nothing to do "
        "| set aside | before/after once recovered | recovery changed a file others saw "
        "whole |\n|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (int kind = 0; kind < 4; ++kind) {
        copyFolder(sample, work);
        const std::string before = seen(db);
        int status = 0;
        run(
            [&] {
                std::string c;
                for (const auto& a : transferArgs(work, kind)) c += quote(a) + " ";
                return c + ">/dev/null 2>&1";
            }(),
            &status);
        const std::string after = seen(db);
        int landed = 0, others[3] = {}, played = 0, kept = 0, nothing = 0, aside = 0, whole = 0,
            changed = 0;
        for (int k = 0; k < kills; ++k) {
            copyFolder(sample, work);
            const auto delay = std::chrono::microseconds(
                std::uniform_int_distribution<int>(0, maxMs * 1000)(random));
            if (!runAndKill(transferArgs(work, kind), journal, delay) || !fs::exists(journal))
                continue;  // ended first, or died before its journal: not inside the commit
            ++landed;
            const std::string now = seenByOthers(db, dir / "others");
            const int state = now.empty() ? 2 : now == before ? 0 : now == after ? 1 : 2;
            ++others[state];
            const std::string said = run(quote(gBuild / "jetdb") + " recover " + quote(db));
            if (said.find("played back") != std::string::npos)
                ++played;
            else if (said.find("written whole") != std::string::npos)
                ++kept;
            else if (said.find("had not touched") != std::string::npos)
                ++nothing;
            else if (said.find("does not belong") != std::string::npos)
                ++aside;
            const std::string ours = seen(db);
            if (ours == before || ours == after) ++whole;
            if (state != 2 && ours != now) ++changed;
        }
        std::printf("| %s | %d | %d | %d | %d | %d | %d | %d | %d | %d | %d |\n", kKindNames[kind],
                    landed, others[0], others[1], others[2], played, kept, nothing, aside, whole,
                    changed);
        std::fflush(stdout);
    }
    return 0;
}
