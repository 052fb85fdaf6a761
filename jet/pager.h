// Pager: the only part of the engine that touches the database file.
//
// Everything above it asks for pages by number and never sees a file descriptor. The pager owns
// the page cache, the OS lock and the Access lock file (.ldb), the rollback journal and atomic
// commit, and the fault-injection hook that tests use to interrupt a commit.
//
// Transactions: writes are only allowed between begin() and commit()/rollback(). A written page
// is copied into the transaction and changed in memory; nothing reaches the file before commit().
// commit(): write the original contents of every page about to change to the journal
// (<file>.jnl beside the database, bound to the file: see jet/journal.h), sync it, write the
// pages, sync the file, delete the journal. Opening a file that has a journal beside it first
// judges the journal against the file: it plays it back (a crash in the middle of a commit), or
// sets it aside when the file is not the one it was written for (and the open fails).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "jet/open_mode.h"
#include "jet/page_memory.h"
#include "jet/recovery_report.h"

namespace jet {

using PageRef = std::shared_ptr<const PageBuffer>;  // stays valid while held

// Points of a commit at which the fault hook is called (tests stop or fail there). Committed is
// only reported, once the journal is gone: benchmarks time a commit's steps with it.
enum class FaultPoint { JournalWrite, JournalSync, PageWrite, FileSync, JournalDelete, Committed };

// The desktop product refuses files past 2 GB; the pager never lets a file grow beyond it.
constexpr uint64_t kMaxFileSize = uint64_t(1) << 31;

class Pager {
  public:
    // Opens an existing file; reads page 0 to learn the page size (Jet 3: 2048, Jet 4: 4096).
    static std::shared_ptr<Pager> open(const std::filesystem::path& path, OpenMode mode);
    // Creates a new file of `pageSize`-byte pages, with no pages yet; fails if it exists.
    static std::shared_ptr<Pager> create(const std::filesystem::path& path, uint32_t pageSize);
    // Deals with what an interrupted writer left beside the file: judges and plays back or sets
    // aside its journal, removes a lock file nobody holds. Opens nothing when there is neither a
    // journal nor a lock file. Throws ReadOnly or InUse when it cannot take the file for writing.
    static RecoveryReport recover(const std::filesystem::path& path);
    virtual ~Pager() = default;

    virtual const std::filesystem::path& path() const = 0;
    virtual uint32_t pageSize() const = 0;
    // Pages in the file, including pages appended by the open transaction.
    virtual uint32_t pageCount() const = 0;
    virtual bool writable() const = 0;

    // The page as the current transaction sees it. Throws Corrupt naming the file for a page
    // number at or past pageCount().
    virtual PageRef read(uint32_t page) = 0;

    // REQUIRES: inTransaction(). A private, writable copy of the page for this transaction; the
    // pointer stays valid until the transaction ends or rolls back past this write. After a
    // savepoint, call write() again before changing the page (that call records the undo copy).
    virtual uint8_t* write(uint32_t page) = 0;
    // A number that names the page's present contents: it differs from every number given
    // before, for any page of any pager, once the page may have changed (a write() call, a
    // rollback). Lets readers keep what they decoded from a page without comparing its bytes.
    // 0 means the pager does not tell.
    virtual uint64_t version(uint32_t page) {
        (void)page;
        return 0;
    }
    // REQUIRES: inTransaction(). Appends a zero-filled page; returns its number.
    virtual uint32_t append() = 0;
    // REQUIRES: inTransaction(), 0 < pageCount <= pageCount(). Drops the pages at and past
    // `pageCount`: the commit cuts the file there (the journal keeps them until it is whole).
    virtual void truncate(uint32_t pageCount);

    virtual void begin() = 0;
    virtual bool inTransaction() const = 0;
    virtual uint64_t savepoint() = 0;
    // A savepoint whose nested savepoints are undone only on the way back to it: their units
    // then skip the undo copy of a page already changed under this one. Rolling such a nested
    // savepoint back after it skipped one takes everything back to this savepoint (the nested
    // ones stay open, with nothing left to undo). Plain savepoint where a pager does not tell.
    virtual uint64_t coarseSavepoint() { return savepoint(); }
    virtual void rollbackTo(uint64_t savepoint) = 0;
    // Forgets the savepoint (and those after it), keeping its changes in the transaction; frees
    // the page copies kept for rolling back to it. Unknown savepoints are ignored.
    virtual void release(uint64_t savepoint) { (void)savepoint; }
    virtual void commit() = 0;
    virtual void rollback() = 0;

    // Called before each step of a commit; a hook that throws makes that step fail (the commit
    // then fails and the transaction rolls back; the file keeps its committed state). Tests also
    // use it to kill the process at an exact point.
    using FaultHook = std::function<void(FaultPoint point, uint64_t count)>;
    virtual void setFaultHook(FaultHook hook) = 0;

    // Called after each commit that reached the file, with the pages it wrote: debug builds check
    // there what the commit left behind.
    using CommitObserver = std::function<void(const std::vector<uint32_t>& pages)>;
    virtual void setCommitObserver(CommitObserver observer) { (void)observer; }
    // Called after each commit that reached the file, with the journal it wrote (jet/journal.h):
    // the original of every page it changed and digests of both states. Undo images grow from it.
    // The originals are the very buffers the journal was written from, so keeping them costs no
    // copy.
    struct WrittenJournal {
        std::vector<uint8_t> head;       // journal::encodeHead()
        std::vector<PageRef> originals;  // in the order of the head's entries that have one
    };
    using JournalObserver = std::function<void(WrittenJournal&& journal)>;
    virtual void setJournalObserver(JournalObserver observer) { (void)observer; }

    // Where the search for a free page may start: no page below it was free when it was set
    // (the free-page map's writer keeps it). Rolling back resets it to 0, since pages taken by
    // the undone changes are free again.
    uint32_t freePageHint() const { return freePageHint_; }
    void setFreePageHint(uint32_t page) { freePageHint_ = page; }

  protected:
    uint32_t freePageHint_ = 0;
};

}  // namespace jet
