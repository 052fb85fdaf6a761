// Full transfers through cmdTransfer_Click, as the window runs them, on sample companies of
// several sizes: wall time, lines per second, peak resident memory, bytes written, time per line
// and its growth from the smallest size, each next to the raw floor (writing and syncing as many
// bytes with plain file I/O on the same disk). Prints a Markdown table and, with --out, writes
// it with the machine's description and the command line.
//
// Run by hand from the build folder:
//   bench/transfer_bench [--sizes 1000,10000,32767] [--kinds employee,calc,pm,pd]
//                        [--full] [--dir DIR] [--out ../bench/RESULTS.md] [--sample PROGRAM]
// Companies are generated once per size under DIR (by `veltra-transfer sample`, with --full the
// full load: every employee on file, one line per employee holding every amount) and reused;
// every transfer runs on a fresh copy, in a child process so that its peak memory is its own.
//
// With --repeat N (one size, one kind) the transfer runs N times on the same copy instead, and
// each run's file size, peak memory and CPU time are printed: how the file ages.
//   bench/transfer_bench --full --sizes 32767 --kinds calc --repeat 24
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/logic/transfer_command.h"
#include "bench/silent_window.h"
#include "data_sources/data_sources.h"
#include "report/console_error_report.h"
#include "report/report_error.h"

namespace fs = std::filesystem;

namespace {

const char* const kKindNames[] = {"employee", "calc", "pm", "pd"};
const char* const kInputFiles[] = {"EmployeeMaster.txt", "DataCalc.txt", "DataMasterDetail.txt",
                                   "DataVariantDetail.txt"};

double cpuSeconds() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Counters of /proc/self/io: bytes handed to write calls and the number of those calls.
struct IoCounters {
    long long wchar = 0;
    long long syscw = 0;
};

IoCounters readIo() {
    IoCounters io;
    std::ifstream in("/proc/self/io");
    std::string key;
    long long value;
    while (in >> key >> value) {
        if (key == "wchar:") io.wchar = value;
        if (key == "syscw:") io.syscw = value;
    }
    return io;
}

// What a child reports back through its pipe.
struct ChildResult {
    double seconds = 0;
    double cpuSeconds = 0;  // user + system: the machine is shared, wall time is rough
    long lines = 0;
    long long bytesWritten = 0;
    long long writeCalls = 0;
    char lastMessage[200] = {};
};

struct Row {
    std::string kind;
    int size = 0;
    ChildResult child;
    long peakRssKb = 0;
    long long sizeBefore = 0, sizeAfter = 0;
    double floorSeconds = 0;
};

jet::DateTime fixedNow() {
    return jet::DateTime{38450.5};
}

// Runs in the child: one whole transfer, as the window's button does.
ChildResult runTransfer(const fs::path& folder, int kind) {
    report::setErrorLogFolder(folder);
    report::registerConsoleErrorReport();
    bench::SilentWindow window;
    form::Form form(window);
    window.form = &form;
    form.now = fixedNow;
    form.globals.ProgramFolder = folder.string();
    form.globals.CurrentCompanyCode = "Sample";
    window.setFieldText(form::Field::CompanyCode, "Sample");
    window.setFieldText(form::Field::TextFile, (folder / kInputFiles[kind]).string());
    window.setFieldText(form::Field::Database, (folder / "Melvar.mdb").string());
    window.setFieldText(form::Field::Delimiter, ",");
    window.setFieldText(form::Field::Year, "2005");
    window.setFieldText(form::Field::Period, "4");
    window.setFieldText(form::Field::BankCode, "");

    ChildResult result;
    const IoCounters before = readIo();
    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    app::cmdTransfer_Click(form, static_cast<int16_t>(kind));
    result.seconds = secondsSince(start);
    result.cpuSeconds = cpuSeconds() - cpuBefore;
    const IoCounters after = readIo();
    result.lines = form.iLineCount;
    result.bytesWritten = after.wchar - before.wchar;
    result.writeCalls = after.syscw - before.syscw;
    std::snprintf(result.lastMessage, sizeof result.lastMessage, "%s", window.lastMessage.c_str());
    return result;
}

// Time to write `bytes` to a new file in `folder` in 64 KiB writes and sync it.
double rawFloor(const fs::path& folder, long long bytes) {
    const fs::path file = folder / "floor.bin";
    std::vector<char> block(64 * 1024, 'x');
    const auto start = std::chrono::steady_clock::now();
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return 0;
    long long left = bytes;
    while (left > 0) {
        const size_t n = static_cast<size_t>(std::min<long long>(left, block.size()));
        if (::write(fd, block.data(), n) != static_cast<ssize_t>(n)) break;
        left -= static_cast<long long>(n);
    }
    ::fsync(fd);
    ::close(fd);
    const double seconds = secondsSince(start);
    fs::remove(file);
    return seconds;
}

bool makeSample(const std::string& program, const fs::path& folder, int size, bool full) {
    if (fs::exists(folder / "Melvar.mdb") && fs::exists(folder / "ImportData.mdb")) return true;
    fs::remove_all(folder);
    const std::string command = "'" + program + "' sample '" + folder.string() + "' --employees " +
                                std::to_string(size) + " --seed 1" + (full ? " --full" : "") +
                                " >/dev/null";
    std::fprintf(stderr, "generating %d employees in %s\n", size, folder.c_str());
    return std::system(command.c_str()) == 0;
}

// Runs one transfer in a child process on the company in `work` as it stands.
bool runChild(const fs::path& work, int kind, Row& row) {
    row.sizeBefore = static_cast<long long>(fs::file_size(work / "Melvar.mdb"));
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return false;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        const ChildResult result = runTransfer(work, kind);
        const ssize_t written = ::write(pipeFds[1], &result, sizeof result);
        ::_exit(written == sizeof result ? 0 : 1);
    }
    ::close(pipeFds[1]);
    const ssize_t got = ::read(pipeFds[0], &row.child, sizeof row.child);
    ::close(pipeFds[0]);
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    if (got != sizeof row.child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    row.peakRssKb = usage.ru_maxrss;
    row.sizeAfter = static_cast<long long>(fs::file_size(work / "Melvar.mdb"));
    return true;
}

void copyCompany(const fs::path& sample, const fs::path& work) {
    fs::remove_all(work);
    fs::create_directories(work);
    for (const auto& entry : fs::directory_iterator(sample)) {
        fs::copy_file(entry.path(), work / entry.path().filename());
    }
}

bool measure(const fs::path& sample, const fs::path& work, int kind, Row& row) {
    copyCompany(sample, work);
    if (!runChild(work, kind, row)) return false;
    row.floorSeconds = rawFloor(work, row.child.bytesWritten);
    return true;
}

// The same transfer again and again on one copy, as a company runs it month after month: does
// the file level off, and do memory and time stay flat as it ages?
int repeatTransfers(const fs::path& sample, const fs::path& work, int kind, int size, int times,
                    const std::string& header, const fs::path& out) {
    copyCompany(sample, work);
    std::ostringstream table;
    table << "| transfer | file MB | growth % | peak RSS MB | cpu s | wall s |\n"
          << "|---:|---:|---:|---:|---:|---:|\n";
    char buf[256];
    for (int i = 1; i <= times; ++i) {
        Row row;
        if (!runChild(work, kind, row)) {
            std::fprintf(stderr, "%s, %d employees: transfer %d did not finish\n", kKindNames[kind],
                         size, i);
            return 1;
        }
        const double growth = row.sizeBefore > 0
                                  ? 100.0 * double(row.sizeAfter - row.sizeBefore) / row.sizeBefore
                                  : 0;
        std::snprintf(buf, sizeof buf, "| %d | %.1f | %.2f | %.1f | %.3f | %.3f |\n", i,
                      row.sizeAfter / 1048576.0, growth, row.peakRssKb / 1024.0,
                      row.child.cpuSeconds, row.child.seconds);
        table << buf;
        std::fputs(buf, stderr);
    }
    fs::remove_all(work);
    std::fputs(table.str().c_str(), stdout);
    if (!out.empty()) {
        std::ofstream file(out);
        file << header << table.str();
    }
    return 0;
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) parts.push_back(part);
    return parts;
}

std::string machine() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line, model = "unknown";
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    double load[3] = {};
    ::getloadavg(load, 3);
    char text[512];
    std::snprintf(text, sizeof text,
                  "%ld logical CPUs (nproc), CPU model \"%s\", load average "
                  "%.2f %.2f %.2f at start",
                  ::sysconf(_SC_NPROCESSORS_ONLN), model.c_str(), load[0], load[1], load[2]);
    return text;
}

std::string table(const std::vector<Row>& rows) {
    std::ostringstream out;
    out << "| kind | size | lines | wall s | cpu s | lines/s | us/line | growth | peak RSS MB | "
           "file "
           "before MB | file after MB | bytes written MB | write calls | floor s | x floor | "
           "last message |\n";
    out << "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|\n";
    std::map<std::string, double> firstPerLine;
    char buf[1024];
    for (const Row& r : rows) {
        const double perLine = r.child.lines ? r.child.seconds / r.child.lines : 0;
        if (!firstPerLine.count(r.kind)) firstPerLine[r.kind] = perLine;
        const double growth = firstPerLine[r.kind] > 0 ? perLine / firstPerLine[r.kind] : 0;
        std::string message = r.child.lastMessage;
        for (char& c : message) {
            if (c == '\n' || c == '\r' || c == '|') c = ' ';
        }
        std::snprintf(
            buf, sizeof buf,
            "| %s | %d | %ld | %.3f | %.3f | %.0f | %.1f | %.2f | %.1f | %.1f | %.1f | %.1f | "
            "%lld | %.3f | %.1f | %s |\n",
            r.kind.c_str(), r.size, r.child.lines, r.child.seconds, r.child.cpuSeconds,
            r.child.seconds > 0 ? r.child.lines / r.child.seconds : 0, perLine * 1e6, growth,
            r.peakRssKb / 1024.0, r.sizeBefore / 1048576.0, r.sizeAfter / 1048576.0,
            r.child.bytesWritten / 1048576.0, r.child.writeCalls, r.floorSeconds,
            r.floorSeconds > 0 ? r.child.seconds / r.floorSeconds : 0, message.c_str());
        out << buf;
    }
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes = {1000, 10000};
    std::vector<int> kinds = {0, 1, 2, 3};
    fs::path dir = fs::temp_directory_path() / "transfer-bench";
    fs::path out;
    fs::path self = fs::absolute(argv[0]);
    std::string sampleProgram = (self.parent_path().parent_path() / "app" / "veltra-transfer");
    std::string commandLine;
    bool full = false;
    int repeat = 0;
    for (int i = 0; i < argc; ++i) commandLine += (i ? " " : "") + std::string(argv[i]);

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--sizes" && hasValue) {
            sizes.clear();
            for (const std::string& s : split(argv[++i])) sizes.push_back(std::atoi(s.c_str()));
        } else if (arg == "--kinds" && hasValue) {
            kinds.clear();
            for (const std::string& s : split(argv[++i])) {
                for (int k = 0; k < 4; ++k) {
                    if (s == kKindNames[k]) kinds.push_back(k);
                }
            }
        } else if (arg == "--dir" && hasValue) {
            dir = argv[++i];
        } else if (arg == "--out" && hasValue) {
            out = argv[++i];
        } else if (arg == "--repeat" && hasValue) {
            repeat = std::atoi(argv[++i]);
        } else if (arg == "--full") {
            full = true;
        } else if (arg == "--sample" && hasValue) {
            sampleProgram = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: transfer_bench [--sizes N,N] [--kinds employee,calc,pm,pd] "
                         "[--full] [--dir DIR] [--out FILE] [--sample PROGRAM] [--repeat N]\n");
            return 2;
        }
    }
    const std::string description = machine();
    if (repeat > 0) {
        if (sizes.size() != 1 || kinds.size() != 1) {
            std::fprintf(stderr, "--repeat takes one size and one kind\n");
            return 2;
        }
        const fs::path sample =
            dir / ((full ? "company-full-" : "company-") + std::to_string(sizes[0]));
        if (!makeSample(sampleProgram, sample, sizes[0], full)) {
            std::fprintf(stderr, "could not generate the sample in %s\n", sample.c_str());
            return 1;
        }
        return repeatTransfers(sample, dir / "run", kinds[0], sizes[0], repeat,
                               "# Repeated transfers\n\nMachine: " + description +
                                   ".\n\nCommand: `" + commandLine + "`\n\n",
                               out);
    }

    std::vector<Row> rows;
    for (int kind : kinds) {
        for (int size : sizes) {
            const fs::path sample =
                dir / ((full ? "company-full-" : "company-") + std::to_string(size));
            if (!makeSample(sampleProgram, sample, size, full)) {
                std::fprintf(stderr, "could not generate the sample in %s\n", sample.c_str());
                return 1;
            }
            Row row;
            row.kind = kKindNames[kind];
            row.size = size;
            if (!measure(sample, dir / "run", kind, row)) {
                std::fprintf(stderr, "%s, %d employees: the transfer did not finish\n",
                             kKindNames[kind], size);
                return 1;
            }
            std::fprintf(stderr, "%s %d: %.3f s\n", kKindNames[kind], size, row.child.seconds);
            rows.push_back(row);
        }
    }
    fs::remove_all(dir / "run");

    const std::string result = table(rows);
    std::fputs(result.c_str(), stdout);
    if (!out.empty()) {
        std::ofstream file(out);
        file << "# Transfer benchmark\n\n"
             << "Machine: " << description << ".\n\n"
             << "Command: `" << commandLine << "`\n\n"
             << result;
    }
    return 0;
}
