#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "report/console_error_report.h"
#include "report/report_error.h"
#include "support/error_number.h"
#include "support/test_support.h"

namespace {

using report::RunTimeError;
using testing_support::errorNumberOf;

// Records every property set and report, in the order they happen, across instances.
struct Recording {
    std::vector<std::string> calls;
    int instances = 0;
    int released = 0;
};

class RecordingComponent : public report::ErrorReportComponent {
  public:
    explicit RecordingComponent(Recording& rec) : rec_(rec) { ++rec_.instances; }
    ~RecordingComponent() override { ++rec_.released; }
    void setErrorNumber(int32_t n) override { rec_.calls.push_back("number=" + std::to_string(n)); }
    void setErrorDescription(const std::string& d) override {
        rec_.calls.push_back("description=" + d);
    }
    void setErrorSource(const std::string& s) override { rec_.calls.push_back("source=" + s); }
    void setOwnerName(const std::string& o) override { rec_.calls.push_back("owner=" + o); }
    void setContext(const std::string& c) override { rec_.calls.push_back("context=" + c); }
    void report() override { rec_.calls.push_back("report"); }

  private:
    Recording& rec_;
};

class ReportErrorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        report::registerComponent(report::kErrorReportClassId,
                                  [this] { return std::make_unique<RecordingComponent>(rec); });
        report::setErrorLogFolder(dir.path());
    }
    void TearDown() override {
        report::registerComponent(report::kErrorReportClassId, nullptr);
        report::setErrorLogFolder({});
    }
    std::string log() const {
        const auto path = dir / "errors.log";
        return std::filesystem::exists(path) ? testing_support::readFile(path) : std::string();
    }

    Recording rec;
    testing_support::TempDir dir;
};

TEST_F(ReportErrorTest, CaughtErrorIsReportedInOrderByAFreshInstance) {
    const std::string context = "ImportToDataCalc()\r\nรหัส: 001";
    for (int round = 0; round < 2; ++round) {
        try {
            throw RunTimeError(13, "Type mismatch", "ImportData");
        } catch (...) {
            report::ReportError("frmMain", context);
        }
    }
    const std::vector<std::string> once = {"number=13",          "description=Type mismatch",
                                           "source=ImportData",  "owner=frmMain",
                                           "context=" + context, "report"};
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(rec.calls, twice);
    EXPECT_EQ(rec.instances, 2);
    EXPECT_EQ(rec.released, 2);
}

TEST_F(ReportErrorTest, ExplicitErrorAndOtherExceptions) {
    report::ReportError(RunTimeError(3021, "No current record.", "Provider"), "frmMain", "OpenAdc");
    try {
        throw std::out_of_range("index 7 past the end");
    } catch (...) {
        report::ReportError("frmMain", "x");
    }
    try {
        throw 42;
    } catch (...) {
        const RunTimeError e = report::currentError();
        EXPECT_NE(e.number(), 0);
        EXPECT_FALSE(e.description().empty());
    }
    ASSERT_EQ(rec.calls.size(), 12u);
    EXPECT_EQ(rec.calls[0], "number=3021");
    EXPECT_EQ(rec.calls[2], "source=Provider");
    EXPECT_EQ(rec.calls[6], "number=440");
    EXPECT_EQ(rec.calls[7], "description=index 7 past the end");
    EXPECT_NE(rec.calls[8], "source=");
}

TEST_F(ReportErrorTest, EveryReportAndNoteIsLoggedOnOneLineWithDateAndTime) {
    report::ReportError(RunTimeError(53, "File not found", "ImportData"), "frmMain",
                        "cmdTransfer_Click\r\nข้อผิดพลาด: x");
    report::appendToErrorLog("settings file not written: /x/Import.INI");
    const std::string text = log();
    std::istringstream lines(text);
    std::string first, second, third;
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_FALSE(std::getline(lines, third));
    // "YYYY-MM-DD HH:MM:SS" opens each entry.
    for (const std::string& line : {first, second}) {
        ASSERT_GE(line.size(), 20u);
        EXPECT_EQ(line[4], '-');
        EXPECT_EQ(line[10], ' ');
        EXPECT_EQ(line[13], ':');
    }
    for (const char* part :
         {"frmMain", "53", "File not found", "ImportData", "cmdTransfer_Click", "ข้อผิดพลาด: x"}) {
        EXPECT_NE(first.find(part), std::string::npos) << part;
    }
    EXPECT_NE(second.find("settings file not written: /x/Import.INI"), std::string::npos);

    // Without a folder nothing is written, and nothing fails.
    report::setErrorLogFolder({});
    report::appendToErrorLog("lost");
    EXPECT_EQ(log(), text);
    // An unwritable folder is no error either.
    report::setErrorLogFolder(dir / "no" / "such" / "folder");
    report::appendToErrorLog("lost");
}

TEST_F(ReportErrorTest, MissingComponentFailsAsTheLanguageDoesButTheLogKeepsTheReport) {
    report::registerComponent(report::kErrorReportClassId, nullptr);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] {
                  report::ReportError(RunTimeError(6, "Overflow", "ImportData"), "frmMain", "ctx");
              }),
              429)
        << "no component registered";
    EXPECT_NE(log().find("Overflow"), std::string::npos);
    EXPECT_THROW(report::createComponent("No.Such.Class"), RunTimeError);
}

TEST(ConsoleErrorReport, PrintsTheFiveValuesWithMultiLineContextIndented) {
    std::ostringstream out;
    report::ConsoleErrorReport component(out);
    component.setErrorNumber(13);
    component.setErrorDescription("Type mismatch");
    component.setErrorSource("ImportData");
    component.setOwnerName("frmMain");
    component.setContext("ImportToDataCalc()\r\nรหัส: 001");
    component.report();
    EXPECT_EQ(out.str(),
              "Error report from frmMain\n"
              "  Number:      13\n"
              "  Description: Type mismatch\n"
              "  Source:      ImportData\n"
              "  Context:     ImportToDataCalc()\n"
              "               รหัส: 001\n");
}

}  // namespace
