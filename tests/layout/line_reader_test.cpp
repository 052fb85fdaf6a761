#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "layout/line_reader.h"
#include "report/run_time_error.h"
#include "support/error_number.h"
#include "support/test_support.h"

namespace {

using report::RunTimeError;
using testing_support::errorNumberOf;
using testing_support::TempDir;

std::vector<std::string> readAll(const std::filesystem::path& path) {
    layout::InputTextFile file;
    file.open(path);
    std::vector<std::string> lines;
    std::string line;
    while (!file.atEnd()) {
        EXPECT_TRUE(file.readLine(line));
        lines.push_back(line);
    }
    EXPECT_FALSE(file.readLine(line));
    return lines;
}

std::filesystem::path writeBytes(const TempDir& dir, const std::string& bytes) {
    const auto path = dir / "input.txt";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

using Lines = std::vector<std::string>;

TEST(InputTextFile, EndsLinesAtCarriageReturnsAndKeepsLoneLineFeeds) {
    TempDir dir;
    EXPECT_EQ(readAll(writeBytes(dir, "")), Lines{});
    EXPECT_EQ(readAll(writeBytes(dir, "A")), Lines{"A"});
    EXPECT_EQ(readAll(writeBytes(dir, "A\r\n")), Lines{"A"});
    EXPECT_EQ(readAll(writeBytes(dir, "A\r\nB\rC")), (Lines{"A", "B", "C"}));
    EXPECT_EQ(readAll(writeBytes(dir, "A\nB\r\n")), Lines{"A\nB"});
    EXPECT_EQ(readAll(writeBytes(dir, "A\r\n\r\nB\r\n\r\n")), (Lines{"A", "", "B", ""}));
    EXPECT_EQ(readAll(writeBytes(dir, "\r\r\n")), (Lines{"", ""}));
    EXPECT_EQ(readAll(writeBytes(dir, "A\r\n\n")), (Lines{"A", "\n"}));
}

TEST(InputTextFile, DecodesThaiSingleByteText) {
    TempDir dir;
    // "สมชาย" then "๑๒" in Windows-874.
    EXPECT_EQ(readAll(writeBytes(dir, "\xCA\xC1\xAA\xD2\xC2,1\r\n\xF1\xF2")),
              (Lines{"สมชาย,1", "๑๒"}));
}

TEST(InputTextFile, StreamsLinesLongerThanItsBufferAndLineEndsAcrossBufferEdges) {
    TempDir dir;
    const std::string longLine(200000, 'x');
    std::string bytes = longLine + "\r\n";
    // Put a CR LF pair exactly across the 64 KiB buffer boundary.
    bytes += std::string(65536 - bytes.size() % 65536 - 1, 'y') + "\r\nlast";
    const Lines lines = readAll(writeBytes(dir, bytes));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], longLine);
    EXPECT_EQ(lines[1].find_first_not_of('y'), std::string::npos);
    EXPECT_EQ(lines[2], "last");
}

// The progress of a transfer: bytes taken by the lines read, line ends included, across
// buffer refills.
TEST(InputTextFile, CountsTheBytesOfTheLinesRead) {
    TempDir dir;
    const std::string first(70000, 'x');
    layout::InputTextFile file;
    file.open(writeBytes(dir, first + "\r\nAB\rC"));
    EXPECT_EQ(file.fileSize(), 70000u + 2 + 3 + 1);
    EXPECT_EQ(file.bytesRead(), 0u);
    std::string line;
    ASSERT_TRUE(file.readLine(line));
    EXPECT_EQ(file.bytesRead(), 70002u);
    ASSERT_TRUE(file.readLine(line));
    EXPECT_EQ(file.bytesRead(), 70005u);
    ASSERT_TRUE(file.readLine(line));
    EXPECT_EQ(file.bytesRead(), file.fileSize());
}

TEST(InputTextFile, OpeningWhatIsNoReadableFileFailsWithAFileError) {
    TempDir dir;
    layout::InputTextFile file;
    std::string message;
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { file.open(dir / "missing.txt"); }, &message), 53);
    EXPECT_EQ(message, "File not found");
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { file.open(dir.path()); }), 75);
    EXPECT_FALSE(file.isOpen());
}

}  // namespace
