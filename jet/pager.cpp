// The pager: page cache, transactions with savepoints, the rollback journal and file locking.
//
// How a commit survives a crash. The database file is only ever changed between two moments:
//   1. the journal <file>.jnl holds the original contents of every page the commit changes, the
//      page counts before and after it and digests of every written page in both states (see
//      jet/journal.h), and is synced (file and folder);
//   2. the journal is deleted after the changed pages were written and the file synced.
// Whoever opens the file while a complete journal lies beside it judges the file against it: if
// every journaled page reads as before or as after the commit, the journal's pages are copied
// back and the file cut to its old length (or, when the commit had reached the file whole or not
// at all, the journal is simply removed). A file that matches neither state is not the journal's
// (a restored backup, another database): the journal is renamed aside, the file is left alone
// and the open fails saying so. A journal cut short was never complete, so the database was not
// touched yet; it is removed.
//
// The commit writes the pages it appends first, while no existing page has changed, then every
// changed page in one pass in file order, syncs once and removes the journal at once: the time
// in which other programs can see a half-written file is kept to that last pass.
//
// Transactions keep every changed page in memory until commit. Savepoints use an undo log: the
// first write to a page after a savepoint records the page's previous contents (or that it was
// clean), and rolling back copies those contents back into the same buffers, so pointers that
// write() handed out before the savepoint stay valid.
//
// Locking. A pager opened for writing holds, for as long as it is open, an exclusive lock on the
// database file and on Access's lock file <name>.ldb (created when missing, removed on close).
// Another process wanting to write finds either locked and is refused with InUse. Locks are
// per open file (OFD locks), so reading the file elsewhere in this process cannot drop them.
// The locks cover a byte range past any page (jet/file.h), so readers are never stopped.
#include "jet/pager.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "jet/coding.h"
#include "jet/error.h"
#include "jet/file.h"
#include "jet/journal.h"
#include "jet/path_text.h"

namespace jet {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kJet3PageSize = 2048;
constexpr uint32_t kJet4PageSize = 4096;
constexpr size_t kVersionOffset = 0x14;

// Memory for committed pages kept after use, whatever the size of the file. Together with the
// pages a transaction changes (kept until it commits), this bounds what the pager holds: the
// commit's journal is written from the clean originals where they lie, with only its head of
// its own. A full monthly transfer touches far fewer pages than the file has.
constexpr size_t kCleanCacheBytes = size_t(32) << 20;
// The most pages one gathered write takes (IOV_MAX).
constexpr size_t kMaxGathered = 1024;

// Page versions come from one clock for every pager, so no two pages ever share one.
std::atomic<uint64_t> versionClock{0};

std::string quoted(const fs::path& path) {
    return "'" + utf8FromPath(path) + "'";
}

fs::path journalPathFor(const fs::path& path) {
    fs::path p = path;
    p += ".jnl";
    return p;
}

fs::path lockFilePathFor(const fs::path& path) {
    fs::path p = path;
    p.replace_extension(".ldb");
    return p;
}

fs::path folderOf(const fs::path& path) {
    fs::path parent = path.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

// A read-only file or folder is refused before anything else, even for a user the operating
// system would let write (the journal and lock file need the folder; the flag means "keep").
void requireWritable(const fs::path& path) {
    if (markedReadOnly(path)) {
        throw Error(ErrorCode::ReadOnly,
                    quoted(path) + ": the file is read-only; it cannot be opened for writing");
    }
    fs::path folder = folderOf(path);
    if (markedReadOnly(folder)) {
        throw Error(ErrorCode::ReadOnly, quoted(path) + ": the folder " + quoted(folder) +
                                             " is read-only; the database cannot be written there");
    }
}

// Reads a whole small file; nullopt when it does not exist.
std::optional<std::vector<uint8_t>> readWholeFile(const fs::path& path) {
    OpenFailure failure;
    std::string message;
    File file = File::open(path, FileMode::Read, failure, message);
    if (!file) {
        if (failure == OpenFailure::NotFound) return std::nullopt;
        throw Error(ErrorCode::Io, quoted(path) + ": cannot open the journal: " + message);
    }
    std::vector<uint8_t> bytes(size_t(file.size()));
    if (!bytes.empty()) file.readAt(bytes.data(), bytes.size(), 0);
    return bytes;
}

// A journal beside a database, read and judged against the file as it is now.
struct JournalFinding {
    std::vector<uint8_t> bytes;
    journal::Decoded decoded;  // points into bytes: a finding is never copied
    journal::Verdict verdict;  // for a Complete journal
};

std::unique_ptr<JournalFinding> examineJournal(const File& file, const fs::path& path) {
    std::optional<std::vector<uint8_t>> bytes = readWholeFile(journalPathFor(path));
    if (!bytes) return nullptr;
    auto finding = std::make_unique<JournalFinding>();
    finding->bytes = std::move(*bytes);
    finding->decoded = journal::decode(finding->bytes);
    if (finding->decoded.shape != journal::Shape::Complete) return finding;
    const journal::Journal& j = finding->decoded.journal;
    const uint64_t size = file.size();
    finding->verdict = journal::judge(j, size, [&](uint32_t page, uint8_t* out) {
        const uint64_t offset = uint64_t(page) * j.pageSize;
        if (offset + j.pageSize > size) return false;
        file.readAt(out, j.pageSize, offset);
        return true;
    });
    return finding;
}

void removeJournal(const fs::path& journalPath) {
    removeFile(journalPath, "cannot remove the journal");
    syncFolder(journalPath);
}

// A free name beside the journal that says it was not played back: <file>.jnl-unmatched[-N].
fs::path setAsideNameFor(const fs::path& journalPath) {
    for (int n = 1;; ++n) {
        fs::path candidate = journalPath;
        candidate += n == 1 ? std::string("-unmatched") : "-unmatched-" + std::to_string(n);
        if (!fs::exists(candidate)) return candidate;
    }
}

// Acts on what lies beside the file (open for writing as `file`): see the file's opening comment.
// `keepFinished` false makes a commit that reached the file whole be undone as well (a failed
// commit of this process, which its caller rolls back).
RecoveryReport recoverJournal(File& file, const fs::path& path, bool keepFinished) {
    using Outcome = RecoveryReport::Outcome;
    RecoveryReport report;
    report.journal = journalPathFor(path);
    std::unique_ptr<JournalFinding> finding = examineJournal(file, path);
    if (!finding) return report;
    if (finding->decoded.shape == journal::Shape::Incomplete) {
        removeJournal(report.journal);
        report.outcome = Outcome::Incomplete;
        return report;
    }
    const journal::Verdict& verdict = finding->verdict;
    switch (verdict.action) {
        case journal::Action::SetAside:
            report.outcome = Outcome::SetAside;
            report.reason = finding->decoded.shape == journal::Shape::Foreign
                                ? "it is not a journal this program can read"
                                : verdict.reason;
            report.setAsideAs = setAsideNameFor(report.journal);
            if (std::error_code moved;
                fs::rename(report.journal, report.setAsideAs, moved), moved) {
                throw Error(
                    ErrorCode::Io,
                    quoted(report.journal) + ": cannot set the journal aside: " + moved.message());
            }
            syncFolder(report.journal);
            return report;
        case journal::Action::NothingToDo:
            report.outcome = Outcome::NothingToDo;
            break;
        case journal::Action::Finished:
            if (keepFinished) {
                file.sync();  // the pages may still be only in the system's cache
                report.outcome = Outcome::Finished;
                break;
            }
            [[fallthrough]];
        case journal::Action::PlayBack: {
            const journal::Journal& j = finding->decoded.journal;
            for (const journal::Entry& e : j.entries) {
                if (e.original) file.writeAt(e.original, j.pageSize, uint64_t(e.page) * j.pageSize);
            }
            file.truncate(uint64_t(j.pageCountBefore) * j.pageSize);
            file.sync();
            report.outcome = Outcome::PlayedBack;
            break;
        }
    }
    removeJournal(report.journal);
    return report;
}

Error setAsideError(const fs::path& path, const RecoveryReport& report) {
    return Error(ErrorCode::Corrupt,
                 quoted(report.journal) +
                     ", the journal of an interrupted change, does not belong to " + quoted(path) +
                     " as the file is now (" + report.reason +
                     "). It was not played back: the database was left as it is and the journal "
                     "was kept as " +
                     quoted(report.setAsideAs) +
                     ". If the database was restored from a backup or replaced on purpose, open it "
                     "again; otherwise check it or restore it from a backup before using it, and "
                     "keep the set-aside journal for whoever looks into it.");
}

Error openError(const fs::path& path, OpenFailure failure, const std::string& message) {
    switch (failure) {
        case OpenFailure::NotFound:
            return Error(ErrorCode::NotFound, quoted(path) + ": no such database file");
        case OpenFailure::Folder:
            return Error(ErrorCode::NotADatabase, quoted(path) + ": is a folder, not a database");
        case OpenFailure::InUse:
            return Error(ErrorCode::InUse,
                         quoted(path) + ": database is in use by another program");
        default:
            return Error(ErrorCode::Io, quoted(path) + ": cannot open: " + message);
    }
}

File openForWriting(const fs::path& path) {
    OpenFailure failure;
    std::string message;
    File file = File::open(path, FileMode::ReadWrite, failure, message);
    if (file) return file;
    if (failure == OpenFailure::Denied) requireWritable(path);
    if (failure == OpenFailure::Denied || failure == OpenFailure::Other) {
        throw Error(ErrorCode::Io, quoted(path) + ": cannot open for writing: " + message);
    }
    throw openError(path, failure, message);
}

class FilePager;

// One pager per file per process: keyed by the file's identity, so different spellings of a
// path share it. The process id is part of the key so that a forked child opens its own.
struct FileKey {
    FileId file;
    uint64_t process;
    friend auto operator<=>(const FileKey&, const FileKey&) = default;
};

std::mutex registryMutex;
std::map<FileKey, std::weak_ptr<FilePager>>& registry() {
    static auto* pagers = new std::map<FileKey, std::weak_ptr<FilePager>>();
    return *pagers;
}

class FilePager final : public Pager {
  public:
    FilePager(fs::path path, File file) : path_(std::move(path)), file_(std::move(file)) {}

    // The registry entry expires with the pager and is swept by the next open.
    ~FilePager() override { releaseLockFile(); }

    // Opens the file read-only or read-write. Locks come first, then recovery, then page 0.
    void initialise(OpenMode mode) {
        refuseOversized();
        if (mode == OpenMode::ReadWrite) {
            becomeWriter();
        } else {
            overlayJournalForReading();
            learnPageSize();
        }
    }

    // A second open for writing of a file this process already reads.
    void upgradeToWriter() {
        if (writable_) return;
        File rw = openForWriting(path_);
        std::swap(file_, rw);
        try {
            becomeWriter();
        } catch (...) {
            std::swap(file_, rw);
            throw;
        }
    }

    void becomeWriter() {
        requireWritable(path_);
        takeLockFile();
        if (!file_.tryLock()) {
            releaseLockFile();
            throw inUse();
        }
        try {
            recovery_ = recoverJournal(file_, path_, true);
            if (recovery_.outcome == RecoveryReport::Outcome::SetAside)
                throw setAsideError(path_, recovery_);
            if (recovery_.outcome != RecoveryReport::Outcome::NoJournal) cache_.clear();
            versions_.clear();
            overlay_.clear();
            overlayPageCount_.reset();
            learnPageSize();
            if (pageSize_ == kJet3PageSize) {
                throw Error(
                    ErrorCode::Unsupported,
                    quoted(path_) + ": Access 97 (Jet 3) databases can be read but not written");
            }
        } catch (...) {
            releaseLockFile();
            throw;
        }
        writable_ = true;
    }

    // Takes the file as a writer would, only to deal with what lies beside it.
    RecoveryReport takeForRecovery() {
        requireWritable(path_);
        takeLockFile();
        if (!file_.tryLock()) throw inUse();
        return recoverJournal(file_, path_, true);
    }

    // For a new, empty file.
    void initialiseNew(uint32_t pageSize) {
        requireWritable(path_);
        takeLockFile();
        if (!file_.tryLock()) {
            releaseLockFile();
            throw inUse();
        }
        pageSize_ = pageSize;
        committedPageCount_ = pageCount_ = 0;
        writable_ = true;
    }

    const fs::path& path() const override { return path_; }
    uint32_t pageSize() const override { return pageSize_; }
    uint32_t pageCount() const override { return pageCount_; }
    bool writable() const override { return writable_; }

    PageRef read(uint32_t page) override {
        requirePage(page);
        if (inTransaction_) {
            if (const DirtyPage* d = dirtyPage(page)) return d->buffer;
        }
        return committed(page);
    }

    uint64_t version(uint32_t page) override {
        if (page >= pageCount_) return 0;  // no such page: nothing to name
        if (page >= versions_.size()) versions_.resize(size_t(page) + 1, 0);
        if (versions_[page] == 0) versions_[page] = ++versionClock;
        return versions_[page];
    }

    uint8_t* write(uint32_t page) override {
        requireTransaction("write a page");
        requirePage(page);
        forgetVersion(page);  // the caller is about to change it
        DirtyPage* d = dirtyPage(page);
        if (!d) {
            auto copy = copyOf(*committed(page));
            if (!savepoints_.empty()) undo_.push_back(UndoEntry{page, nullptr, 0});
            d = &addDirty(page, DirtyPage{copy, epoch_});
        } else if (d->epoch < epoch_ && !savepoints_.empty()) {
            // First change since the latest savepoint: remember what to go back to, unless an
            // enclosing coarse savepoint holds the page already (see coarseSavepoint()).
            if (coveredByCoarse(d->epoch)) {
                undo_.push_back(UndoEntry{page, nullptr, d->epoch, true});
            } else {
                undo_.push_back(UndoEntry{page, copyOf(*d->buffer), d->epoch});
            }
            d->epoch = epoch_;
        }
        return d->buffer->data();
    }

    uint32_t append() override {
        requireTransaction("add a page");
        if (uint64_t(pageCount_ + 1) * pageSize_ > kMaxFileSize) {
            throw Error(ErrorCode::Io,
                        quoted(path_) +
                            ": the database cannot grow past 2 GB, the largest file "
                            "Access opens; it holds " +
                            std::to_string(uint64_t(pageCount_) * pageSize_) +
                            " bytes. Nothing of this change was written; compact the database or "
                            "move data out of it first.");
        }
        uint32_t page = pageCount_++;
        forgetVersion(page);
        if (!savepoints_.empty()) undo_.push_back(UndoEntry{page, nullptr, 0});
        addDirty(page, DirtyPage{std::make_shared<PageBuffer>(pageSize_, 0), epoch_});
        return page;
    }

    void truncate(uint32_t pageCount) override {
        requireTransaction("cut the file");
        if (pageCount == 0 || pageCount > pageCount_) {
            throw Error(ErrorCode::Transaction, quoted(path_) + ": cannot cut the file to " +
                                                    std::to_string(pageCount) + " of its " +
                                                    std::to_string(pageCount_) + " pages");
        }
        // Pages past the end stay in dirty_ so that a rollback to a savepoint finds them;
        // commit leaves them out.
        for (uint32_t page = pageCount; page < pageCount_; ++page) forgetVersion(page);
        pageCount_ = pageCount;
    }

    void begin() override {
        if (!writable_) {
            throw Error(ErrorCode::ReadOnly, quoted(path_) + ": the database is open read-only");
        }
        if (inTransaction_) {
            throw Error(ErrorCode::Transaction, quoted(path_) + ": a transaction is already open");
        }
        if (needsRecovery_) {
            throw Error(ErrorCode::Io, quoted(path_) +
                                           ": an earlier commit failed and could not be undone; "
                                           "close the database and open it again to restore it");
        }
        inTransaction_ = true;
        epoch_ = ++nextId_;
    }

    bool inTransaction() const override { return inTransaction_; }

    uint64_t savepoint() override { return addSavepoint(false); }
    uint64_t coarseSavepoint() override { return addSavepoint(true); }

    void rollbackTo(uint64_t id) override {
        requireTransaction("roll back to a savepoint");
        auto sp = std::find_if(savepoints_.begin(), savepoints_.end(),
                               [&](const Savepoint& s) { return s.id == id; });
        if (sp == savepoints_.end()) {
            throw Error(ErrorCode::Transaction,
                        quoted(path_) + ": no such savepoint in the open transaction");
        }
        // A copy skipped for a page that changed before `sp` leaves only the enclosing coarse
        // savepoint able to bring the page back: go back to that one.
        auto target = sp;
        for (size_t i = sp->undoSize; i < undo_.size() && target == sp; ++i) {
            if (undo_[i].skipped && undo_[i].epoch < sp->id) target = innermostCoarseBefore(sp);
        }
        while (undo_.size() > target->undoSize) {
            UndoEntry& u = undo_.back();
            forgetVersion(u.page);
            DirtyPage* d = dirtyPage(u.page);
            if (u.skipped) {
                d->epoch = u.epoch;  // the contents come back with an earlier entry
            } else if (!u.previous) {
                if (u.page < dirtyIndex_.size()) dirtyIndex_[u.page] = nullptr;
                dirty_.erase(u.page);
            } else {
                std::memcpy(d->buffer->data(), u.previous->data(), pageSize_);
                d->epoch = u.epoch;
                recycle(std::move(u.previous));
            }
            undo_.pop_back();
        }
        pageCount_ = target->pageCount;
        for (auto s = target + 1; s <= sp; ++s) {
            s->undoSize = target->undoSize;
            s->pageCount = target->pageCount;
        }
        freePageHint_ = 0;
        epoch_ = sp->id;
        savepoints_.erase(sp + 1, savepoints_.end());
    }

    void release(uint64_t id) override {
        requireTransaction("release a savepoint");
        auto sp = std::find_if(savepoints_.begin(), savepoints_.end(),
                               [&](const Savepoint& s) { return s.id == id; });
        if (sp == savepoints_.end()) return;
        if (sp == savepoints_.begin()) {
            // Back at the transaction's own level: only a whole rollback remains, which needs
            // no copies.
            for (UndoEntry& u : undo_) recycle(std::move(u.previous));
            undo_.clear();
            savepoints_.clear();
            epoch_ = ++nextId_;
            return;
        }
        // The enclosing savepoint takes over the released one's undo entries, except copies of
        // pages it had already saved itself.
        uint64_t parentEpoch = (sp - 1)->id;
        size_t keep = sp->undoSize;
        for (size_t i = sp->undoSize; i < undo_.size(); ++i) {
            UndoEntry& u = undo_[i];
            if ((u.previous || u.skipped) && u.epoch >= parentEpoch) {
                recycle(std::move(u.previous));
                continue;
            }
            if (keep != i) undo_[keep] = std::move(u);
            ++keep;
        }
        undo_.resize(keep);
        savepoints_.erase(sp, savepoints_.end());
        epoch_ = parentEpoch;
    }

    void rollback() override {
        requireTransaction("roll back");
        endTransaction();
    }

    void commit() override {
        requireTransaction("commit");
        // Nothing looks pages up from here on: the index goes before the journal is built, so
        // that it never adds to the commit's peak memory.
        std::vector<DirtyPage*>().swap(dirtyIndex_);
        indexReleased_ = true;
        try {
            if (!dirty_.empty() || pageCount_ < committedPageCount_) writeOut();
        } catch (...) {
            endTransaction();
            throw;
        }
        // The file now holds the transaction: its pages become the committed ones.
        std::vector<uint32_t> written;
        for (auto& [page, d] : dirty_) {
            if (page >= pageCount_) continue;  // cut off
            cache_[page] = CachedPage{std::move(d.buffer), ++useClock_};
            if (observer_) written.push_back(page);
        }
        std::erase_if(cache_, [&](const auto& entry) { return entry.first >= pageCount_; });
        committedPageCount_ = pageCount_;
        endTransaction();
        trimCache();
        if (observer_ && !written.empty()) observer_(written);
    }

    void setFaultHook(FaultHook hook) override { hook_ = std::move(hook); }
    void setCommitObserver(CommitObserver observer) override { observer_ = std::move(observer); }
    void setJournalObserver(JournalObserver observer) override {
        journalObserver_ = std::move(observer);
    }

    // What opening for writing found beside the file.
    const RecoveryReport& recovery() const { return recovery_; }

  private:
    struct DirtyPage {
        std::shared_ptr<PageBuffer> buffer;
        uint64_t epoch;  // savepoint epoch whose undo already covers this page
    };
    struct UndoEntry {
        uint32_t page;
        std::shared_ptr<PageBuffer> previous;  // null: the page was clean (or appended)
        uint64_t epoch;
        bool skipped = false;  // no copy: an enclosing coarse savepoint holds the page
    };
    struct Savepoint {
        uint64_t id;
        size_t undoSize;
        uint32_t pageCount;
        bool coarse;
    };

    uint64_t addSavepoint(bool coarse) {
        requireTransaction("set a savepoint");
        uint64_t id = ++nextId_;
        savepoints_.push_back(Savepoint{id, undo_.size(), pageCount_, coarse});
        epoch_ = id;
        return id;
    }
    // Whether a page last covered at `pageEpoch` was changed under an enclosing coarse savepoint
    // (one below the latest), whose own undo then brings the page back.
    bool coveredByCoarse(uint64_t pageEpoch) const {
        for (size_t i = savepoints_.size() - 1; i-- > 0;) {
            if (savepoints_[i].coarse) return pageEpoch >= savepoints_[i].id;
        }
        return false;
    }
    // The innermost coarse savepoint enclosing `sp` (there is one when `sp` skipped a copy).
    std::vector<Savepoint>::iterator innermostCoarseBefore(std::vector<Savepoint>::iterator sp) {
        while (sp != savepoints_.begin() && !(--sp)->coarse) {
        }
        return sp;
    }

    Error inUse() const {
        return Error(ErrorCode::InUse, quoted(path_) + ": database is in use by another program");
    }

    void requirePage(uint32_t page) const {
        if (page >= pageCount_) {
            throw Error(ErrorCode::Corrupt, quoted(path_) + ": page " + std::to_string(page) +
                                                " lies past the end of the file (" +
                                                std::to_string(pageCount_) + " pages)");
        }
    }

    void requireTransaction(const char* what) const {
        if (!inTransaction_) {
            throw Error(ErrorCode::Transaction,
                        quoted(path_) + ": cannot " + what + " outside a transaction");
        }
    }

    void endTransaction() {
        for (const auto& entry : dirty_) {
            forgetVersion(entry.first);
            if (entry.first < dirtyIndex_.size()) dirtyIndex_[entry.first] = nullptr;
        }
        indexReleased_ = false;
        dirty_.clear();
        undo_.clear();
        savepoints_.clear();
        pageCount_ = committedPageCount_;
        freePageHint_ = 0;
        inTransaction_ = false;
    }

    PageRef committed(uint32_t page) {
        auto it = cache_.find(page);
        if (it != cache_.end()) {
            it->second.lastUse = ++useClock_;
            return it->second.page;
        }
        std::shared_ptr<PageBuffer> buffer = spareBuffer();
        auto ov = overlay_.find(page);
        if (ov != overlay_.end()) {
            *buffer = ov->second;
        } else {
            file_.readAt(buffer->data(), pageSize_, uint64_t(page) * pageSize_);
        }
        cache_.emplace(page, CachedPage{buffer, ++useClock_});
        trimCache();
        return buffer;
    }

    // A file past 2 GB is no database Access wrote or could open; refused before anything
    // beside it (lock file, journal) is touched.
    void refuseOversized() const {
        const uint64_t size = file_.size();
        if (size <= kMaxFileSize) return;
        throw Error(ErrorCode::NotADatabase,
                    quoted(path_) + ": the file is " + std::to_string(size) +
                        " bytes, larger than 2 GB (" + std::to_string(kMaxFileSize) +
                        " bytes), the largest database Access opens; it is not opened");
    }

    void learnPageSize() {
        const uint64_t size = file_.size();
        uint8_t head[kVersionOffset + 4] = {};
        auto ov = overlay_.find(0);
        if (ov != overlay_.end()) {
            std::memcpy(head, ov->second.data(), sizeof head);
        } else if (size >= sizeof head) {
            file_.readAt(head, sizeof head, 0);
        } else {
            throw Error(ErrorCode::NotADatabase,
                        quoted(path_) + ": not an Access database (the file is too short)");
        }
        static const uint8_t kMagic[4] = {0x00, 0x01, 0x00, 0x00};
        if (std::memcmp(head, kMagic, 4) != 0 ||
            (std::memcmp(head + 4, "Standard Jet DB", 16) != 0 &&
             std::memcmp(head + 4, "Standard ACE DB", 16) != 0)) {
            throw Error(ErrorCode::NotADatabase, quoted(path_) + ": not an Access database");
        }
        pageSize_ = getU32(head + kVersionOffset) == 0 ? kJet3PageSize : kJet4PageSize;
        committedPageCount_ = pageCount_ =
            overlayPageCount_ ? *overlayPageCount_ : uint32_t(size / pageSize_);
        if (pageCount_ == 0) {
            throw Error(ErrorCode::NotADatabase,
                        quoted(path_) + ": not an Access database (the file is too short)");
        }
    }

    // A reader cannot repair the file, but it can see it as it was committed: the journal's
    // pages stand in for the file's. A journal that is not the file's is refused, as a writer
    // would refuse it, but left where it is.
    void overlayJournalForReading() {
        std::unique_ptr<JournalFinding> finding = examineJournal(file_, path_);
        if (!finding || finding->decoded.shape == journal::Shape::Incomplete) return;
        if (finding->verdict.action == journal::Action::SetAside) {
            RecoveryReport report;
            report.journal = journalPathFor(path_);
            report.reason = finding->decoded.shape == journal::Shape::Foreign
                                ? "it is not a journal this program can read"
                                : finding->verdict.reason;
            throw Error(ErrorCode::Corrupt,
                        quoted(report.journal) +
                            ", the journal of an interrupted change, does not "
                            "belong to " +
                            quoted(path_) + " as the file is now (" + report.reason +
                            "). Open the database for writing with this program to set the journal "
                            "aside; the database itself is left as it is.");
        }
        if (finding->verdict.action != journal::Action::PlayBack) return;
        const journal::Journal& j = finding->decoded.journal;
        for (const journal::Entry& e : j.entries) {
            if (e.original) overlay_[e.page] = PageBuffer(e.original, e.original + j.pageSize);
        }
        overlayPageCount_ = j.pageCountBefore;
    }

    void fault(FaultPoint point, uint64_t count) {
        if (hook_) hook_(point, count);
    }

    // Journal, sync, appended pages, sync, changed pages, sync, remove journal. On failure, the
    // file is put back from the journal at once when possible; otherwise the journal stays for
    // the next open.
    void writeOut() {
        fs::path journalPath = journalPathFor(path_);
        bool journalWritten = false;
        WrittenJournal journal;
        try {
            fault(FaultPoint::JournalWrite, 0);
            journal = buildJournal();
            {
                File jf =
                    File::open(journalPath, FileMode::OpenAlways, "cannot create the journal");
                journalWritten = true;  // from here on the journal may need cleaning up
                jf.truncate(0);
                writeJournal(jf, journal);
                fault(FaultPoint::JournalSync, 0);
                jf.sync();
            }
            syncFolder(journalPath);

            // Appended pages lie past the file's old end, where no page refers yet: writing and
            // syncing them first leaves only the changed pages for the time in which another
            // program can see a half-written file.
            uint64_t written = 0;
            uint64_t syncs = 0;
            const auto appended = dirty_.lower_bound(committedPageCount_);
            const auto end = dirty_.lower_bound(pageCount_);  // pages past it are cut off
            if (appended != dirty_.end() && appended->first < pageCount_) {
                writePages(appended, end, written);
                fault(FaultPoint::FileSync, syncs++);
                file_.sync();
            }
            writePages(dirty_.begin(), pageCount_ < committedPageCount_ ? end : appended, written);
            if (pageCount_ < committedPageCount_) {
                file_.truncate(uint64_t(pageCount_) * pageSize_);
                fault(FaultPoint::FileSync, syncs++);
                file_.sync();
            } else {
                fault(FaultPoint::FileSync, syncs++);
                file_.syncData();
            }
            // The journal goes at once, without waiting for the folder: should its removal be
            // lost with the power, the journal comes back beside a file that reads as after
            // the commit, and the next open keeps it. The next commit's journal syncs the
            // folder before it touches the file.
            fault(FaultPoint::JournalDelete, 0);
            removeFile(journalPath, "cannot remove the journal");
        } catch (...) {
            if (journalWritten) {
                try {
                    recoverJournal(file_, path_, false);
                } catch (...) {
                    // The journal stays beside the file and the next open restores it. Until
                    // then no further commit may run: its journal would replace this one.
                    needsRecovery_ = true;
                }
            }
            throw;
        }
        fault(FaultPoint::Committed, 0);
        if (journalObserver_) journalObserver_(std::move(journal));
    }

    // Writes dirty pages [from, to) in file order, neighbours in one call.
    void writePages(std::map<uint32_t, DirtyPage>::const_iterator from,
                    std::map<uint32_t, DirtyPage>::const_iterator to, uint64_t& written) {
        std::vector<const uint8_t*> run;
        while (from != to) {
            run.clear();
            const uint32_t first = from->first;
            while (from != to && run.size() < kMaxGathered && from->first == first + run.size()) {
                fault(FaultPoint::PageWrite, written++);
                run.push_back(from->second.buffer->data());
                ++from;
            }
            file_.writeAt(run, pageSize_, uint64_t(first) * pageSize_);
        }
    }

    // Every written page before and after the commit, and page 0 as it stands when the commit
    // leaves it alone: the file's header binds even a commit that only appends. The originals
    // are the clean pages as they are, not copies.
    WrittenJournal buildJournal() {
        WrittenJournal written;
        std::vector<journal::ChangedPage> pages;
        pages.reserve(dirty_.size() + 1);
        auto original = [&](uint32_t page) {
            written.originals.push_back(committed(page));
            return written.originals.back()->data();
        };
        if (committedPageCount_ > 0 && !dirty_.contains(0)) {
            const uint8_t* page0 = original(0);
            pages.push_back({0, page0, page0});
        }
        for (const auto& [page, d] : dirty_) {
            if (page >= pageCount_) break;  // cut off: listed below when it was in the file
            pages.push_back(
                {page, page < committedPageCount_ ? original(page) : nullptr, d.buffer->data()});
        }
        for (uint32_t page = pageCount_; page < committedPageCount_; ++page)
            pages.push_back({page, original(page), nullptr});
        written.head = journal::encodeHead(pageSize_, committedPageCount_, pageCount_, pages);
        return written;
    }

    // The head, the originals gathered from their buffers in runs, the end mark.
    void writeJournal(File& file, const WrittenJournal& written) {
        file.writeAt(written.head.data(), written.head.size(), 0);
        uint64_t offset = written.head.size();
        std::vector<const uint8_t*> run;
        for (size_t i = 0; i < written.originals.size(); i += run.size()) {
            run.clear();
            for (size_t j = i; j < written.originals.size() && run.size() < kMaxGathered; ++j)
                run.push_back(written.originals[j]->data());
            file.writeAt(run, pageSize_, offset);
            offset += uint64_t(run.size()) * pageSize_;
        }
        file.writeAt(journal::kEndMark.data(), journal::kEndMark.size(), offset);
    }

    // Access's lock file: refuse when another program holds it, else hold it ourselves.
    void takeLockFile() {
        fs::path ldb = lockFilePathFor(path_);
        OpenFailure failure;
        std::string message;
        File file = File::open(ldb, FileMode::OpenAlways, failure, message);
        if (!file && failure == OpenFailure::InUse) throw inUse();
        if (!file)
            throw Error(ErrorCode::Io, quoted(ldb) + ": cannot open the lock file: " + message);
        if (!file.tryLock()) throw inUse();
        if (file.size() == 0) {
            // One 64-byte record: computer name, then user name, each NUL-padded to 32 bytes.
            uint8_t record[64] = {};
            const std::string host = computerName().substr(0, 31);
            std::memcpy(record, host.data(), host.size());
            std::memcpy(record + 32, "Admin", 5);
            file.writeAt(record, sizeof record, 0);
        }
        lockFile_ = std::move(file);
    }

    void releaseLockFile() {
        if (!lockFile_) return;
        try {
            lockFile_.removeWhileOpen();
        } catch (const Error&) {
            // A lock file left behind blocks nobody: its lock goes with the handle.
        }
        lockFile_.close();
    }

    fs::path path_;
    File file_;
    File lockFile_;
    fs::path lockFilePath_;
    bool writable_ = false;
    RecoveryReport recovery_;
    uint32_t pageSize_ = kJet4PageSize;
    uint32_t committedPageCount_ = 0;
    uint32_t pageCount_ = 0;

    // Committed pages, clean, kept within kCleanCacheBytes: when the cache outgrows it, the
    // pages used longest ago that nobody holds are dropped down to three quarters of it (one
    // sweep pays for a quarter of the budget in new pages). Pages of the open transaction live in
    // dirty_ and are never dropped before the commit.
    struct CachedPage {
        PageRef page;
        uint64_t lastUse;
    };
    std::unordered_map<uint32_t, CachedPage> cache_;
    uint64_t useClock_ = 0;

    void trimCache() {
        const size_t limit = std::max<size_t>(kCleanCacheBytes / pageSize_, 64);
        if (cache_.size() <= limit) return;
        std::vector<uint64_t> uses;
        uses.reserve(cache_.size());
        for (const auto& entry : cache_) uses.push_back(entry.second.lastUse);
        const size_t drop = cache_.size() - (limit - limit / 4);
        std::nth_element(uses.begin(), uses.begin() + std::ptrdiff_t(drop - 1), uses.end());
        const uint64_t oldest = uses[drop - 1];
        for (auto it = cache_.begin(); it != cache_.end();) {
            if (it->second.lastUse <= oldest && it->second.page.use_count() == 1) {
                recycle(std::const_pointer_cast<PageBuffer>(std::move(it->second.page)));
                it = cache_.erase(it);
            } else {
                ++it;
            }
        }
    }
    std::vector<uint64_t> versions_;  // see version(), by page; 0: not asked yet
    // Page buffers no longer used, kept for the next copy or read instead of allocating one.
    std::vector<std::shared_ptr<PageBuffer>> spare_;

    void forgetVersion(uint32_t page) {
        if (page < versions_.size()) versions_[page] = 0;
    }
    std::shared_ptr<PageBuffer> copyOf(const PageBuffer& page) {
        if (spare_.empty()) return std::make_shared<PageBuffer>(page);
        std::shared_ptr<PageBuffer> copy = spareBuffer();
        *copy = page;
        return copy;
    }
    // A page-sized buffer whose bytes are about to be overwritten.
    std::shared_ptr<PageBuffer> spareBuffer() {
        if (spare_.empty()) return std::make_shared<PageBuffer>(pageSize_);
        std::shared_ptr<PageBuffer> buffer = std::move(spare_.back());
        spare_.pop_back();
        buffer->resize(pageSize_);
        return buffer;
    }
    // Buffers let go of (undo copies no longer needed, pages leaving the cache) are kept for the
    // next copy or read.
    void recycle(std::shared_ptr<PageBuffer> copy) {
        constexpr size_t kMaxSpare = 64;
        if (copy && copy.use_count() == 1 && spare_.size() < kMaxSpare)
            spare_.push_back(std::move(copy));
    }
    std::map<uint32_t, PageBuffer> overlay_;
    std::optional<uint32_t> overlayPageCount_;

    bool inTransaction_ = false;
    bool needsRecovery_ = false;           // a failed commit left its journal to be played back
    std::map<uint32_t, DirtyPage> dirty_;  // ordered: commit writes pages in file order
    std::vector<DirtyPage*> dirtyIndex_;   // by page: dirty_'s entry, found without a search
    bool indexReleased_ = false;           // a commit let dirtyIndex_ go: search dirty_

    DirtyPage* dirtyPage(uint32_t page) {
        if (indexReleased_) {
            auto it = dirty_.find(page);
            return it == dirty_.end() ? nullptr : &it->second;
        }
        return page < dirtyIndex_.size() ? dirtyIndex_[page] : nullptr;
    }
    DirtyPage& addDirty(uint32_t page, DirtyPage d) {
        DirtyPage& added = dirty_.emplace(page, std::move(d)).first->second;
        if (indexReleased_) return added;
        if (page >= dirtyIndex_.size()) dirtyIndex_.resize(size_t(page) + 1, nullptr);
        dirtyIndex_[page] = &added;
        return added;
    }
    std::vector<UndoEntry> undo_;
    std::vector<Savepoint> savepoints_;
    uint64_t epoch_ = 0;
    uint64_t nextId_ = 0;

    FaultHook hook_;
    CommitObserver observer_;
    JournalObserver journalObserver_;
};

FileKey keyOf(const File& file) {
    return FileKey{file.identity(), currentProcessId()};
}

// Opens an existing database file for reading; `key` receives its identity.
File openExisting(const fs::path& path, FileKey& key) {
    OpenFailure failure;
    std::string message;
    File file = File::open(path, FileMode::Read, failure, message);
    if (!file) throw openError(path, failure, message);
    if (file.isFolder()) {
        throw Error(ErrorCode::NotADatabase, quoted(path) + ": is a folder, not a database");
    }
    key = keyOf(file);
    return file;
}

}  // namespace

void Pager::truncate(uint32_t pageCount) {
    (void)pageCount;
    throw Error(ErrorCode::Unsupported, "this pager cannot cut its file");
}

std::shared_ptr<Pager> Pager::open(const fs::path& path, OpenMode mode) {
    FileKey key;
    File file = openExisting(path, key);

    std::lock_guard<std::mutex> guard(registryMutex);
    std::erase_if(registry(), [](const auto& entry) { return entry.second.expired(); });
    auto found = registry().find(key);
    if (found != registry().end()) {
        if (auto existing = found->second.lock()) {
            file.close();
            if (mode == OpenMode::ReadWrite) existing->upgradeToWriter();
            return existing;
        }
    }
    if (mode == OpenMode::ReadWrite) {
        file.close();
        file = openForWriting(path);
    }
    auto pager = std::make_shared<FilePager>(path, std::move(file));
    pager->initialise(mode);
    registry()[key] = pager;
    return pager;
}

RecoveryReport Pager::recover(const fs::path& path) {
    RecoveryReport report;
    report.journal = journalPathFor(path);
    const fs::path lockFile = lockFilePathFor(path);
    const bool hadLockFile = fs::exists(lockFile);
    {
        FileKey key;
        openExisting(path, key);  // no such file: said so, whatever lies beside it
        if (!fs::exists(report.journal) && !hadLockFile) return report;
        std::lock_guard<std::mutex> guard(registryMutex);
        auto found = registry().find(key);
        if (found != registry().end() && !found->second.expired()) {
            return report;  // open in this process: whatever lay there was dealt with then
        }
    }
    FilePager pager(path, openForWriting(path));
    report = pager.takeForRecovery();
    // Closing the pager removes the lock file it took over.
    report.staleLockRemoved = hadLockFile;
    return report;
}

std::shared_ptr<Pager> Pager::create(const fs::path& path, uint32_t pageSize) {
    if (pageSize != kJet4PageSize) {
        throw Error(ErrorCode::Unsupported,
                    quoted(path) + ": only Jet 4 databases (4096-byte pages) can be created");
    }
    OpenFailure failure;
    std::string message;
    File file = File::open(path, FileMode::CreateNew, failure, message);
    if (!file) {
        if (failure == OpenFailure::Exists) {
            throw Error(ErrorCode::InvalidDefinition, quoted(path) + ": the file already exists");
        }
        throw Error(ErrorCode::Io, quoted(path) + ": cannot create: " + message);
    }
    const FileKey key = keyOf(file);
    auto pager = std::make_shared<FilePager>(path, std::move(file));
    try {
        pager->initialiseNew(pageSize);
    } catch (...) {
        pager.reset();
        removeFile(path, "cannot remove");
        throw;
    }
    std::lock_guard<std::mutex> guard(registryMutex);
    registry()[key] = pager;
    return pager;
}

}  // namespace jet
