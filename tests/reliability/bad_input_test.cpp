// Hostile input text files through the line reader: every file yields lines (or a run-time
// error when it cannot be opened), never a crash, a hang or text that is not UTF-8.

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "layout/line_reader.h"
#include "report/run_time_error.h"
#include "support/test_support.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Characters in `text` when it is well-formed UTF-8, or -1.
long utf8Characters(const std::string& text) {
    long count = 0;
    for (size_t i = 0; i < text.size(); ++count) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80       ? 1
                              : lead >> 5 == 6  ? 2
                              : lead >> 4 == 14 ? 3
                              : lead >> 3 == 30 ? 4
                                                : 0;
        if (length == 0 || i + length > text.size()) return -1;
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return -1;
        }
        i += length;
    }
    return count;
}

std::vector<std::string> readAll(const fs::path& path) {
    layout::InputTextFile file;
    file.open(path);
    std::vector<std::string> lines;
    std::string line;
    while (file.readLine(line)) lines.push_back(line);
    EXPECT_TRUE(file.atEnd());
    return lines;
}

class BadInputTest : public ::testing::Test {
  protected:
    testing_support::TempDir dir_;
    fs::path file_ = dir_ / "input.txt";
};

TEST_F(BadInputTest, EmptyAndBinaryFilesGiveWellFormedLines) {
    writeBytes(file_, "");
    EXPECT_TRUE(readAll(file_).empty());

    // Every byte value, NULs included, in a quarter megabyte of noise.
    std::mt19937 random(874);
    std::string noise(256 * 1024, '\0');
    for (char& c : noise) c = static_cast<char>(random() & 0xFF);
    writeBytes(file_, noise);
    const auto lines = readAll(file_);
    size_t bytes = 0, carriageReturns = 0;
    for (char c : noise) carriageReturns += c == '\r';
    for (const auto& line : lines) {
        const long characters = utf8Characters(line);
        ASSERT_GE(characters, 0) << "a line of the binary file is not UTF-8";
        bytes += static_cast<size_t>(characters);
    }
    // One character per byte that is not part of a line end.
    size_t lineEndBytes = carriageReturns;
    for (size_t i = 0; i + 1 < noise.size(); ++i) {
        lineEndBytes += noise[i] == '\r' && noise[i + 1] == '\n';
    }
    EXPECT_EQ(bytes, noise.size() - lineEndBytes);
    EXPECT_GE(lines.size(), carriageReturns);
}

TEST_F(BadInputTest, BytesWithoutAThaiCharacterStillDecodeOneCharacterEach) {
    std::string high;
    for (int b = 0x80; b <= 0xFF; ++b) high += static_cast<char>(b);
    writeBytes(file_, high + "\r\n" + high);
    const auto lines = readAll(file_);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], lines[1]);
    EXPECT_EQ(utf8Characters(lines[0]), 128);
}

TEST_F(BadInputTest, AFiftyMegabyteLineIsOneLine) {
    std::string line(50 * 1024 * 1024, 'x');
    for (size_t i = 0; i < line.size(); i += 4096) line[i] = '\xA1';  // a Thai letter now and then
    writeBytes(file_, line + "\r\nnext");
    const auto lines = readAll(file_);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(utf8Characters(lines[0]), static_cast<long>(line.size()));
    EXPECT_EQ(lines[1], "next");
}

TEST_F(BadInputTest, FortyThousandLinesAreAllRead) {
    std::string text;
    for (int i = 1; i <= 40000; ++i) text += "E" + std::to_string(i) + ",1.00\r\n";
    writeBytes(file_, text);
    const auto lines = readAll(file_);
    ASSERT_EQ(lines.size(), 40000u);
    EXPECT_EQ(lines[32767], "E32768,1.00");
    EXPECT_EQ(lines.back(), "E40000,1.00");
}

TEST_F(BadInputTest, AFileCutShortOrDeletedWhileReadEndsCleanly) {
    std::string text;
    std::vector<std::string> expected;
    for (int i = 0; i < 2000; ++i) {
        expected.push_back("line " + std::to_string(i) + std::string(60, char('a' + i % 26)));
        text += expected.back() + "\r\n";
    }
    writeBytes(file_, text);
    {
        layout::InputTextFile file;
        file.open(file_);
        std::string line;
        ASSERT_TRUE(file.readLine(line));
        fs::resize_file(file_, 5000);  // cut to a few lines, mid-line
        size_t n = 1;
        while (file.readLine(line)) {
            ASSERT_LT(n, expected.size());
            // Lines come from what was read before the cut or what is left of the file.
            EXPECT_EQ(expected[n].compare(0, line.size(), line), 0) << "line " << n;
            ++n;
        }
        EXPECT_LT(n, expected.size());
    }
    writeBytes(file_, text);
    {
        layout::InputTextFile file;
        file.open(file_);
        std::string line;
        ASSERT_TRUE(file.readLine(line));
        fs::remove(file_);  // the open file stays readable to the end
        size_t n = 1;
        while (file.readLine(line)) EXPECT_EQ(line, expected.at(n++));
        EXPECT_EQ(n, expected.size());
    }
}

TEST_F(BadInputTest, WhatCannotBeOpenedIsARunTimeError) {
    layout::InputTextFile file;
    for (const fs::path& path : {dir_ / "missing.txt", dir_.path()}) {
        try {
            file.open(path);
            // A folder may open on some systems; reading it must still fail cleanly.
            std::string line;
            while (file.readLine(line)) {
            }
        } catch (const report::RunTimeError& e) {
            EXPECT_TRUE(e.number() == 53 || e.number() == 75 || e.number() == 57)
                << path << ": " << e.number() << " " << e.what();
        }
    }
}

}  // namespace
}  // namespace reliability
