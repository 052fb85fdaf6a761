// Damaged and hostile files: every mutation must end in a jet::Error that names the file, never a
// crash, a hang or a read outside a page (CI runs this under AddressSanitizer).
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "jet/coding.h"
#include "jet/database.h"
#include "jet/header.h"
#include "support/error_number.h"
#include "support/test_support.h"

namespace {

using testing_support::errorNumberOf;
using testing_support::fixturePath;
using testing_support::readFile;
using testing_support::TempDir;

using Image = std::vector<uint8_t>;

Image load(const std::string& fixture) {
    std::string s = readFile(fixturePath(fixture));
    return Image(s.begin(), s.end());
}

void save(const std::filesystem::path& path, const Image& image) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
}

// Opens the file and reads everything a user of the engine could ask for.
void readEverything(const std::filesystem::path& path) {
    auto db = jet::Database::open(path, jet::OpenMode::ReadOnly);
    for (const auto& name : db->tableNames(true)) {
        jet::Table table = db->table(name);
        table.scan([](jet::RowId, const jet::Row&) { return true; });
        for (jet::RowId id : table.rowIds()) table.read(id);
    }
}

// The page and slot offset of row `row` on `page`.
size_t rowStart(const Image& image, uint32_t page, int row) {
    size_t base = size_t(page) * 4096;
    return base + (jet::getU16(&image[base + 14 + 2 * row]) & 0x1FFF);
}

// The first data page owned by table `tdefPage`.
uint32_t firstDataPage(const Image& image, uint32_t tdefPage) {
    for (uint32_t p = 1; p < image.size() / 4096; ++p)
        if (image[p * 4096] == 0x01 && jet::getU32(&image[p * 4096 + 4]) == tdefPage) return p;
    return 0;
}

void setHeaderField(Image& image, size_t offset, const std::vector<uint8_t>& bytes) {
    jet::applyHeaderMask(image.data(), 4);
    std::copy(bytes.begin(), bytes.end(), image.begin() + offset);
    jet::applyHeaderMask(image.data(), 4);
}

struct Mutation {
    const char* name;
    std::function<void(Image&)> apply;
    jet::ErrorCode expected;
};

// overflowTestV2000: the catalog's TDEF on page 2; Table1's TDEF found through its data page.
const std::vector<Mutation>& mutations() {
    using jet::ErrorCode;
    static const std::vector<Mutation> list = {
        {"empty file", [](Image& m) { m.clear(); }, ErrorCode::NotADatabase},
        {"truncated inside the header", [](Image& m) { m.resize(100); }, ErrorCode::NotADatabase},
        {"truncated before the catalog", [](Image& m) { m.resize(4096 * 2); },
         ErrorCode::NotADatabase},
        {"truncated to half", [](Image& m) { m.resize(m.size() / 2); }, ErrorCode::Corrupt},
        {"text file renamed",
         [](Image& m) {
             std::string text = "Name,Amount\nSomchai,100\n";
             m.assign(text.begin(), text.end());
         },
         ErrorCode::NotADatabase},
        {"wrong magic", [](Image& m) { m[1] = 0x7F; }, ErrorCode::NotADatabase},
        {"wrong format name", [](Image& m) { m[4] = 'X'; }, ErrorCode::NotADatabase},
        {"later format version", [](Image& m) { m[0x14] = 3; }, ErrorCode::Unsupported},
        {"ACE format name", [](Image& m) { std::copy_n("Standard ACE DB", 15, m.begin() + 4); },
         ErrorCode::Unsupported},
        {"encryption key set",
         [](Image& m) {
             setHeaderField(m, 0x3E, {1, 2, 3, 4});
         },
         ErrorCode::Unsupported},
        {"password set",
         [](Image& m) {
             jet::applyHeaderMask(m.data(), 4);
             m[0x42] ^= 'x';
             jet::applyHeaderMask(m.data(), 4);
         },
         ErrorCode::PasswordProtected},
        {"catalog definition chained to a page past the end",
         [](Image& m) { jet::putU32(&m[2 * 4096 + 4], 0x00FFFFFF); }, ErrorCode::Corrupt},
        {"catalog definition chained to itself", [](Image& m) { jet::putU32(&m[2 * 4096 + 4], 2); },
         ErrorCode::Corrupt},
        {"catalog definition page of the wrong type", [](Image& m) { m[2 * 4096] = 0x01; },
         ErrorCode::Corrupt},
        {"catalog usage map past the end",
         [](Image& m) { jet::putU24(&m[2 * 4096 + 55 + 1], 0x00FFFFFF); }, ErrorCode::Corrupt},
        {"absurd column count", [](Image& m) { jet::putU16(&m[2 * 4096 + 45], 0xFFFF); },
         ErrorCode::Corrupt},
        {"catalog data page claims too many rows",
         [](Image& m) { jet::putU16(&m[firstDataPage(m, 2) * 4096 + 12], 0xFFFF); },
         ErrorCode::Corrupt},
        {"catalog row offset past the page",
         [](Image& m) { jet::putU16(&m[firstDataPage(m, 2) * 4096 + 14], 0x0FFF); },
         ErrorCode::Corrupt},
        {"catalog row with an absurd column count",
         [](Image& m) { jet::putU16(&m[rowStart(m, firstDataPage(m, 2), 0)], 0xFFFF); },
         ErrorCode::Corrupt},
    };
    return list;
}

TEST(DamagedFiles, EveryMutationIsAnErrorNamingTheFile) {
    const Image original = load("overflowTestV2000.mdb");
    TempDir dir;
    int n = 0;
    for (const auto& mutation : mutations()) {
        SCOPED_TRACE(mutation.name);
        Image image = original;
        mutation.apply(image);
        auto path = dir / ("damaged" + std::to_string(n++) + ".mdb");
        save(path, image);
        std::string message;
        EXPECT_EQ(errorNumberOf<jet::Error>([&] { readEverything(path); }, &message),
                  mutation.expected)
            << message;
        EXPECT_NE(message.find(path.string()), std::string::npos) << message;
    }
}

// Long values and overflow pointers of Table1 pointing nowhere or at themselves.
TEST(DamagedFiles, BrokenRowPointersAreReported) {
    const Image original = load("overflowTestV2000.mdb");
    TempDir dir;
    auto db = jet::Database::open(fixturePath("overflowTestV2000.mdb"), jet::OpenMode::ReadOnly);
    uint32_t tdefPage = 0;
    jet::Table table = db->table("Table1");
    for (jet::RowId id : table.rowIds()) tdefPage = id.page;  // a data page of Table1
    ASSERT_NE(tdefPage, 0u);
    tdefPage = jet::getU32(&original[tdefPage * 4096 + 4]);
    uint32_t page = firstDataPage(original, tdefPage);

    // Every overflow pointer slot of Table1 redirected: past the end, then to itself.
    int redirected = 0;
    for (uint32_t target : {0x00FFFFFFu, page}) {
        Image image = original;
        for (uint32_t p = 1; p < image.size() / 4096; ++p) {
            size_t base = size_t(p) * 4096;
            if (image[base] != 0x01 || jet::getU32(&image[base + 4]) != tdefPage) continue;
            for (int r = 0; r < jet::getU16(&image[base + 12]); ++r) {
                uint16_t slot = jet::getU16(&image[base + 14 + 2 * r]);
                if ((slot & 0xC000) != 0x4000) continue;
                size_t start = base + (slot & 0x1FFF);
                image[start] = uint8_t(r);
                jet::putU24(&image[start + 1], target == page ? p : target);
                ++redirected;
            }
        }
        auto path = dir / ("pointer" + std::to_string(target) + ".mdb");
        save(path, image);
        EXPECT_THROW(readEverything(path), jet::Error);
    }
    EXPECT_GT(redirected, 0);
}

// Random byte damage over the pages that matter: any outcome but a crash or a hang is acceptable,
// and a failure is always a jet::Error naming the file.
TEST(DamagedFiles, RandomByteDamageNeverCrashes) {
    const Image original = load("delColTestV2000.mdb");
    TempDir dir;
    std::mt19937 random(20240601);
    const uint32_t pages = uint32_t(original.size() / 4096);
    int errors = 0;
    for (int round = 0; round < 200; ++round) {
        Image image = original;
        int flips = 1 + int(random() % 8);
        uint32_t page = 1 + random() % (pages - 1);
        for (int i = 0; i < flips; ++i) {
            size_t offset = size_t(page) * 4096 + random() % 4096;
            image[offset] = uint8_t(random());
        }
        auto path = dir / ("random" + std::to_string(round) + ".mdb");
        save(path, image);
        try {
            readEverything(path);
        } catch (const jet::Error& e) {
            ++errors;
            EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos) << e.what();
        }
        std::filesystem::remove(path);
    }
    EXPECT_GT(errors, 0);
}

// The same for a Jet 3 file (2048-byte pages, one-byte row offsets and jump tables): damage lands
// on table definitions and data pages only, where the Jet 3 layouts are read.
TEST(DamagedFiles, RandomDamageToJet3TablesNeverCrashes) {
    const Image original = load("nwind.mdb");
    const size_t pageSize = 2048;
    std::vector<uint32_t> targets;
    for (uint32_t p = 1; p < original.size() / pageSize; ++p) {
        const uint8_t* page = &original[p * pageSize];
        bool lval = std::equal(page + 4, page + 8, "LVAL");
        if (page[0] == 0x02 || (page[0] == 0x01 && !lval)) targets.push_back(p);
    }
    ASSERT_GT(targets.size(), 20u);
    TempDir dir;
    std::mt19937 random(1997);
    auto path = dir / "nwind-damaged.mdb";
    for (int round = 0; round < 40; ++round) {
        Image image = original;
        uint32_t page = targets[random() % targets.size()];
        for (int i = 0; i < 6; ++i)
            image[page * pageSize + random() % pageSize] = uint8_t(random());
        save(path, image);
        try {
            readEverything(path);
        } catch (const jet::Error& e) {
            EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos) << e.what();
        }
    }
}

}  // namespace
