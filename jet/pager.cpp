// The pager: page cache, transactions with savepoints, the rollback journal and file locking.
//
// How a commit survives a crash. The database file is only ever changed between two moments:
//   1. the journal <file>.jnl holds the original contents of every page the commit changes and
//      the page count before it, ends with a checksum, and is synced (file and folder);
//   2. the journal is deleted after the changed pages were written and the file synced.
// Deleting the journal is the commit point. Whoever opens the file while a valid journal lies
// beside it copies the journal's pages back and cuts the file to its old length: the file is
// then exactly as it was at the last commit. A journal that fails its checksum was never
// complete, so the database was not touched yet; it is simply removed.
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
#include "jet/path_text.h"

namespace jet {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kJet3PageSize = 2048;
constexpr uint32_t kJet4PageSize = 4096;
constexpr size_t kVersionOffset = 0x14;

// Journal layout: header, then entries (u32 page number + page bytes), then a trailer.
constexpr char kJournalMagic[8] = {'V', 'J', 'N', 'L', 'P', 'G', '0', '1'};
constexpr char kJournalEnd[8] = {'V', 'J', 'N', 'L', 'E', 'N', 'D', '!'};
constexpr size_t kJournalHeaderSize = 24;  // magic, page size, page count, entry count, zero
constexpr size_t kJournalTrailerSize = 16;  // checksum u64, end magic

// Page versions come from one clock for every pager, so no two pages ever share one.
std::atomic<uint64_t> versionClock{0};

std::string quoted(const fs::path& path) { return "'" + utf8FromPath(path) + "'"; }

// FNV-1a: only needs to tell a complete journal from a torn one.
uint64_t checksum(const uint8_t* data, size_t size) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < size; ++i) {
        h ^= data[i];
        h *= 0x100000001b3ull;
    }
    return h;
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

// The original pages and length recorded in a journal.
struct Journal {
    uint32_t pageSize = 0;
    uint32_t pageCount = 0;
    std::map<uint32_t, PageBuffer> pages;
};

// Reads a journal; nullopt when it is missing, torn or not ours (never applied).
std::optional<Journal> readJournal(const fs::path& journalPath) {
    OpenFailure failure;
    std::string message;
    File file = File::open(journalPath, FileMode::Read, failure, message);
    if (!file) {
        if (failure == OpenFailure::NotFound) return std::nullopt;
        throw Error(ErrorCode::Io, quoted(journalPath) + ": cannot open the journal: " + message);
    }
    std::vector<uint8_t> bytes(size_t(file.size()));
    if (!bytes.empty()) file.readAt(bytes.data(), bytes.size(), 0);
    file.close();
    if (bytes.size() < kJournalHeaderSize + kJournalTrailerSize) return std::nullopt;
    if (std::memcmp(bytes.data(), kJournalMagic, 8) != 0) return std::nullopt;
    const uint8_t* trailer = bytes.data() + bytes.size() - kJournalTrailerSize;
    if (std::memcmp(trailer + 8, kJournalEnd, 8) != 0) return std::nullopt;
    if (getU64(trailer) != checksum(bytes.data(), bytes.size() - kJournalTrailerSize)) {
        return std::nullopt;
    }
    Journal j;
    j.pageSize = getU32(bytes.data() + 8);
    j.pageCount = getU32(bytes.data() + 12);
    uint32_t entries = getU32(bytes.data() + 16);
    if (j.pageSize != kJet3PageSize && j.pageSize != kJet4PageSize) return std::nullopt;
    size_t entrySize = 4 + size_t(j.pageSize);
    if (bytes.size() != kJournalHeaderSize + entries * entrySize + kJournalTrailerSize) {
        return std::nullopt;
    }
    const uint8_t* p = bytes.data() + kJournalHeaderSize;
    for (uint32_t i = 0; i < entries; ++i, p += entrySize) {
        j.pages[getU32(p)] = PageBuffer(p + 4, p + entrySize);
    }
    return j;
}

// Puts the journal's pages back into the database and cuts it to its old length, then syncs and
// removes the journal. Returns false when there was no valid journal (a torn one is removed).
bool playBackJournal(File& file, const fs::path& path) {
    fs::path journalPath = journalPathFor(path);
    std::optional<Journal> journal = readJournal(journalPath);
    if (journal) {
        for (const auto& [page, bytes] : journal->pages) {
            if (page >= journal->pageCount) continue;
            file.writeAt(bytes.data(), bytes.size(), uint64_t(page) * journal->pageSize);
        }
        file.truncate(uint64_t(journal->pageCount) * journal->pageSize);
        file.sync();
    }
    removeFile(journalPath, "cannot remove the journal");
    syncFolder(journalPath);
    return journal.has_value();
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
        default: return Error(ErrorCode::Io, quoted(path) + ": cannot open: " + message);
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
            if (playBackJournal(file_, path_)) cache_.clear();
            versions_.clear();
            overlay_.clear();
            overlayPageCount_.reset();
            learnPageSize();
            if (pageSize_ == kJet3PageSize) {
                throw Error(ErrorCode::Unsupported,
                            quoted(path_) +
                                ": Access 97 (Jet 3) databases can be read but not written");
            }
        } catch (...) {
            releaseLockFile();
            throw;
        }
        writable_ = true;
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
            auto it = dirty_.find(page);
            if (it != dirty_.end()) return it->second.buffer;
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
        auto it = dirty_.find(page);
        if (it == dirty_.end()) {
            auto copy = std::make_shared<PageBuffer>(*committed(page));
            if (!savepoints_.empty()) undo_.push_back(UndoEntry{page, nullptr, 0});
            it = dirty_.emplace(page, DirtyPage{copy, epoch_}).first;
        } else if (it->second.epoch < epoch_ && !savepoints_.empty()) {
            // First change since the latest savepoint: remember what to go back to.
            undo_.push_back(UndoEntry{page, copyOf(*it->second.buffer),
                                      it->second.epoch});
            it->second.epoch = epoch_;
        }
        return it->second.buffer->data();
    }

    uint32_t append() override {
        requireTransaction("add a page");
        uint32_t page = pageCount_++;
        forgetVersion(page);
        if (!savepoints_.empty()) undo_.push_back(UndoEntry{page, nullptr, 0});
        dirty_.emplace(page, DirtyPage{std::make_shared<PageBuffer>(pageSize_, 0), epoch_});
        return page;
    }

    void begin() override {
        if (!writable_) {
            throw Error(ErrorCode::ReadOnly, quoted(path_) + ": the database is open read-only");
        }
        if (inTransaction_) {
            throw Error(ErrorCode::Transaction,
                        quoted(path_) + ": a transaction is already open");
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

    uint64_t savepoint() override {
        requireTransaction("set a savepoint");
        uint64_t id = ++nextId_;
        savepoints_.push_back(Savepoint{id, undo_.size(), pageCount_});
        epoch_ = id;
        return id;
    }

    void rollbackTo(uint64_t id) override {
        requireTransaction("roll back to a savepoint");
        auto sp = std::find_if(savepoints_.begin(), savepoints_.end(),
                               [&](const Savepoint& s) { return s.id == id; });
        if (sp == savepoints_.end()) {
            throw Error(ErrorCode::Transaction,
                        quoted(path_) + ": no such savepoint in the open transaction");
        }
        while (undo_.size() > sp->undoSize) {
            UndoEntry& u = undo_.back();
            forgetVersion(u.page);
            auto it = dirty_.find(u.page);
            if (!u.previous) {
                dirty_.erase(it);
            } else {
                std::memcpy(it->second.buffer->data(), u.previous->data(), pageSize_);
                it->second.epoch = u.epoch;
                recycle(std::move(u.previous));
            }
            undo_.pop_back();
        }
        pageCount_ = sp->pageCount;
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
            if (u.previous && u.epoch >= parentEpoch) {
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
        try {
            if (!dirty_.empty()) writeOut();
        } catch (...) {
            endTransaction();
            throw;
        }
        // The file now holds the transaction: its pages become the committed ones.
        for (auto& [page, d] : dirty_) cache_[page] = std::move(d.buffer);
        committedPageCount_ = pageCount_;
        endTransaction();
    }

    void setFaultHook(FaultHook hook) override { hook_ = std::move(hook); }

private:
    struct DirtyPage {
        std::shared_ptr<PageBuffer> buffer;
        uint64_t epoch;  // savepoint epoch whose undo already covers this page
    };
    struct UndoEntry {
        uint32_t page;
        std::shared_ptr<PageBuffer> previous;  // null: the page was clean (or appended)
        uint64_t epoch;
    };
    struct Savepoint {
        uint64_t id;
        size_t undoSize;
        uint32_t pageCount;
    };

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
        for (const auto& entry : dirty_) forgetVersion(entry.first);
        dirty_.clear();
        undo_.clear();
        savepoints_.clear();
        pageCount_ = committedPageCount_;
        inTransaction_ = false;
    }

    PageRef committed(uint32_t page) {
        auto it = cache_.find(page);
        if (it != cache_.end()) return it->second;
        auto buffer = std::make_shared<PageBuffer>(pageSize_);
        auto ov = overlay_.find(page);
        if (ov != overlay_.end()) {
            *buffer = ov->second;
        } else {
            file_.readAt(buffer->data(), pageSize_, uint64_t(page) * pageSize_);
        }
        cache_.emplace(page, buffer);
        return buffer;
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
        committedPageCount_ = pageCount_ = overlayPageCount_
                                               ? *overlayPageCount_
                                               : uint32_t(size / pageSize_);
        if (pageCount_ == 0) {
            throw Error(ErrorCode::NotADatabase,
                        quoted(path_) + ": not an Access database (the file is too short)");
        }
    }

    // A reader cannot repair the file, but it can see it as it was committed: the journal's
    // pages stand in for the file's.
    void overlayJournalForReading() {
        std::optional<Journal> journal = readJournal(journalPathFor(path_));
        if (!journal) return;
        overlay_ = std::move(journal->pages);
        overlayPageCount_ = journal->pageCount;
    }

    void fault(FaultPoint point, uint64_t count) {
        if (hook_) hook_(point, count);
    }

    // Journal, sync, pages, sync, remove journal. On failure, the file is put back from the
    // journal at once when possible; otherwise the journal stays for the next open.
    void writeOut() {
        fs::path journalPath = journalPathFor(path_);
        bool journalWritten = false;
        try {
            fault(FaultPoint::JournalWrite, 0);
            std::vector<uint8_t> journal = buildJournal();
            File jfile = File::open(journalPath, FileMode::OpenAlways, "cannot create the journal");
            journalWritten = true;  // from here on the journal may need cleaning up
            jfile.truncate(0);
            jfile.writeAt(journal.data(), journal.size(), 0);
            fault(FaultPoint::JournalSync, 0);
            jfile.sync();
            jfile.close();
            syncFolder(journalPath);

            // In file order, neighbours in one call.
            std::vector<std::pair<uint32_t, const uint8_t*>> pages;
            pages.reserve(dirty_.size());
            for (const auto& [page, d] : dirty_) pages.emplace_back(page, d.buffer->data());
            std::sort(pages.begin(), pages.end());
            constexpr size_t kMaxRun = 256;
            uint64_t written = 0;
            std::vector<const uint8_t*> run;
            for (size_t i = 0; i < pages.size();) {
                run.clear();
                const uint32_t first = pages[i].first;
                while (i < pages.size() && run.size() < kMaxRun &&
                       pages[i].first == first + run.size()) {
                    fault(FaultPoint::PageWrite, written++);
                    run.push_back(pages[i++].second);
                }
                file_.writeAt(run, pageSize_, uint64_t(first) * pageSize_);
            }
            fault(FaultPoint::FileSync, 0);
            file_.sync();
            fault(FaultPoint::JournalDelete, 0);
            removeFile(journalPath, "cannot remove the journal");
            syncFolder(journalPath);
        } catch (...) {
            if (journalWritten) {
                try {
                    playBackJournal(file_, path_);
                } catch (...) {
                    // The journal stays beside the file and the next open restores it. Until
                    // then no further commit may run: its journal would replace this one.
                    needsRecovery_ = true;
                }
            }
            throw;
        }
    }

    std::vector<uint8_t> buildJournal() const {
        uint32_t entries = 0;
        for (const auto& entry : dirty_) {
            if (entry.first < committedPageCount_) ++entries;
        }
        size_t entrySize = 4 + size_t(pageSize_);
        std::vector<uint8_t> out(kJournalHeaderSize + entries * entrySize + kJournalTrailerSize);
        std::memcpy(out.data(), kJournalMagic, 8);
        putU32(out.data() + 8, pageSize_);
        putU32(out.data() + 12, committedPageCount_);
        putU32(out.data() + 16, entries);
        uint8_t* p = out.data() + kJournalHeaderSize;
        for (const auto& entry : dirty_) {
            uint32_t page = entry.first;
            if (page >= committedPageCount_) continue;
            putU32(p, page);
            // The committed contents: the cache holds them, or the file still does.
            auto it = cache_.find(page);
            if (it != cache_.end()) {
                std::memcpy(p + 4, it->second->data(), pageSize_);
            } else {
                file_.readAt(p + 4, pageSize_, uint64_t(page) * pageSize_);
            }
            p += entrySize;
        }
        putU64(p, checksum(out.data(), size_t(p - out.data())));
        std::memcpy(p + 8, kJournalEnd, 8);
        return out;
    }

    // Access's lock file: refuse when another program holds it, else hold it ourselves.
    void takeLockFile() {
        fs::path ldb = lockFilePathFor(path_);
        OpenFailure failure;
        std::string message;
        File file = File::open(ldb, FileMode::OpenAlways, failure, message);
        if (!file && failure == OpenFailure::InUse) throw inUse();
        if (!file) throw Error(ErrorCode::Io, quoted(ldb) + ": cannot open the lock file: " + message);
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
    bool writable_ = false;
    uint32_t pageSize_ = kJet4PageSize;
    uint32_t committedPageCount_ = 0;
    uint32_t pageCount_ = 0;

    std::unordered_map<uint32_t, PageRef> cache_;
    std::vector<uint64_t> versions_;  // see version(), by page; 0: not asked yet
    // Page copies no longer needed for undo, kept for the next copy instead of allocating one.
    std::vector<std::shared_ptr<PageBuffer>> spare_;

    void forgetVersion(uint32_t page) {
        if (page < versions_.size()) versions_[page] = 0;
    }
    std::shared_ptr<PageBuffer> copyOf(const PageBuffer& page) {
        if (spare_.empty()) return std::make_shared<PageBuffer>(page);
        std::shared_ptr<PageBuffer> copy = std::move(spare_.back());
        spare_.pop_back();
        *copy = page;
        return copy;
    }
    void recycle(std::shared_ptr<PageBuffer> copy) {
        constexpr size_t kMaxSpare = 64;
        if (copy && copy.use_count() == 1 && spare_.size() < kMaxSpare)
            spare_.push_back(std::move(copy));
    }
    std::map<uint32_t, PageBuffer> overlay_;
    std::optional<uint32_t> overlayPageCount_;

    bool inTransaction_ = false;
    bool needsRecovery_ = false;  // a failed commit left its journal to be played back
    std::map<uint32_t, DirtyPage> dirty_;  // ordered: commit writes pages in file order
    std::vector<UndoEntry> undo_;
    std::vector<Savepoint> savepoints_;
    uint64_t epoch_ = 0;
    uint64_t nextId_ = 0;

    FaultHook hook_;
};

FileKey keyOf(const File& file) { return FileKey{file.identity(), currentProcessId()}; }

}  // namespace

std::shared_ptr<Pager> Pager::open(const fs::path& path, OpenMode mode) {
    OpenFailure failure;
    std::string message;
    File file = File::open(path, FileMode::Read, failure, message);
    if (!file) throw openError(path, failure, message);
    if (file.isFolder()) {
        throw Error(ErrorCode::NotADatabase, quoted(path) + ": is a folder, not a database");
    }
    const FileKey key = keyOf(file);

    std::lock_guard<std::mutex> guard(registryMutex);
    std::erase_if(registry(), [](const auto& entry) { return entry.second.expired(); });
    auto found = registry().find(key);
    if (found != registry().end()) {
        if (auto existing = found->second.lock()) {
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
