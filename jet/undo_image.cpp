// Undo image bytes. Layout, all integers little-endian:
//   header     magic "VUNDOIM1", page size u32, page count before u32, page count after u32,
//              original count u32                                                  (24 bytes)
//   after      SHA-256 of every page of the file as the commits left it   (32 x count after)
//   pages      page number u32 of every original, ascending                  (4 x originals)
//   originals  the pages as they were before the commits, in that order  (page size each)
//   digest     SHA-256 of everything before it                                     (32 bytes)
#include "jet/undo_image.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <optional>
#include <system_error>
#include <thread>

#include "jet/coding.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/file.h"
#include "jet/journal.h"
#include "jet/pager.h"
#include "jet/path_text.h"
#include "jet/scoped_transaction.h"

namespace jet {

namespace {

constexpr char kMagic[8] = {'V', 'U', 'N', 'D', 'O', 'I', 'M', '1'};
constexpr size_t kHeaderSize = 24;
constexpr size_t kDigestSize = 32;
constexpr size_t kMaxListed = 8;  // pages named in a refusal; the count says the rest

struct Image {
    uint32_t pageSize = 0;
    uint32_t pageCountBefore = 0;
    uint32_t pageCountAfter = 0;
    const uint8_t* afterDigests = nullptr;
    std::vector<uint32_t> pages;
    const uint8_t* originals = nullptr;

    const uint8_t* original(size_t i) const { return originals + i * pageSize; }
};

Error notWhole(const std::string& why) {
    return Error(ErrorCode::Corrupt, "the undo data is damaged (" + why + ")");
}

Image decodeImage(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < kHeaderSize + kDigestSize ||
        std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        throw notWhole("not undo data of this program");
    }
    const size_t body = bytes.size() - kDigestSize;
    if (std::memcmp(journal::sha256(bytes.data(), body).data(), bytes.data() + body, kDigestSize) !=
        0) {
        throw notWhole("its checksum does not match");
    }
    Image image;
    image.pageSize = getU32(bytes.data() + 8);
    image.pageCountBefore = getU32(bytes.data() + 12);
    image.pageCountAfter = getU32(bytes.data() + 16);
    const uint64_t count = getU32(bytes.data() + 20);
    const uint64_t expected = kHeaderSize + uint64_t(image.pageCountAfter) * kDigestSize +
                              count * (4 + uint64_t(image.pageSize));
    if (expected != body || image.pageSize == 0) throw notWhole("its size does not match");
    image.afterDigests = bytes.data() + kHeaderSize;
    const uint8_t* pages = image.afterDigests + size_t(image.pageCountAfter) * kDigestSize;
    for (uint64_t i = 0; i < count; ++i) image.pages.push_back(getU32(pages + 4 * i));
    image.originals = pages + count * 4;
    return image;
}

std::string listed(const std::vector<uint32_t>& pages) {
    std::string text;
    for (size_t i = 0; i < pages.size() && i < kMaxListed; ++i)
        text += (i ? ", " : "") + std::to_string(pages[i]);
    if (pages.size() > kMaxListed) text += ", ...";
    return text;
}

// What differs between the pager's file and the state the image's commits left it in.
std::string differenceOf(Pager& pager, const Image& image) {
    if (pager.pageSize() != image.pageSize) {
        return "its pages are " + std::to_string(pager.pageSize()) + " bytes, not " +
               std::to_string(image.pageSize);
    }
    if (pager.pageCount() != image.pageCountAfter) {
        return "it has " + std::to_string(pager.pageCount()) + " pages; the transfer left " +
               std::to_string(image.pageCountAfter);
    }
    std::vector<uint32_t> changed;
    for (uint32_t page = 0; page < image.pageCountAfter; ++page) {
        const PageRef now = pager.read(page);
        if (std::memcmp(journal::sha256(now->data(), now->size()).data(),
                        image.afterDigests + size_t(page) * kDigestSize, kDigestSize) != 0) {
            changed.push_back(page);
        }
    }
    if (changed.empty()) return {};
    return std::to_string(changed.size()) + (changed.size() == 1 ? " page" : " pages") +
           " changed since the transfer (page " + listed(changed) + ")";
}

// Whether the file already reads as before the image's commits.
bool readsAsBefore(Pager& pager, const Image& image) {
    if (pager.pageSize() != image.pageSize || pager.pageCount() != image.pageCountBefore) {
        return false;
    }
    for (size_t i = 0; i < image.pages.size(); ++i) {
        if (std::memcmp(pager.read(image.pages[i])->data(), image.original(i), image.pageSize) !=
            0) {
            return false;
        }
    }
    return true;
}

}  // namespace

// Digests of the file's pages as they stood when a capture began, taken on a thread of their
// own through a handle of their own while the transfer runs, so that the fingerprint at the end
// reads no page again: the pages the commits touched have their digests in the journals. This
// process is the file's only writer, and every page it writes is in a commit's journal: a page no
// journal names is still as digested here, even if this thread read it while a commit wrote its
// neighbours.
class UndoCapture::StartDigests {
  public:
    StartDigests(const std::filesystem::path& path, uint32_t pageSize, uint32_t pageCount)
        : pageSize_(pageSize), digests_(size_t(pageCount) * kDigestSize) {
        if (pageSize == 0 || pageCount == 0) return;
        try {
            thread_ = std::thread([this, path] { whole_ = digestAll(path); });
        } catch (const std::system_error&) {
            // No thread: finish() reads every page itself.
        }
    }
    ~StartDigests() { stop(); }

    // Waits for the thread (asking it to give up first when `early`). Then whole() tells
    // whether every page was digested.
    void stop(bool early = true) {
        if (early) stopping_ = true;
        if (thread_.joinable()) thread_.join();
    }
    bool whole() const { return whole_; }
    uint32_t pageCount() const { return uint32_t(digests_.size() / kDigestSize); }
    const uint8_t* digest(uint32_t page) const {
        return digests_.data() + size_t(page) * kDigestSize;
    }

  private:
    bool digestAll(const std::filesystem::path& path) noexcept {
        try {
            OpenFailure failure;
            std::string message;
            File file = File::open(path, FileMode::Read, failure, message);
            if (!file) return false;
            constexpr uint32_t kPagesARead = 16;
            std::vector<uint8_t> buffer(size_t(kPagesARead) * pageSize_);
            const uint32_t count = pageCount();
            for (uint32_t first = 0; first < count; first += kPagesARead) {
                if (stopping_) return false;
                const uint32_t n = std::min(kPagesARead, count - first);
                file.readAt(buffer.data(), size_t(n) * pageSize_, uint64_t(first) * pageSize_);
                for (uint32_t i = 0; i < n; ++i) {
                    const journal::Digest d =
                        journal::sha256(buffer.data() + size_t(i) * pageSize_, pageSize_);
                    std::memcpy(digests_.data() + size_t(first + i) * kDigestSize, d.data(),
                                kDigestSize);
                }
            }
            return true;
        } catch (...) {
            return false;  // finish() reads the pages itself
        }
    }

    uint32_t pageSize_;
    std::vector<uint8_t> digests_;
    std::atomic<bool> stopping_{false};
    bool whole_ = false;  // written by the thread, read after join()
    std::thread thread_;
};

// What the commits wrote. A commit hands its journal over and it is only kept: the commit is
// the moment the transfer holds most memory, so the journals are read when the image is made.
struct UndoCapture::State {
    std::vector<Pager::WrittenJournal> journals;  // every commit's, in order

    // Filled by read():
    bool broken = false;
    uint32_t pageSize = 0;
    uint32_t pageCountBefore = 0;
    uint32_t lowestPageCount = UINT32_MAX;         // the fewest pages the file had between commits
    std::map<uint32_t, const uint8_t*> originals;  // into the pages `journals` hold
    // By page: its digest as the latest commit that wrote it left it (its journal has it), so
    // that the fingerprint need not read it again; empty for a page no commit wrote, or that the
    // latest cut off. A cut page lies at or past lowestPageCount.
    std::vector<std::optional<journal::Digest>> after;

    void take(Pager::WrittenJournal&& written) { journals.push_back(std::move(written)); }

    void read() {
        for (const Pager::WrittenJournal& written : journals) {
            journal::Decoded decoded = journal::decodeHead(written.head);
            bool whole = decoded.shape == journal::Shape::Complete;
            size_t held = 0;
            for (journal::Entry& e : decoded.journal.entries) {
                if (!e.hasOriginal) continue;
                if (held == written.originals.size()) {
                    whole = false;
                    break;
                }
                e.original = written.originals[held++]->data();
            }
            if (!whole || held != written.originals.size()) {
                broken = true;
                return;
            }
            const journal::Journal& j = decoded.journal;
            if (&written == &journals.front()) {
                pageSize = j.pageSize;
                pageCountBefore = j.pageCountBefore;
            }
            lowestPageCount = std::min({lowestPageCount, j.pageCountBefore, j.pageCountAfter});
            // The first original of a page is the page as it was before the capture: nothing
            // else writes the file while this process holds it.
            for (const journal::Entry& e : j.entries) {
                if (e.page >= after.size()) after.resize(size_t(e.page) + 1);
                after[e.page] = e.cut ? std::nullopt : std::optional<journal::Digest>(e.after);
                if (!e.original || e.page >= pageCountBefore) continue;
                originals.emplace(e.page, e.original);
            }
        }
    }

    const journal::Digest* afterOf(uint32_t page) const {
        return page < after.size() && after[page] ? &*after[page] : nullptr;
    }
};

UndoCapture::UndoCapture(Database& database)
    : pager_(database.impl()->pagerHandle()), state_(std::make_shared<State>()) {
    std::weak_ptr<State> state = state_;
    pager_->setJournalObserver([state](Pager::WrittenJournal&& written) {
        if (auto held = state.lock()) held->take(std::move(written));
    });
    if (!pager_->inTransaction())
        startDigests_ =
            std::make_unique<StartDigests>(pager_->path(), pager_->pageSize(), pager_->pageCount());
}

UndoCapture::~UndoCapture() {
    if (pager_) pager_->setJournalObserver({});
}

bool UndoCapture::changed() const {
    return !state_->journals.empty();
}

void UndoCapture::finish(const ImageWriter& write) {
    pager_->setJournalObserver({});
    state_->read();
    const State& state = *state_;
    if (state.broken) throw notWhole("a commit's journal could not be read back");
    const uint32_t pageSize = pager_->pageSize();
    const uint32_t pageCountAfter = pager_->pageCount();
    const uint32_t pageCountBefore =
        state.journals.empty() ? pageCountAfter : state.pageCountBefore;
    // Pages the start digests may stand for when no commit wrote them: never past the file's end
    // since.
    uint32_t digested = 0;
    if (startDigests_) {
        startDigests_->stop(false);
        if (startDigests_->whole())
            digested = std::min(startDigests_->pageCount(), state.lowestPageCount);
    }
    // Written as it is made, so that the image never stands in memory beside the originals.
    journal::Sha256 checksum;
    std::vector<uint8_t> piece;
    auto emit = [&] {
        checksum.update(piece.data(), piece.size());
        write(piece.data(), piece.size());
        piece.clear();
    };
    piece.resize(kHeaderSize);
    std::memcpy(piece.data(), kMagic, sizeof kMagic);
    putU32(piece.data() + 8, pageSize);
    putU32(piece.data() + 12, pageCountBefore);
    putU32(piece.data() + 16, pageCountAfter);
    putU32(piece.data() + 20, uint32_t(state.originals.size()));
    emit();
    constexpr size_t kPieceBytes = size_t(64) << 10;
    for (uint32_t page = 0; page < pageCountAfter; ++page) {
        if (const journal::Digest* written = state.afterOf(page)) {
            piece.insert(piece.end(), written->begin(), written->end());
        } else if (page < digested) {
            const uint8_t* digest = startDigests_->digest(page);
            piece.insert(piece.end(), digest, digest + kDigestSize);
        } else {
            const PageRef now = pager_->read(page);
            const journal::Digest digest = journal::sha256(now->data(), now->size());
            piece.insert(piece.end(), digest.begin(), digest.end());
        }
        if (piece.size() >= kPieceBytes) emit();
    }
    startDigests_.reset();
    for (const auto& entry : state.originals) {
        piece.resize(piece.size() + 4);
        putU32(piece.data() + piece.size() - 4, entry.first);
        if (piece.size() >= kPieceBytes) emit();
    }
    emit();
    for (const auto& entry : state.originals) {
        checksum.update(entry.second, pageSize);
        write(entry.second, pageSize);
    }
    const journal::Digest digest = checksum.finish();
    write(digest.data(), digest.size());
}

std::vector<uint8_t> UndoCapture::finish() {
    std::vector<uint8_t> image;
    finish([&image](const uint8_t* data, size_t size) {
        image.insert(image.end(), data, data + size);
    });
    return image;
}

std::string undoDifference(const std::filesystem::path& database,
                           const std::vector<uint8_t>& image) {
    const Image decoded = decodeImage(image);
    const std::shared_ptr<Pager> pager = Pager::open(database, OpenMode::ReadOnly);
    return differenceOf(*pager, decoded);
}

UndoResult applyUndo(const std::filesystem::path& database, const std::vector<uint8_t>& image) {
    const Image decoded = decodeImage(image);
    const std::shared_ptr<Pager> pager = Pager::open(database, OpenMode::ReadWrite);
    UndoResult result;
    result.difference = differenceOf(*pager, decoded);
    if (!result.difference.empty()) {
        if (readsAsBefore(*pager, decoded)) {
            result.outcome = UndoResult::Outcome::AlreadyUndone;
            result.difference.clear();
        }
        return result;
    }
    ScopedTransaction<Pager> unit(*pager);
    // Pages the commits cut off come back first, so that every original has a place.
    while (pager->pageCount() < decoded.pageCountBefore) pager->append();
    for (size_t i = 0; i < decoded.pages.size(); ++i)
        std::memcpy(pager->write(decoded.pages[i]), decoded.original(i), decoded.pageSize);
    if (pager->pageCount() > decoded.pageCountBefore) pager->truncate(decoded.pageCountBefore);
    unit.commit();
    result.outcome = UndoResult::Outcome::Undone;
    return result;
}

namespace {

std::string hexOf(const journal::Digest& digest) {
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : digest) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

}  // namespace

std::string sha256Hex(const uint8_t* data, size_t size) {
    return hexOf(journal::sha256(data, size));
}

std::string sha256HexOfFile(const std::filesystem::path& path) {
    File file = File::open(path, FileMode::Read, "cannot read");
    const uint64_t size = file.size();
    journal::Sha256 checksum;
    std::vector<uint8_t> buffer(size_t(1) << 20);
    for (uint64_t at = 0; at < size;) {
        const size_t n = size_t(std::min<uint64_t>(buffer.size(), size - at));
        file.readAt(buffer.data(), n, at);
        checksum.update(buffer.data(), n);
        at += n;
    }
    return hexOf(checksum.finish());
}

}  // namespace jet
