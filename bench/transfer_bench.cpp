// Full transfers through cmdTransfer_Click, as the window runs them, on sample companies of
// several sizes: wall time, lines per second, peak resident memory, bytes written, time per line
// and its growth from the smallest size, each next to the raw floor (writing and syncing as many
// bytes with plain file I/O on the same disk) and as a ratio to the machine's insert figure: the
// seconds row_write_bench's insert loop (32,767 rows, no memo) takes in this process, measured
// before the first transfer and after every kind. The machine's speed drifts from hour to hour;
// the ratios carry across machines and hours, absolute times do not. Prints a Markdown table and,
// with --out, writes it with the machine's description and the command line.
//
// Run by hand from the build folder:
//   bench/transfer_bench [--sizes 1000,10000,32767] [--kinds employee,calc,pm,pd]
//                        [--full] [--dir DIR] [--out ../bench/RESULTS.md] [--sample PROGRAM]
//                        [--baseline OTHER_BUILD [--rounds N]]
// Companies are generated once per size under DIR (by `veltra-transfer sample`, with --full the
// full load: every employee on file, one line per employee holding every amount) and reused;
// every transfer runs on a fresh copy, in a program of its own (this one, started again with
// --one) so that its peak memory is its own.
//
// With --baseline, OTHER_BUILD is the build folder of another commit (its bench/transfer_bench
// must know --one). Each transfer then runs N times (default 3) in both builds, interleaved
// (this build first in odd rounds, the other first in even ones) on fresh copies; the table gives
// the medians, the speed-up (of the medians, and the median of each round's own ratio, which
// a drift of the machine's speed between rounds does not move), and says whether the four tables
// came out identical (the whole file byte for byte, else each table's rows as mdb-export prints
// them, in order).
//
// With --repeat N (one size, one kind) the transfer runs N times on the same copy instead, and
// each run's file size, peak memory and CPU time are printed: how the file ages.
//   bench/transfer_bench --full --sizes 32767 --kinds calc --repeat 24
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
#include "bench/insert_loop.h"
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

// The --one mode, in the started program: one transfer on `work` as it stands; its figures go
// to `resultFile` as one line of numbers, then the last message.
int runOne(const fs::path& work, int kind, const fs::path& resultFile) {
    const ChildResult result = runTransfer(work, kind);
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    std::ofstream out(resultFile);
    char line[256];
    std::snprintf(line, sizeof line, "%.9f %.9f %ld %lld %lld %ld\n", result.seconds,
                  result.cpuSeconds, result.lines, result.bytesWritten, result.writeCalls,
                  usage.ru_maxrss);
    out << line << result.lastMessage << "\n";
    return out ? 0 : 1;
}

// Runs one transfer on the company in `work` as it stands, in `program` started with --one.
bool runChild(const std::string& program, const fs::path& work, int kind, Row& row) {
    row.sizeBefore = static_cast<long long>(fs::file_size(work / "Melvar.mdb"));
    const fs::path resultFile = work.string() + ".result";
    fs::remove(resultFile);
    const std::string kindText = std::to_string(kind);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(program.c_str(), program.c_str(), "--one", kindText.c_str(), work.c_str(),
                resultFile.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    std::ifstream in(resultFile);
    in >> row.child.seconds >> row.child.cpuSeconds >> row.child.lines >> row.child.bytesWritten >>
        row.child.writeCalls >> row.peakRssKb;
    std::string message;
    in.ignore(1);
    std::getline(in, message);
    if (!in && !in.eof()) return false;
    std::snprintf(row.child.lastMessage, sizeof row.child.lastMessage, "%s", message.c_str());
    fs::remove(resultFile);
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

bool measure(const std::string& program, const fs::path& sample, const fs::path& work, int kind,
             Row& row) {
    copyCompany(sample, work);
    if (!runChild(program, work, kind, row)) return false;
    row.floorSeconds = rawFloor(work, row.child.bytesWritten);
    return true;
}

// The same transfer again and again on one copy, as a company runs it month after month: does
// the file level off, and do memory and time stay flat as it ages?
int repeatTransfers(const std::string& program, const fs::path& sample, const fs::path& work,
                    int kind, int size, int times, const std::string& header, const fs::path& out) {
    copyCompany(sample, work);
    std::ostringstream table;
    table << "| transfer | file MB | growth % | peak RSS MB | cpu s | wall s |\n"
          << "|---:|---:|---:|---:|---:|---:|\n";
    char buf[256];
    for (int i = 1; i <= times; ++i) {
        Row row;
        if (!runChild(program, work, kind, row)) {
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

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The machine's insert figures taken during a run: the yardstick every ratio is taken against.
struct Yardstick {
    fs::path folder;
    std::vector<double> seconds;

    void take() {
        seconds.push_back(bench::insertFigure(folder));
        std::fprintf(stderr, "insert figure: %.3f s\n", seconds.back());
    }
    double figure() const { return median(seconds); }
    std::string describe() const {
        char text[200];
        std::snprintf(text, sizeof text,
                      "insert figure (row_write_bench's insert loop, 32,767 rows, in this run): "
                      "median %.3f s, %.3f to %.3f s over %zu takes",
                      figure(), *std::min_element(seconds.begin(), seconds.end()),
                      *std::max_element(seconds.begin(), seconds.end()), seconds.size());
        return text;
    }
};

std::string table(const std::vector<Row>& rows, double insertFigure) {
    std::ostringstream out;
    out << "| kind | size | lines | x insert | wall s | cpu s | lines/s | us/line | growth | peak "
           "RSS MB | file before MB | file after MB | bytes written MB | write calls | floor s | "
           "x floor | last message |\n";
    out << "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|\n";
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
            "| %s | %d | %ld | %.2f | %.3f | %.3f | %.0f | %.1f | %.2f | %.1f | %.1f | %.1f | "
            "%.1f | %lld | %.3f | %.1f | %s |\n",
            r.kind.c_str(), r.size, r.child.lines,
            insertFigure > 0 ? r.child.seconds / insertFigure : 0, r.child.seconds,
            r.child.cpuSeconds, r.child.seconds > 0 ? r.child.lines / r.child.seconds : 0,
            perLine * 1e6, growth, r.peakRssKb / 1024.0, r.sizeBefore / 1048576.0,
            r.sizeAfter / 1048576.0, r.child.bytesWritten / 1048576.0, r.child.writeCalls,
            r.floorSeconds, r.floorSeconds > 0 ? r.child.seconds / r.floorSeconds : 0,
            message.c_str());
        out << buf;
    }
    return out.str();
}

// --- Against another build -------------------------------------------------------------------

const char* const kTables[] = {"Employee Master", "Data Calc", "Data Master Detail",
                               "Data Variant Detail"};

bool sameBytes(const fs::path& a, const fs::path& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> bx(1 << 16), by(1 << 16);
    while (x && y) {
        x.read(bx.data(), std::streamsize(bx.size()));
        y.read(by.data(), std::streamsize(by.size()));
        if (x.gcount() != y.gcount() ||
            !std::equal(bx.begin(), bx.begin() + x.gcount(), by.begin()))
            return false;
    }
    return !x && !y;
}

// One table as mdb-export prints it, into `out`; false when mdb-export fails.
bool exportTable(const fs::path& file, const char* table, const fs::path& out, bool sorted) {
    const std::string command = "mdb-export '" + file.string() + "' '" + table + "'" +
                                (sorted ? " | LC_ALL=C sort" : "") + " > '" + out.string() + "'";
    return std::system(command.c_str()) == 0;
}

// Whether the four tables of two results are the same: "same file", "same tables", "same rows,
// other order" or what differs.
std::string compareResults(const fs::path& ours, const fs::path& theirs, const fs::path& scratch) {
    if (sameBytes(ours, theirs)) return "same file";
    std::string verdict = "same tables";
    for (const char* table : kTables) {
        const fs::path a = scratch / "ours.csv", b = scratch / "theirs.csv";
        if (!exportTable(ours, table, a, false) || !exportTable(theirs, table, b, false))
            return std::string("mdb-export failed on ") + table;
        if (sameBytes(a, b)) continue;
        if (!exportTable(ours, table, a, true) || !exportTable(theirs, table, b, true))
            return std::string("mdb-export failed on ") + table;
        if (!sameBytes(a, b)) return std::string("DIFFERENT: ") + table;
        verdict = "same rows, other order";
    }
    return verdict;
}

struct Comparison {
    std::string kind;
    int size = 0;
    long lines = 0;
    std::vector<double> ours, theirs;        // wall seconds
    std::vector<double> oursCpu, theirsCpu;  // user + system seconds
    long oursRssKb = 0, theirsRssKb = 0;
    std::string tables;
};

std::string comparisonTable(const std::vector<Comparison>& rows, double insertFigure) {
    std::ostringstream out;
    out << "| kind | size | lines | speed-up | speed-up, paired | speed-up, cpu | x insert | "
           "x insert, baseline | s | "
           "s, baseline | cpu s | cpu s, baseline | spread s | spread s, baseline | peak RSS MB | "
           "peak RSS MB, baseline | tables |\n"
        << "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|\n";
    char buf[1024];
    for (const Comparison& c : rows) {
        const double ours = median(c.ours), theirs = median(c.theirs);
        const double oursCpu = median(c.oursCpu), theirsCpu = median(c.theirsCpu);
        // Each round's own ratio, the two builds run back to back: a drift of the machine's
        // speed between rounds cancels out.
        std::vector<double> paired;
        for (size_t r = 0; r < std::min(c.ours.size(), c.theirs.size()); ++r)
            if (c.ours[r] > 0) paired.push_back(c.theirs[r] / c.ours[r]);
        auto spread = [](const std::vector<double>& v) {
            return *std::max_element(v.begin(), v.end()) - *std::min_element(v.begin(), v.end());
        };
        std::snprintf(buf, sizeof buf,
                      "| %s | %d | %ld | %.2f | %.2f | %.2f | %.2f | %.2f | %.3f | %.3f | %.3f | "
                      "%.3f | %.3f | %.3f | %.1f | %.1f | %s |\n",
                      c.kind.c_str(), c.size, c.lines, ours > 0 ? theirs / ours : 0,
                      paired.empty() ? 0 : median(paired), oursCpu > 0 ? theirsCpu / oursCpu : 0,
                      ours / insertFigure, theirs / insertFigure, ours, theirs, oursCpu, theirsCpu,
                      spread(c.ours), spread(c.theirs), c.oursRssKb / 1024.0,
                      c.theirsRssKb / 1024.0, c.tables.c_str());
        out << buf;
    }
    return out.str();
}

// Every transfer `rounds` times in both builds, interleaved on fresh copies.
bool compareBuilds(const std::string& ours, const std::string& theirs, const fs::path& sample,
                   const fs::path& dir, int kind, int size, int rounds, Comparison& result) {
    result.kind = kKindNames[kind];
    result.size = size;
    const fs::path oursWork = dir / "run-ours", theirsWork = dir / "run-baseline";
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool oursNow = (turn == 0) == (round % 2 == 0);
            Row row;
            const fs::path& work = oursNow ? oursWork : theirsWork;
            if (!measure(oursNow ? ours : theirs, sample, work, kind, row)) {
                std::fprintf(stderr, "%s, %d employees: the transfer of %s did not finish\n",
                             kKindNames[kind], size, oursNow ? "this build" : "the baseline");
                return false;
            }
            std::fprintf(stderr, "%s %d round %d %s: %.3f s, %.1f MB\n", kKindNames[kind], size,
                         round + 1, oursNow ? "ours    " : "baseline", row.child.seconds,
                         row.peakRssKb / 1024.0);
            (oursNow ? result.ours : result.theirs).push_back(row.child.seconds);
            (oursNow ? result.oursCpu : result.theirsCpu).push_back(row.child.cpuSeconds);
            long& rss = oursNow ? result.oursRssKb : result.theirsRssKb;
            rss = std::max(rss, row.peakRssKb);
            if (oursNow) result.lines = row.child.lines;
        }
        if (round == 0) {
            result.tables = compareResults(oursWork / "Melvar.mdb", theirsWork / "Melvar.mdb", dir);
            std::fprintf(stderr, "%s %d: %s\n", kKindNames[kind], size, result.tables.c_str());
        }
    }
    return true;
}

std::string commitOf(const fs::path& build) {
    const std::string command = "git -C '" + build.string() +
                                "/..' rev-parse --short HEAD 2>/dev/null; git -C '" +
                                build.string() +
                                "/..' status --porcelain --untracked-files=no "
                                "2>/dev/null | grep -q . && echo '(modified)'";
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buf[128];
        while (std::fgets(buf, sizeof buf, pipe)) text += buf;
        ::pclose(pipe);
    }
    for (char& c : text) {
        if (c == '\n') c = ' ';
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text.empty() ? "unknown" : text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--one") {
        return runOne(argv[3], std::atoi(argv[2]), argv[4]);
    }
    std::vector<int> sizes = {1000, 10000};
    std::vector<int> kinds = {0, 1, 2, 3};
    fs::path dir = fs::temp_directory_path() / "transfer-bench";
    fs::path out;
    fs::path self = fs::absolute(argv[0]);
    std::string sampleProgram = (self.parent_path().parent_path() / "app" / "veltra-transfer");
    fs::path baseline;
    std::string commandLine;
    bool full = false;
    int repeat = 0;
    int rounds = 3;
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
        } else if (arg == "--baseline" && hasValue) {
            baseline = fs::absolute(argv[++i]);
        } else if (arg == "--rounds" && hasValue) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--full") {
            full = true;
        } else if (arg == "--sample" && hasValue) {
            sampleProgram = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: transfer_bench [--sizes N,N] [--kinds employee,calc,pm,pd] "
                         "[--full] [--dir DIR] [--out FILE] [--sample PROGRAM] [--repeat N] "
                         "[--baseline OTHER_BUILD [--rounds N]]\n");
            return 2;
        }
    }
    const std::string description = machine();
    const fs::path buildFolder = self.parent_path().parent_path();
    const std::string ourCommit = commitOf(buildFolder);
    auto samplePath = [&](int size) {
        return dir / ((full ? "company-full-" : "company-") + std::to_string(size));
    };
    for (int size : sizes) {
        if (!makeSample(sampleProgram, samplePath(size), size, full)) {
            std::fprintf(stderr, "could not generate the sample in %s\n", samplePath(size).c_str());
            return 1;
        }
    }
    if (repeat > 0) {
        if (sizes.size() != 1 || kinds.size() != 1) {
            std::fprintf(stderr, "--repeat takes one size and one kind\n");
            return 2;
        }
        return repeatTransfers(self.string(), samplePath(sizes[0]), dir / "run", kinds[0], sizes[0],
                               repeat,
                               "# Repeated transfers\n\nMachine: " + description +
                                   ".\n\nCommand: `" + commandLine + "`\n\n",
                               out);
    }

    Yardstick yardstick{dir / "yardstick", {}};
    yardstick.take();
    std::string result;
    if (!baseline.empty()) {
        const std::string theirs = (baseline / "bench" / "transfer_bench").string();
        std::vector<Comparison> rows;
        for (int kind : kinds) {
            for (int size : sizes) {
                Comparison row;
                if (!compareBuilds(self.string(), theirs, samplePath(size), dir, kind, size, rounds,
                                   row))
                    return 1;
                rows.push_back(row);
            }
            yardstick.take();
        }
        fs::remove_all(dir / "run-ours");
        fs::remove_all(dir / "run-baseline");
        result = "This build: commit " + ourCommit + "; baseline: commit " + commitOf(baseline) +
                 " (" + baseline.string() + "). Medians of " + std::to_string(rounds) +
                 " rounds; " + yardstick.describe() + ".\n\n" +
                 comparisonTable(rows, yardstick.figure());
    } else {
        std::vector<Row> rows;
        for (int kind : kinds) {
            for (int size : sizes) {
                Row row;
                row.kind = kKindNames[kind];
                row.size = size;
                if (!measure(self.string(), samplePath(size), dir / "run", kind, row)) {
                    std::fprintf(stderr, "%s, %d employees: the transfer did not finish\n",
                                 kKindNames[kind], size);
                    return 1;
                }
                std::fprintf(stderr, "%s %d: %.3f s\n", kKindNames[kind], size, row.child.seconds);
                rows.push_back(row);
            }
            yardstick.take();
        }
        fs::remove_all(dir / "run");
        result = "Commit " + ourCommit + "; " + yardstick.describe() + ".\n\n" +
                 table(rows, yardstick.figure());
    }
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
