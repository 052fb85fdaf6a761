// Undo image bytes. Layout, all integers little-endian:
//   header     magic "VUNDOIM1", page size u32, page count before u32, page count after u32,
//              original count u32                                                  (24 bytes)
//   after      SHA-256 of every page of the file as the commits left it   (32 x count after)
//   pages      page number u32 of every original, ascending                  (4 x originals)
//   originals  the pages as they were before the commits, in that order  (page size each)
//   digest     SHA-256 of everything before it                                     (32 bytes)
#include "jet/undo_image.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "jet/coding.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/error.h"
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

struct UndoCapture::State {
    bool started = false;
    bool broken = false;
    uint32_t pageSize = 0;
    uint32_t pageCountBefore = 0;
    std::map<uint32_t, std::vector<uint8_t>> originals;

    void take(const std::vector<uint8_t>& bytes) {
        const journal::Decoded decoded = journal::decode(bytes);
        if (decoded.shape != journal::Shape::Complete) {
            broken = true;
            return;
        }
        const journal::Journal& j = decoded.journal;
        if (!started) {
            started = true;
            pageSize = j.pageSize;
            pageCountBefore = j.pageCountBefore;
        }
        // The first original of a page is the page as it was before the capture: nothing else
        // writes the file while this process holds it.
        for (const journal::Entry& e : j.entries) {
            if (!e.original || e.page >= pageCountBefore || originals.contains(e.page)) continue;
            originals.emplace(e.page, std::vector<uint8_t>(e.original, e.original + j.pageSize));
        }
    }
};

UndoCapture::UndoCapture(Database& database)
    : pager_(database.impl()->pagerHandle()), state_(std::make_shared<State>()) {
    std::weak_ptr<State> state = state_;
    pager_->setJournalObserver([state](const std::vector<uint8_t>& bytes) {
        if (auto held = state.lock()) held->take(bytes);
    });
}

UndoCapture::~UndoCapture() {
    if (pager_) pager_->setJournalObserver({});
}

bool UndoCapture::changed() const {
    return state_->started;
}

std::vector<uint8_t> UndoCapture::finish() {
    pager_->setJournalObserver({});
    const State& state = *state_;
    if (state.broken) throw notWhole("a commit's journal could not be read back");
    const uint32_t pageSize = pager_->pageSize();
    const uint32_t pageCountAfter = pager_->pageCount();
    const uint32_t pageCountBefore = state.started ? state.pageCountBefore : pageCountAfter;
    std::vector<uint8_t> out(kHeaderSize + size_t(pageCountAfter) * kDigestSize +
                             state.originals.size() * (4 + size_t(pageSize)) + kDigestSize);
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    putU32(out.data() + 8, pageSize);
    putU32(out.data() + 12, pageCountBefore);
    putU32(out.data() + 16, pageCountAfter);
    putU32(out.data() + 20, uint32_t(state.originals.size()));
    uint8_t* at = out.data() + kHeaderSize;
    for (uint32_t page = 0; page < pageCountAfter; ++page, at += kDigestSize) {
        const PageRef now = pager_->read(page);
        const journal::Digest digest = journal::sha256(now->data(), now->size());
        std::memcpy(at, digest.data(), kDigestSize);
    }
    for (const auto& entry : state.originals) {
        putU32(at, entry.first);
        at += 4;
    }
    for (const auto& entry : state.originals) {
        std::memcpy(at, entry.second.data(), pageSize);
        at += pageSize;
    }
    const journal::Digest digest = journal::sha256(out.data(), size_t(at - out.data()));
    std::memcpy(at, digest.data(), kDigestSize);
    return out;
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

std::string sha256Hex(const uint8_t* data, size_t size) {
    static const char kHex[] = "0123456789abcdef";
    const journal::Digest digest = journal::sha256(data, size);
    std::string text;
    for (uint8_t b : digest) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

}  // namespace jet
