// Journal bytes. Layout, all integers little-endian:
//   header   magic "VJNLPG02", page size u32, page count before u32, page count after u32,
//            entry count u32, zero u64                                              (32 bytes)
//   entries  page u32, flags u32 (1: an original follows; 2: the commit cuts the page off),
//            digest before, digest after                                        (72 each)
//   digest   SHA-256 of header and entries                                          (32 bytes)
//   pages    the original of every entry flagged 1, in entry order              (page size each)
//   trailer  "VJNLEND!"                                                              (8 bytes)
// The digests of the originals are checked against the entries when the journal is read, so a
// journal that verifies is whole down to its last byte.
#include "jet/journal.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

#include "jet/coding.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
#include <immintrin.h>
#define VELTRA_SHA_INSTRUCTIONS 1
#endif

namespace jet::journal {

namespace {

constexpr char kMagic[8] = {'V', 'J', 'N', 'L', 'P', 'G', '0', '2'};
constexpr size_t kMagicStem = 6;  // "VJNLPG": this engine's journals of every version
constexpr size_t kHeaderSize = 32;
constexpr size_t kEntrySize = 72;
constexpr size_t kDigestSize = 32;
constexpr size_t kTrailerSize = 8;
constexpr uint32_t kHasOriginal = 1;
constexpr uint32_t kCut = 2;

// ---- SHA-256 (FIPS 180-4) ----

constexpr uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t rotr(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

void compress(uint32_t state[8], const uint8_t* block) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) w[i] = getU32BE(block + 4 * i);
    for (int i = 16; i < 64; ++i) {
        uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
        uint32_t t1 =
            h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
        uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

#ifdef VELTRA_SHA_INSTRUCTIONS
// The same block function on the processor's SHA extensions, where it has them: a commit digests
// every page it writes twice, and this is several times faster than the portable one.
bool hasShaInstructions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d) || !(b & (1u << 29))) return false;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    return (c & (1u << 19)) && (c & (1u << 9));  // SSE4.1 and SSSE3
}

__attribute__((target("sha,sse4.1,ssse3"))) void compressWithShaInstructions(uint32_t state[8],
                                                                             const uint8_t* block) {
    // The instructions keep the state as ABEF and CDGH.
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    const __m128i abefBefore = abef, cdghBefore = cdgh;
    // Each 32-bit word of the block is big-endian.
    const __m128i swap = _mm_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
    __m128i w[4];
    for (int i = 0; i < 16; ++i) {
        __m128i& words = w[i % 4];  // words 4i to 4i + 3
        if (i < 4) {
            words = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i)), swap);
        } else {
            const __m128i& back3 = w[(i + 1) % 4];  // words 4i - 12 to 4i - 9
            const __m128i& back2 = w[(i + 2) % 4];
            const __m128i& back1 = w[(i + 3) % 4];
            const __m128i sum =
                _mm_add_epi32(_mm_sha256msg1_epu32(words, back3), _mm_alignr_epi8(back1, back2, 4));
            words = _mm_sha256msg2_epu32(sum, back1);
        }
        __m128i k =
            _mm_add_epi32(words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound + 4 * i)));
        cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
        k = _mm_shuffle_epi32(k, 0x0E);
        abef = _mm_sha256rnds2_epu32(abef, cdgh, k);
    }
    abef = _mm_add_epi32(abef, abefBefore);
    cdgh = _mm_add_epi32(cdgh, cdghBefore);
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    dcba = _mm_blend_epi16(feba, dchg, 0xF0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), hgfe);
}

#endif

using BlockFunction = void (*)(uint32_t*, const uint8_t*);

// Chosen on first use, not at start: a commit can run before this file's statics are made
// (the tests' child processes do their work while the program starts).
BlockFunction blockFunction() {
#ifdef VELTRA_SHA_INSTRUCTIONS
    static const BlockFunction chosen =
        hasShaInstructions() ? compressWithShaInstructions : compress;
    return chosen;
#else
    return compress;
#endif
}

}  // namespace

namespace {

constexpr uint32_t kInitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

// Pads the last `rest` bytes (fewer than a block) of a message of `size` bytes and runs them.
Digest finishBlocks(uint32_t state[8], const uint8_t* last, size_t rest, uint64_t size) {
    const BlockFunction block = blockFunction();
    uint8_t tail[128] = {};
    if (rest) std::memcpy(tail, last, rest);
    tail[rest] = 0x80;
    size_t tailSize = rest + 1 + 8 <= 64 ? 64 : 128;
    const uint64_t bits = size * 8;
    for (int i = 0; i < 8; ++i) tail[tailSize - 1 - i] = uint8_t(bits >> (8 * i));
    for (size_t i = 0; i < tailSize; i += 64) block(state, tail + i);
    Digest out;
    for (int i = 0; i < 8; ++i) putU32BE(out.data() + 4 * i, state[i]);
    return out;
}

}  // namespace

Digest sha256(const uint8_t* data, size_t size) {
    uint32_t state[8];
    std::memcpy(state, kInitialState, sizeof state);
    const BlockFunction block = blockFunction();
    size_t whole = size - size % 64;
    for (size_t i = 0; i < whole; i += 64) block(state, data + i);
    return finishBlocks(state, data + whole, size - whole, size);
}

Sha256::Sha256() {
    std::memcpy(state_, kInitialState, sizeof state_);
}

void Sha256::update(const uint8_t* data, size_t size) {
    const BlockFunction block = blockFunction();
    total_ += size;
    if (pendingSize_ > 0) {
        const size_t taken = std::min(size, sizeof pending_ - pendingSize_);
        std::memcpy(pending_ + pendingSize_, data, taken);
        pendingSize_ += taken;
        data += taken;
        size -= taken;
        if (pendingSize_ < sizeof pending_) return;
        block(state_, pending_);
        pendingSize_ = 0;
    }
    const size_t whole = size - size % 64;
    for (size_t i = 0; i < whole; i += 64) block(state_, data + i);
    std::memcpy(pending_, data + whole, size - whole);
    pendingSize_ = size - whole;
}

Digest Sha256::finish() {
    return finishBlocks(state_, pending_, pendingSize_, total_);
}

std::vector<uint8_t> encodeHead(uint32_t pageSize, uint32_t pageCountBefore,
                                uint32_t pageCountAfter, const std::vector<ChangedPage>& pages) {
    const size_t tableEnd = kHeaderSize + pages.size() * kEntrySize;
    std::vector<uint8_t> out(tableEnd + kDigestSize);
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    putU32(out.data() + 8, pageSize);
    putU32(out.data() + 12, pageCountBefore);
    putU32(out.data() + 16, pageCountAfter);
    putU32(out.data() + 20, uint32_t(pages.size()));
    // Entries [from, to): their table rows and digests. Each entry's place is known in advance,
    // so the two halves are filled at once on two cores when the commit is large; the bytes are
    // the same either way.
    auto fill = [&](size_t from, size_t to) {
        uint8_t* entry = out.data() + kHeaderSize + from * kEntrySize;
        for (size_t i = from; i < to; ++i) {
            const ChangedPage& p = pages[i];
            putU32(entry, p.page);
            putU32(entry + 4, (p.before ? kHasOriginal : 0) | (p.after ? 0 : kCut));
            if (p.before) {
                Digest before = sha256(p.before, pageSize);
                std::memcpy(entry + 8, before.data(), kDigestSize);
            }
            if (p.after) {
                Digest after = sha256(p.after, pageSize);
                std::memcpy(entry + 8 + kDigestSize, after.data(), kDigestSize);
            }
            entry += kEntrySize;
        }
    };
    constexpr size_t kPagesWorthAThread = 256;
    const size_t half = pages.size() / 2;
    std::thread second;
    if (half >= kPagesWorthAThread && std::thread::hardware_concurrency() > 1) {
        try {
            second = std::thread(fill, half, pages.size());
        } catch (const std::system_error&) {
            // No thread to be had: this one does it all.
        }
    }
    fill(0, second.joinable() ? half : pages.size());
    if (second.joinable()) second.join();
    Digest table = sha256(out.data(), tableEnd);
    std::memcpy(out.data() + tableEnd, table.data(), kDigestSize);
    return out;
}

std::vector<uint8_t> encode(uint32_t pageSize, uint32_t pageCountBefore, uint32_t pageCountAfter,
                            const std::vector<ChangedPage>& pages) {
    std::vector<uint8_t> out = encodeHead(pageSize, pageCountBefore, pageCountAfter, pages);
    for (const ChangedPage& p : pages)
        if (p.before) out.insert(out.end(), p.before, p.before + pageSize);
    out.insert(out.end(), kEndMark.begin(), kEndMark.end());
    return out;
}

namespace {

// The header and the entries from the start of `bytes`, the entries' originals left null.
// Returns the head's size, or 0 when it is not a whole head of this engine (`result` then tells
// its shape).
size_t readHead(const std::vector<uint8_t>& bytes, Decoded& result) {
    if (bytes.empty()) {
        result.shape = Shape::Incomplete;  // created, never written
        return 0;
    }
    const size_t stem = std::min(bytes.size(), kMagicStem);
    if (std::memcmp(bytes.data(), kMagic, stem) != 0) return 0;  // Foreign
    result.shape = Shape::Incomplete;
    if (bytes.size() < sizeof kMagic) return 0;
    if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        result.shape = Shape::Foreign;  // another version of ours: it cannot be judged
        return 0;
    }
    if (bytes.size() < kHeaderSize) return 0;
    Journal& j = result.journal;
    j.pageSize = getU32(bytes.data() + 8);
    j.pageCountBefore = getU32(bytes.data() + 12);
    j.pageCountAfter = getU32(bytes.data() + 16);
    const uint64_t entries = getU32(bytes.data() + 20);
    const uint64_t tableEnd = kHeaderSize + entries * kEntrySize;
    if (bytes.size() < tableEnd + kDigestSize) return 0;
    const Digest table = sha256(bytes.data(), size_t(tableEnd));
    if (std::memcmp(table.data(), bytes.data() + tableEnd, kDigestSize) != 0) return 0;
    if (j.pageSize != 2048 && j.pageSize != 4096) return 0;
    j.entries.reserve(size_t(entries));
    for (uint64_t i = 0; i < entries; ++i) {
        const uint8_t* p = bytes.data() + kHeaderSize + i * kEntrySize;
        Entry e{};
        e.page = getU32(p);
        std::memcpy(e.before.data(), p + 8, kDigestSize);
        std::memcpy(e.after.data(), p + 8 + kDigestSize, kDigestSize);
        e.cut = (getU32(p + 4) & kCut) != 0;
        e.hasOriginal = (getU32(p + 4) & kHasOriginal) != 0;
        j.entries.push_back(e);
    }
    return size_t(tableEnd + kDigestSize);
}

}  // namespace

Decoded decodeHead(const std::vector<uint8_t>& head) {
    Decoded result;
    const size_t size = readHead(head, result);
    if (size == 0) return result;
    if (size != head.size()) return result;  // Incomplete: more than a head
    result.shape = Shape::Complete;
    return result;
}

Decoded decode(const std::vector<uint8_t>& bytes) {
    Decoded result;
    const size_t headSize = readHead(bytes, result);
    if (headSize == 0) return result;
    Journal& j = result.journal;
    uint64_t originals = 0;
    for (const Entry& e : j.entries) originals += e.hasOriginal ? 1 : 0;
    if (bytes.size() != headSize + originals * j.pageSize + kTrailerSize) return result;
    if (std::memcmp(bytes.data() + bytes.size() - kTrailerSize, kEndMark.data(), kTrailerSize) !=
        0) {
        return result;
    }
    const uint8_t* original = bytes.data() + headSize;
    for (Entry& e : j.entries) {
        if (!e.hasOriginal) continue;
        if (sha256(original, j.pageSize) != e.before) return result;
        e.original = original;
        original += j.pageSize;
    }
    result.shape = Shape::Complete;
    return result;
}

Verdict judge(const Journal& journal, uint64_t fileSize, const PageReader& read) {
    const uint64_t sizeBefore = uint64_t(journal.pageCountBefore) * journal.pageSize;
    const uint64_t sizeAfter = uint64_t(journal.pageCountAfter) * journal.pageSize;
    auto setAside = [](std::string reason) { return Verdict{Action::SetAside, std::move(reason)}; };
    // The commit moves the file's size from one count to the other, never outside them.
    const uint64_t smallest = std::min(sizeBefore, sizeAfter);
    const uint64_t largest = std::max(sizeBefore, sizeAfter);
    if (fileSize < smallest || fileSize > largest) {
        return setAside(
            "the file has " + std::to_string(fileSize) +
            " bytes; the journal was written for a file of " + std::to_string(sizeBefore) +
            (sizeAfter != sizeBefore ? " to " + std::to_string(sizeAfter) : "") + " bytes");
    }
    bool allBefore = fileSize == sizeBefore;
    bool allAfter = fileSize == sizeAfter;
    std::vector<uint8_t> page(journal.pageSize);
    for (const Entry& e : journal.entries) {
        const bool present = read(e.page, page.data());
        if (!e.original) {
            // A page the commit appends: whatever lies there is cut away by playback.
            if (!present || sha256(page.data(), page.size()) != e.after) allAfter = false;
            continue;
        }
        if (e.cut) {
            // Gone only once the commit cut the file; while there, it must be untouched.
            if (!present) {
                allBefore = false;
                continue;
            }
            allAfter = false;
            if (sha256(page.data(), page.size()) == e.before) continue;
            return setAside("page " + std::to_string(e.page) +
                            " reads neither as before nor as after the interrupted change");
        }
        if (!present) return setAside("page " + std::to_string(e.page) + " is missing");
        const Digest now = sha256(page.data(), page.size());
        const bool isBefore = now == e.before;
        const bool isAfter = now == e.after;
        if (!isBefore && !isAfter) {
            return setAside("page " + std::to_string(e.page) +
                            " reads neither as before nor as after the interrupted change");
        }
        allBefore = allBefore && isBefore;
        allAfter = allAfter && isAfter;
    }
    if (allBefore) return Verdict{Action::NothingToDo, {}};
    if (allAfter) return Verdict{Action::Finished, {}};
    return Verdict{Action::PlayBack, {}};
}

}  // namespace jet::journal
