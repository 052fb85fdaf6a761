// The rollback journal of a commit, as bytes: how it is written, read back and judged against the
// database file beside it. No file access here: the pager does the I/O and hands in bytes and a
// way to read a page.
//
// A journal is bound to the file it was written for. Besides the original contents of every page
// the commit changes, it records the file's page count before and after the commit and, for every
// page the commit writes, a SHA-256 digest of the page as it reads before the commit and as it
// must read after it. A journal is played back only when the file's size lies between the two
// page counts and every journaled page reads in one of its two states: then the file is the
// journal's own, stopped somewhere inside that commit. Anything else (a restored backup, another
// database, a file some other program changed since) is not the journal's file, and the journal
// must be set aside, never applied.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace jet::journal {

using Digest = std::array<uint8_t, 32>;

// SHA-256 of `size` bytes.
Digest sha256(const uint8_t* data, size_t size);

// SHA-256 of bytes handed in piece by piece, for what is too large to hold at once.
class Sha256 {
  public:
    Sha256();
    void update(const uint8_t* data, size_t size);
    Digest finish();  // once; the object is spent after it

  private:
    uint32_t state_[8];
    uint8_t pending_[64];
    size_t pendingSize_ = 0;
    uint64_t total_ = 0;
};

// One page a commit writes: its contents before (null for a page the commit appends) and after
// (null for a page the commit cuts off the end of the file).
struct ChangedPage {
    uint32_t page;
    const uint8_t* before;
    const uint8_t* after;
};

// The journal of a commit that takes a file of `pageCountBefore` pages to `pageCountAfter`.
// REQUIRES: pages sorted by page number, each page once; `before` set exactly for the pages
// below pageCountBefore; `after` null exactly for the pages at or past pageCountAfter (a commit
// that shortens the file lists every page it cuts); every buffer `pageSize` bytes.
std::vector<uint8_t> encode(uint32_t pageSize, uint32_t pageCountBefore, uint32_t pageCountAfter,
                            const std::vector<ChangedPage>& pages);
// The same journal in the three parts it is written in, so that the original pages need not be
// copied into one buffer with the rest: the head (header, entries and their digest), then the
// `before` pages of the entries that have one, in order, then the end mark.
std::vector<uint8_t> encodeHead(uint32_t pageSize, uint32_t pageCountBefore,
                                uint32_t pageCountAfter, const std::vector<ChangedPage>& pages);
inline constexpr std::array<uint8_t, 8> kEndMark = {'V', 'J', 'N', 'L', 'E', 'N', 'D', '!'};

struct Entry {
    uint32_t page;
    Digest before;            // meaningless for an appended page
    Digest after;             // meaningless for a cut page
    const uint8_t* original;  // into the decoded bytes; null for an appended page
    bool cut;                 // the commit removes the page from the file
    bool hasOriginal;         // the journal holds the page's original
};

struct Journal {
    uint32_t pageSize = 0;
    uint32_t pageCountBefore = 0;
    uint32_t pageCountAfter = 0;
    std::vector<Entry> entries;  // by page number
};

enum class Shape {
    Complete,    // a whole journal of this engine
    Incomplete,  // this engine's start, but cut short or torn: written by a commit that died
                 // before it finished the journal, so before it touched the file
    Foreign,     // not a journal this engine can judge (another format, another program)
};

struct Decoded {
    Shape shape = Shape::Foreign;
    Journal journal;  // filled when Complete; points into the bytes given to decode()
};

// Reads a journal. The result points into `bytes`, which must outlive it.
Decoded decode(const std::vector<uint8_t>& bytes);
// Reads a journal's head as encodeHead() made it: Complete when it is whole; the entries'
// originals are left null (the caller holds them).
Decoded decodeHead(const std::vector<uint8_t>& head);

// What to do with a complete journal, given the file beside it.
enum class Action {
    NothingToDo,  // every page reads as before the commit: the commit never reached the file
    Finished,     // every page reads as after the commit: it reached the file whole; keep it
    PlayBack,     // a mix of the two: put the original pages back and cut the file to its size
    SetAside,     // the file is not the one this journal was written for
};

struct Verdict {
    Action action = Action::SetAside;
    std::string reason;  // for SetAside: what does not match, for a person
};

// Reads page `page` of the database into `out` (pageSize bytes); false when the file holds no
// whole page there.
using PageReader = std::function<bool(uint32_t page, uint8_t* out)>;

// Judges the file (of `fileSize` bytes, read through `read`) against the journal.
Verdict judge(const Journal& journal, uint64_t fileSize, const PageReader& read);

}  // namespace jet::journal
