// A new database must look like the one the Jet engine itself writes (emptyJet4.mdb), page for
// page, and be readable by an independent reader (mdbtools).
#include <gtest/gtest.h>

#include <cstring>

#include "jet/coding.h"
#include "jet/create_test_pager.h"
#include "jet/empty_database.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

// The creation date stored in emptyJet4.mdb; creating with it makes the date fields comparable.
constexpr double kFixtureCreationDate = 42850.48191293982;

std::string page(const std::string& file, uint32_t n) {
    return file.substr(n * 4096, 4096);
}

// Offset of the first byte where two pages differ, or -1: keeps failure messages short.
long firstDifference(const std::string& a, const std::string& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i]) return static_cast<long>(i);
    }
    return a.size() == b.size() ? -1 : static_cast<long>(std::min(a.size(), b.size()));
}

// Zeroes the TDEF fields that Jet fills with leftovers of its memory: header bytes 25..39, the
// fixed-offset field of variable columns, the flag byte of unused index column slots and the
// word after each real index's root page.
std::string withoutTdefJunk(std::string p) {
    auto* b = reinterpret_cast<uint8_t*>(p.data());
    std::memset(b + 25, 0, 15);
    uint16_t columns = jet::getU16(b + 45);
    uint32_t realIndexes = jet::getU32(b + 51);
    size_t pos = 63 + 12 * realIndexes;
    for (uint16_t c = 0; c < columns; ++c, pos += 25) {
        if (!(b[pos + 15] & 0x01)) jet::putU16(b + pos + 21, 0);
    }
    for (uint16_t c = 0; c < columns; ++c) pos += 2 + jet::getU16(b + pos);
    for (uint32_t r = 0; r < realIndexes; ++r, pos += 52) {
        for (int slot = 0; slot < 10; ++slot) {
            if (jet::getU16(b + pos + 4 + 3 * slot) == 0xFFFF) b[pos + 6 + 3 * slot] = 0;
        }
        jet::putU32(b + pos + 42, 0);
    }
    return p;
}

std::filesystem::path createEmpty(const TempDir& dir, double date) {
    auto path = dir / "new.mdb";
    MemoryPager pager(path);
    pager.begin();
    jet::create::writeEmptyDatabase(pager, date);
    pager.commit();
    pager.save();
    return path;
}

}  // namespace

TEST(CreateDatabase, MatchesTheJetMadeEmptyFilePageByPage) {
    TempDir dir;
    std::string made = readFile(createEmpty(dir, kFixtureCreationDate));
    std::string jet = readFile(fixturePath("emptyJet4.mdb"));
    ASSERT_EQ(made.size(), jet.size());

    // Header: only the code page differs (874 for Thai instead of 1252). It lies in the masked
    // region, so compare the masked bytes through their XOR.
    std::string ours = page(made, 0), theirs = page(jet, 0);
    for (size_t i = 0; i < 4096; ++i) {
        if (i == 0x3C || i == 0x3D) continue;
        EXPECT_EQ(ours[i], theirs[i]) << "header byte " << i;
    }
    auto x = [&](size_t i) { return uint8_t(ours[i] ^ theirs[i]); };
    EXPECT_EQ(x(0x3C), uint8_t(0x6A ^ 0xE4));  // 874 = 0x036A, 1252 = 0x04E4
    EXPECT_EQ(x(0x3D), uint8_t(0x03 ^ 0x04));

    // The four system tables' definitions: equal once Jet's leftover bytes are set aside.
    for (uint32_t n = 2; n <= 5; ++n) {
        EXPECT_EQ(firstDifference(withoutTdefJunk(page(made, n)), withoutTdefJunk(page(jet, n))),
                  -1)
            << "TDEF " << n;
    }
    // Global map, usage maps, index pages, catalog and permission rows: byte for byte.
    for (uint32_t n : {1u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u, 14u, 15u, 16u, 17u, 18u}) {
        EXPECT_EQ(firstDifference(page(made, n), page(jet, n)), -1) << "page " << n;
    }
}

TEST(CreateDatabase, SystemTablesReadByMdbtoolsLikeTheJetFile) {
    TempDir dir;
    auto made = createEmpty(dir, kFixtureCreationDate);
    auto jetFile = fixturePath("emptyJet4.mdb");
    int status = 0;
    EXPECT_EQ(runCommand("mdb-tables -S -1 " + made.string(), &status),
              "MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\n");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(runCommand("mdb-tables -1 " + made.string()), "");
    for (const char* table : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
        EXPECT_EQ(runCommand(std::string("mdb-export ") + made.string() + " " + table),
                  runCommand(std::string("mdb-export ") + jetFile.string() + " " + table))
            << table;
    }
}

TEST(CreateDatabase, HeaderCarriesDateMaskedEmptyPassword) {
    // A different date changes exactly the date and the password mask derived from it.
    TempDir a, b;
    std::string first = page(readFile(createEmpty(a, 45000.25)), 0);
    std::string second = page(readFile(createEmpty(b, 46000.75)), 0);
    for (size_t i = 0; i < 4096; ++i) {
        bool dateOrPassword = (i >= 0x42 && i < 0x6A) || (i >= 0x72 && i < 0x7A);
        if (!dateOrPassword) {
            EXPECT_EQ(first[i], second[i]) << "header byte " << i;
        }
    }
    // Unmasked password bytes are the 4-byte truncated date repeated: XOR of the two files'
    // masked bytes equals the XOR of the two dates' masks (45000 ^ 46000), ten times over.
    uint32_t expected = 45000u ^ 46000u;
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(uint8_t(first[0x42 + i] ^ second[0x42 + i]), uint8_t(expected >> (8 * (i % 4))));
    }
}

TEST(CreateDatabase, RefusesANonEmptyFile) {
    TempDir dir;
    MemoryPager pager(dir / "x.mdb");
    pager.begin();
    pager.append();
    EXPECT_THROW(jet::create::writeEmptyDatabase(pager, 45000.0), jet::Error);
}
