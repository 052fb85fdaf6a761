#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "report/report_error.h"
#include "settings/ini_funcs.h"
#include "support/test_support.h"
#include "text/windows874.h"

namespace {

using settings::ReadINI;
using settings::WriteINI;
using testing_support::readFile;
using testing_support::TempDir;

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

class IniFuncsTest : public ::testing::Test {
  protected:
    std::string file() const { return (dir / "Import.INI").string(); }
    TempDir dir;
};

TEST_F(IniFuncsTest, AbsentFileSectionOrKeyYieldsTheDefault) {
    const std::string thai = "C:\\Backup\\ข้อมูลประวัติพนักงาน.txt";
    EXPECT_EQ(ReadINI(file(), "Sample", "TextFilePath", thai), thai);
    EXPECT_FALSE(std::filesystem::exists(file()));

    writeBytes(file(), "[Settings]\r\nCompanyCode=ACME\r\n");
    EXPECT_EQ(ReadINI(file(), "Other", "CompanyCode", "d"), "d");
    EXPECT_EQ(ReadINI(file(), "Settings", "SSTab1", "0"), "0");
    // The default goes through the same buffer: trailing blanks dropped, cut to 254.
    EXPECT_EQ(ReadINI(file(), "Settings", "SSTab1", "x  "), "x");
    EXPECT_EQ(ReadINI(file(), "Settings", "SSTab1", std::string(300, 'd')).size(), 254u);
    // A folder where the file should be cannot be read: no error, the default.
    std::filesystem::create_directory(dir / "Folder.INI");
    EXPECT_EQ(ReadINI((dir / "Folder.INI").string(), "Settings", "CompanyCode", "d"), "d");
}

TEST_F(IniFuncsTest, ReadingMatchesAsTheProfileFunctionsDo) {
    writeBytes(file(),
               "; leading comment\r\n"
               "orphan=before any section\r\n"
               "  [ settings ]  \r\n"
               "  companycode  =  ACME Co.  \r\n"
               "CompanyCode=second key loses\r\n"
               "Quoted=\"  keeps inner blanks  \"\r\n"
               "Single='x'\r\n"
               "Unbalanced=\"x\r\n"
               "Empty=\r\n"
               "EqualsInside=a=b\r\n"
               ";CompanyCode=commented\r\n"
               "[SETTINGS]\r\n"
               "Later=second section is never read\r\n");
    EXPECT_EQ(ReadINI(file(), "Settings", "CompanyCode", "d"), "ACME Co.");
    EXPECT_EQ(ReadINI(file(), "SETTINGS", "COMPANYCODE", "d"), "ACME Co.");
    EXPECT_EQ(ReadINI(file(), "Settings", "Quoted", "d"), "  keeps inner blanks  ");
    EXPECT_EQ(ReadINI(file(), "Settings", "Single", "d"), "x");
    EXPECT_EQ(ReadINI(file(), "Settings", "Unbalanced", "d"), "\"x");
    EXPECT_EQ(ReadINI(file(), "Settings", "Empty", "d"), "");
    EXPECT_EQ(ReadINI(file(), "Settings", "EqualsInside", "d"), "a=b");
    EXPECT_EQ(ReadINI(file(), "Settings", "Later", "d"), "d");
    EXPECT_EQ(ReadINI(file(), "", "orphan", "d"), "d");
}

TEST_F(IniFuncsTest, WritesCreateReplaceInPlaceAndKeepEverythingElse) {
    WriteINI(file(), "Settings", "CompanyCode", "Sample");
    EXPECT_EQ(readFile(file()), "[Settings]\r\nCompanyCode=Sample\r\n");
    WriteINI(file(), "Sample", "Delimiter", ",");
    WriteINI(file(), "settings", "SSTab1", "3");
    WriteINI(file(), "SETTINGS", "companycode", "ACME");
    EXPECT_EQ(readFile(file()),
              "[Settings]\r\nCompanyCode=ACME\r\nSSTab1=3\r\n[Sample]\r\nDelimiter=,\r\n");
    EXPECT_EQ(ReadINI(file(), "Settings", "CompanyCode", "d"), "ACME");
    EXPECT_EQ(ReadINI(file(), "Sample", "Delimiter", "d"), ",");

    // An empty value is stored and read back empty, not as the default.
    WriteINI(file(), "Sample", "Delimiter", "");
    EXPECT_EQ(ReadINI(file(), "Sample", "Delimiter", ","), "");

    // Line breaks never split a value over lines.
    WriteINI(file(), "Sample", "TextFilePath", "a\r\nb\nc\rd");
    EXPECT_EQ(ReadINI(file(), "Sample", "TextFilePath", "d"), "a  b c d");
    EXPECT_NE(readFile(file()).find("TextFilePath=a  b c d\r\n"), std::string::npos);
    // A replaced file keeps its permissions, and no temporary file stays behind.
    namespace fs = std::filesystem;
    fs::permissions(file(), fs::perms::owner_read | fs::perms::owner_write);
    const fs::perms before = fs::status(file()).permissions();  // as this system reports them
    WriteINI(file(), "Sample", "Delimiter", ";");
    EXPECT_EQ(fs::status(file()).permissions(), before);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename(), "Import.INI") << "left behind: " << entry.path();
    }
}

TEST_F(IniFuncsTest, LongValuesAreReadBackCutTo254Characters) {
    const std::string thaiPath = "C:\\" + std::string(150, 'x') + "\\" +
                                 std::string("ข้อมูลประวัติพนักงาน") + std::string(150, 'y');
    WriteINI(file(), "Sample", "TextFilePath", thaiPath);
    const std::string back = ReadINI(file(), "Sample", "TextFilePath", "d");
    // Characters, not bytes: Thai characters are one byte each in the file.
    EXPECT_EQ(text::utf8ToWindows874(back).size(), 254u);
    EXPECT_EQ(back, thaiPath.substr(0, back.size()));

    const std::string plain(300, 'p');
    WriteINI(file(), "Sample", "MelvarFilePath", plain);
    EXPECT_EQ(ReadINI(file(), "Sample", "MelvarFilePath", "d"), plain.substr(0, 254));
    // The whole value is still stored.
    EXPECT_NE(readFile(file()).find(plain), std::string::npos);
}

TEST_F(IniFuncsTest, FileWrittenByAWindowsProgramIsReadAndPreserved) {
    const std::string thai = "ข้อมูลประวัติพนักงาน";
    const std::string thaiBytes = text::utf8ToWindows874(thai);
    const std::string original =
        "; settings of the import program\r\n"
        "[SETTINGS]\r\n"
        "companyCODE=Sample\r\n"
        "sstab1=2\r\n"
        "\r\n"
        "[Unknown]\r\n"
        "Other Key = kept as is \r\n"
        "\r\n"
        "[sample]\r\n"
        "textfilepath=C:\\Data\\" +
        thaiBytes +
        ".txt\r\n"
        "; a comment inside a section\r\n"
        "MELVARFILEPATH=C:\\Data\\Melvar.mdb\r\n"
        "\r\n"
        "[Last]\r\n"
        "x=1";  // no line end after the last line
    writeBytes(file(), original);

    EXPECT_EQ(ReadINI(file(), "Settings", "CompanyCode", "d"), "Sample");
    EXPECT_EQ(ReadINI(file(), "Settings", "SSTab1", "0"), "2");
    EXPECT_EQ(ReadINI(file(), "Sample", "TextFilePath", "d"), "C:\\Data\\" + thai + ".txt");
    EXPECT_EQ(ReadINI(file(), "Sample", "Delimiter", ","), ",");

    WriteINI(file(), "Sample", "MelvarFilePath", "D:\\" + thai + "\\Melvar.mdb");
    WriteINI(file(), "Sample", "Delimiter", "|");
    WriteINI(file(), "Last", "y", "2");
    const std::string expected =
        "; settings of the import program\r\n"
        "[SETTINGS]\r\n"
        "companyCODE=Sample\r\n"
        "sstab1=2\r\n"
        "\r\n"
        "[Unknown]\r\n"
        "Other Key = kept as is \r\n"
        "\r\n"
        "[sample]\r\n"
        "textfilepath=C:\\Data\\" +
        thaiBytes +
        ".txt\r\n"
        "; a comment inside a section\r\n"
        "MELVARFILEPATH=D:\\" +
        thaiBytes +
        "\\Melvar.mdb\r\n"
        "Delimiter=|\r\n"
        "\r\n"
        "[Last]\r\n"
        "x=1\r\n"
        "y=2\r\n";
    EXPECT_EQ(readFile(file()), expected);
    EXPECT_EQ(ReadINI(file(), "SAMPLE", "melvarfilepath", "d"), "D:\\" + thai + "\\Melvar.mdb");
}

TEST_F(IniFuncsTest, AFileThatCannotBeWrittenIsSilentButLogged) {
    report::setErrorLogFolder(dir.path());
    const std::string missingFolder = (dir / "no-such-folder" / "Import.INI").string();
    WriteINI(missingFolder, "Settings", "CompanyCode", "Sample");
    EXPECT_FALSE(std::filesystem::exists(missingFolder));
    report::setErrorLogFolder({});
    const std::string log = readFile(dir / "errors.log");
    EXPECT_NE(log.find(missingFolder), std::string::npos) << log;
    EXPECT_NE(log.find("CompanyCode"), std::string::npos) << log;
}

}  // namespace
