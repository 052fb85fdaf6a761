#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "report/report_error.h"
#include "settings/default_ini.h"
#include "settings/ini_funcs.h"
#include "support/test_support.h"
#include "text/windows874.h"

namespace {

using form::Field;
using testing_support::readFile;
using testing_support::TempDir;

// A window that keeps its field texts and counts the changes of txtDir(1), the field whose
// change runs the path-change handling.
class FakeWindow : public form::MainWindowPort {
  public:
    std::string fieldText(Field field) const override {
        const auto found = fields.find(field);
        return found == fields.end() ? std::string() : found->second;
    }
    void setFieldText(Field field, const std::string& text) override {
        if (failOn && *failOn == field) throw report::RunTimeError(13, "Type mismatch", "test");
        fields[field] = text;
        if (field == Field::Database) ++databaseChanges;
    }
    std::string labelCaption(form::Label) const override { return {}; }
    void setLabelCaption(form::Label, const std::string&) override {}
    void setMousePointer(int) override {}
    void messageBox(const std::string&, int, const std::string&) override {}
    void yield() override {}
    int currentTab() const override { return tab; }
    void setCurrentTab(int t) override { tab = t; }

    std::map<Field, std::string> fields;
    int tab = 0;
    int databaseChanges = 0;
    std::optional<Field> failOn;
};

struct Report {
    int32_t number = 0;
    std::string owner;
    std::string context;
};

class ReportSink : public report::ErrorReportComponent {
  public:
    explicit ReportSink(std::vector<Report>& reports) : reports_(reports) {}
    void setErrorNumber(int32_t n) override { current_.number = n; }
    void setErrorDescription(const std::string&) override {}
    void setErrorSource(const std::string&) override {}
    void setOwnerName(const std::string& o) override { current_.owner = o; }
    void setContext(const std::string& c) override { current_.context = c; }
    void report() override { reports_.push_back(current_); }

  private:
    std::vector<Report>& reports_;
    Report current_;
};

class DefaultIniTest : public ::testing::Test {
  protected:
    void SetUp() override {
        form.globals.ProgramFolder = dir.path().string();
        report::registerComponent(report::kErrorReportClassId,
                                  [this] { return std::make_unique<ReportSink>(reports); });
    }
    void TearDown() override { report::registerComponent(report::kErrorReportClassId, nullptr); }

    // The window's start: the company code from "Settings", then its values.
    void start() {
        form.globals.CurrentCompanyCode =
            settings::ReadINI(file(), "Settings", "CompanyCode", settings::kDefaultCompanyCode);
        window.fields[Field::CompanyCode] = form.globals.CurrentCompanyCode;
        settings::ReadDefaultINI(form);
        window.tab = std::stoi(settings::ReadINI(file(), "Settings", "SSTab1", "0"));
    }
    // The company-code field losing the focus.
    void changeCompany(const std::string& code) {
        window.fields[Field::CompanyCode] = code;
        form.globals.CurrentCompanyCode = code;
        settings::ReadDefaultINI(form);
    }
    std::string file() const { return (dir / "Import.INI").string(); }

    TempDir dir;
    FakeWindow window;
    form::Form form{window};
    std::vector<Report> reports;
};

TEST_F(DefaultIniTest, WithoutAFileTheWindowStartsOnTheDefaults) {
    start();
    EXPECT_EQ(settings::settingsFilePath(form.globals.ProgramFolder),
              (dir / "Import.INI").string());
    EXPECT_EQ(form.globals.CurrentCompanyCode, "Sample");
    EXPECT_EQ(window.fields[Field::TextFile],
              "C:\\Program Files\\Payroll\\Sample\\Backup\\"
              "\xE0\xB8\x82\xE0\xB9\x89\xE0\xB8\xAD\xE0\xB8\xA1\xE0\xB8\xB9\xE0\xB8\xA5"
              "\xE0\xB8\x9B\xE0\xB8\xA3\xE0\xB8\xB0\xE0\xB8\xA7\xE0\xB8\xB1\xE0\xB8\x95"
              "\xE0\xB8\xB4\xE0\xB8\x9E\xE0\xB8\x99\xE0\xB8\xB1\xE0\xB8\x81\xE0\xB8\x87"
              "\xE0\xB8\xB2\xE0\xB8\x99.txt");
    EXPECT_EQ(window.fields[Field::Database],
              "C:\\Program Files\\Payroll\\Sample\\Data\\Melvar.mdb");
    EXPECT_EQ(window.fields[Field::Delimiter], ",");
    EXPECT_EQ(window.tab, 0);
    EXPECT_EQ(window.databaseChanges, 1);
    EXPECT_TRUE(reports.empty());
    EXPECT_FALSE(std::filesystem::exists(file()));

    // Loading the same values again changes nothing, so the path handling does not run again.
    settings::ReadDefaultINI(form);
    EXPECT_EQ(window.databaseChanges, 1);
}

TEST_F(DefaultIniTest, TwoCompaniesInTurnKeepTheirOwnSections) {
    start();
    window.fields[Field::TextFile] = "/data/a.txt";
    window.fields[Field::Database] = "/data/A/Melvar.mdb";
    window.fields[Field::Delimiter] = "";
    window.tab = 2;
    settings::SaveDefaultINI(form);

    changeCompany("ACME");  // no section yet: the defaults
    EXPECT_EQ(window.fields[Field::Database], settings::kDefaultMelvarFilePath);
    EXPECT_EQ(window.fields[Field::Delimiter], ",");
    window.fields[Field::TextFile] = "/data/ข้อมูล.txt";
    window.fields[Field::Database] = "/data/B/Melvar.mdb";
    window.fields[Field::Delimiter] = "|";
    window.tab = 4;
    settings::SaveDefaultINI(form);

    EXPECT_EQ(readFile(file()),
              "[Settings]\r\nCompanyCode=ACME\r\nSSTab1=4\r\n"
              "[Sample]\r\nTextFilePath=/data/a.txt\r\nMelvarFilePath=/data/A/Melvar.mdb\r\n"
              "Delimiter=\r\n"
              "[ACME]\r\nTextFilePath=" +
                  text::utf8ToWindows874("/data/ข้อมูล.txt") +
                  "\r\nMelvarFilePath=/data/B/Melvar.mdb\r\nDelimiter=|\r\n");

    // The next run opens on the second company; going back to the first reads its values,
    // the empty separator included.
    FakeWindow nextWindow;
    form::Form next(nextWindow);
    next.globals.ProgramFolder = form.globals.ProgramFolder;
    next.globals.CurrentCompanyCode = settings::ReadINI(file(), "Settings", "CompanyCode", "x");
    settings::ReadDefaultINI(next);
    EXPECT_EQ(nextWindow.fields[Field::TextFile], "/data/ข้อมูล.txt");
    next.globals.CurrentCompanyCode = "sample";
    settings::ReadDefaultINI(next);
    EXPECT_EQ(nextWindow.fields[Field::Database], "/data/A/Melvar.mdb");
    EXPECT_EQ(nextWindow.fields[Field::Delimiter], "");
}

TEST_F(DefaultIniTest, CompanyCodeIsSavedFromTheFieldButValuesGoToTheCurrentCompany) {
    start();
    window.fields[Field::CompanyCode] = "Typed";  // focus not yet left
    window.fields[Field::Delimiter] = "\t";
    settings::SaveDefaultINI(form);
    EXPECT_EQ(settings::ReadINI(file(), "Settings", "CompanyCode", "x"), "Typed");
    EXPECT_EQ(settings::ReadINI(file(), "Sample", "Delimiter", "x"), "");  // tab is a blank
    EXPECT_EQ(settings::ReadINI(file(), "Typed", "Delimiter", "x"), "x");
}

TEST_F(DefaultIniTest, AFailingStepEndsTheOperationAndIsReported) {
    settings::WriteINI(file(), "Sample", "Delimiter", ";");
    form.globals.CurrentCompanyCode = "Sample";
    window.failOn = Field::Database;
    settings::ReadDefaultINI(form);
    EXPECT_EQ(window.fields.count(Field::Delimiter), 0u);  // the step after the failure
    EXPECT_EQ(window.fields[Field::TextFile], settings::kDefaultTextFilePath);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].number, 13);
    EXPECT_EQ(reports[0].owner, "frmMain");
    EXPECT_EQ(reports[0].context, "ReadDefaultINI()");

    // A window that fails while being read from stops the save after the values before it.
    class FailingTab : public FakeWindow {
        int currentTab() const override { throw std::runtime_error("no tab control"); }
    } failing;
    failing.fields[Field::CompanyCode] = "Saved";
    form::Form other(failing);
    other.globals.ProgramFolder = form.globals.ProgramFolder;
    other.globals.CurrentCompanyCode = "Sample";
    settings::SaveDefaultINI(other);
    EXPECT_EQ(settings::ReadINI(file(), "Settings", "CompanyCode", "x"), "Saved");
    EXPECT_EQ(settings::ReadINI(file(), "Settings", "SSTab1", "x"), "x");
    EXPECT_EQ(settings::ReadINI(file(), "Sample", "Delimiter", "x"), ";");
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].context, "SaveDefaultINI()");
    EXPECT_EQ(reports[1].owner, "frmMain");
}

}  // namespace
