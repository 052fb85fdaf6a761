// How long other programs can see a half-written payroll database during a transfer: for every
// commit of a whole transfer (run as the window's button runs it), the span from the first write
// of an existing page to the journal's removal, split into writing the changed pages, syncing the
// file and removing the journal. Outside that span the file on disk is whole: before it, the
// database as it was (plus pages past its old end that nothing refers to yet); after it, the
// finished transfer.
//
// Run by hand from the build folder:
//   bench/commit_window_bench [--employees 10000] [--runs 3] [--dir DIR] [--sample PROGRAM]
// The company is generated once under DIR (`veltra-transfer sample --full`, the full load) and
// every transfer runs on a fresh copy, in a child process.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/logic/transfer_command.h"
#include "bench/silent_window.h"
#include "jet/database_impl.h"
#include "jet/pager.h"
#include "report/console_error_report.h"
#include "report/report_error.h"

namespace fs = std::filesystem;

namespace {

const char* const kKindNames[] = {"employee", "calc", "pm", "pd"};
const char* const kInputFiles[] = {"EmployeeMaster.txt", "DataCalc.txt", "DataMasterDetail.txt",
                                   "DataVariantDetail.txt"};

using Clock = std::chrono::steady_clock;

struct Event {
    jet::FaultPoint point;
    uint64_t count;
    Clock::time_point at;
};

// One commit's steps, in milliseconds.
struct CommitTimes {
    long pagesInPlace = 0;
    long pagesAppended = 0;
    double journalMs = 0;  // building, writing and syncing the journal (file still whole)
    double appendMs = 0;   // writing and syncing appended pages (file still whole)
    double writeMs = 0;    // writing the changed pages in place
    double syncMs = 0;     // syncing the file
    double removeMs = 0;   // removing the journal
    double windowMs() const { return writeMs + syncMs + removeMs; }
};

double ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Splits the hook's events of one commit (JournalWrite .. Committed) into its steps. The pager
// writes appended pages and syncs before its pass over the changed pages when there are any, so
// the pass starts after the second-last sync; before that change the pass started at once.
CommitTimes timesOf(const std::vector<Event>& events, long appended) {
    CommitTimes t;
    std::vector<size_t> syncs;
    size_t deleteAt = 0, committedAt = events.size() - 1;
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i].point == jet::FaultPoint::FileSync) syncs.push_back(i);
        if (events[i].point == jet::FaultPoint::JournalDelete) deleteAt = i;
    }
    size_t firstPage = 0;
    while (firstPage < events.size() && events[firstPage].point != jet::FaultPoint::PageWrite)
        ++firstPage;
    if (syncs.empty() || deleteAt == 0 || firstPage == events.size()) return t;
    size_t passStart = firstPage;
    if (syncs.size() >= 2) passStart = syncs[syncs.size() - 2] + 1;
    long pages = 0;
    for (const Event& e : events) pages += e.point == jet::FaultPoint::PageWrite;
    t.pagesAppended = appended;
    t.pagesInPlace = pages - appended;
    t.journalMs = ms(events.front().at, events[firstPage].at);
    t.appendMs = ms(events[firstPage].at, events[passStart].at);
    t.writeMs = ms(events[passStart].at, events[syncs.back()].at);
    t.syncMs = ms(events[syncs.back()].at, events[deleteAt].at);
    t.removeMs = ms(events[deleteAt].at, events[committedAt].at);
    return t;
}

// Runs in the child: one whole transfer; returns the times of its largest commit.
CommitTimes runTransfer(const fs::path& folder, int kind) {
    report::setErrorLogFolder(folder);
    report::registerConsoleErrorReport();
    const fs::path database = folder / "Melvar.mdb";
    auto db = jet::Database::open(database, jet::OpenMode::ReadWrite);
    jet::Pager& pager = db->impl()->pager();
    std::vector<std::vector<Event>> commits;
    pager.setFaultHook([&](jet::FaultPoint point, uint64_t count) {
        if (point == jet::FaultPoint::JournalWrite) commits.emplace_back();
        if (!commits.empty()) commits.back().push_back(Event{point, count, Clock::now()});
    });
    const uint32_t pagesBefore = pager.pageCount();

    bench::SilentWindow window;
    form::Form form(window);
    window.form = &form;
    form.globals.ProgramFolder = folder.string();
    form.globals.CurrentCompanyCode = "Sample";
    window.setFieldText(form::Field::CompanyCode, "Sample");
    window.setFieldText(form::Field::TextFile, (folder / kInputFiles[kind]).string());
    window.setFieldText(form::Field::Database, database.string());
    window.setFieldText(form::Field::Delimiter, ",");
    window.setFieldText(form::Field::Year, "2005");
    window.setFieldText(form::Field::Period, "4");
    window.setFieldText(form::Field::BankCode, "");
    app::cmdTransfer_Click(form, static_cast<int16_t>(kind));
    const long appended = long(pager.pageCount()) - long(pagesBefore);

    CommitTimes largest;
    for (const auto& events : commits) {
        CommitTimes t = timesOf(events, appended);
        if (t.pagesInPlace + t.pagesAppended >= largest.pagesInPlace + largest.pagesAppended)
            largest = t;
    }
    return largest;
}

bool measure(const fs::path& sample, const fs::path& work, int kind, CommitTimes& out) {
    fs::remove_all(work);
    fs::create_directories(work);
    for (const auto& entry : fs::directory_iterator(sample))
        fs::copy_file(entry.path(), work / entry.path().filename());
    int fds[2];
    if (::pipe(fds) != 0) return false;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const CommitTimes t = runTransfer(work, kind);
        ::_exit(::write(fds[1], &t, sizeof t) == sizeof t ? 0 : 1);
    }
    ::close(fds[1]);
    const bool got = ::read(fds[0], &out, sizeof out) == sizeof out;
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    int employees = 10000;
    int runs = 3;
    fs::path dir = fs::temp_directory_path() / "veltra-commit-window";
    fs::path sampleProgram = fs::path(argv[0]).parent_path() / ".." / "app" / "veltra-transfer";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--employees")
            employees = std::atoi(argv[i + 1]);
        else if (option == "--runs")
            runs = std::atoi(argv[i + 1]);
        else if (option == "--dir")
            dir = argv[i + 1];
        else if (option == "--sample")
            sampleProgram = argv[i + 1];
    }
    const fs::path sample = dir / ("full-" + std::to_string(employees));
    if (!fs::exists(sample / "Melvar.mdb")) {
        fs::remove_all(sample);
        const std::string command = "'" + sampleProgram.string() + "' sample '" + sample.string() +
                                    "' --employees " + std::to_string(employees) +
                                    " --seed 1 --full >/dev/null";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "cannot generate the sample company\n");
            return 1;
        }
    }
    std::printf(
        "| kind | run | pages in place | pages appended | journal ms | appended ms | "
        "in-place write ms | file sync ms | journal removal ms | torn window ms |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (int kind = 0; kind < 4; ++kind) {
        for (int run = 1; run <= runs; ++run) {
            CommitTimes t;
            if (!measure(sample, dir / "work", kind, t)) {
                std::fprintf(stderr, "%s: the transfer failed\n", kKindNames[kind]);
                return 1;
            }
            std::printf("| %s | %d | %ld | %ld | %.1f | %.1f | %.1f | %.1f | %.1f | %.1f |\n",
                        kKindNames[kind], run, t.pagesInPlace, t.pagesAppended, t.journalMs,
                        t.appendMs, t.writeMs, t.syncMs, t.removeMs, t.windowMs());
            std::fflush(stdout);
        }
    }
    fs::remove_all(dir / "work");
    return 0;
}
