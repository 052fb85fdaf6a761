#include <gtest/gtest.h>

#include <string>

#include "app/logic/transfer_log.h"
#include "import/transfer_fixture.h"
#include "support/test_support.h"

namespace testing_support {
namespace {

class TransferCommandTest : public TransferTest {
  protected:
    void SetUp() override {
        TransferTest::SetUp();
        setLayout("iData Calc", {{1, "Employee#", 1, ""},
                                 {2, "I0101", 2, ""},
                                 {3, "I0102", 3, ""},
                                 {4, "D0201", 4, ""}});
    }
    Lines calcRows() {
        return rows(
            "SELECT [Employee#], [Year], [Period], [Type for], [Type], [Code], [Amount] "
            "FROM [Data Calc] ORDER BY [ID]");
    }
};

TEST_F(TransferCommandTest, EmptySeparatorIsRefusedBeforeAnyPathIsTested) {
    window.fields[form::Field::Delimiter] = "";
    window.fields[form::Field::TextFile] = (dir / "missing.txt").string();
    window.labels[form::Label::ProcessStatus] = "before";
    click(1);
    EXPECT_EQ(window.log, (Lines{"pointer 11",
                                 "message 32 ตรวจสอบเครื่องหมายใช้คั่นข้อมูล: ไม่ได้ระบุ 'เครื่องหมายใช้คั่นข้อมูล  "
                                 "Seperate character'\r\nโปรดระบุตัวอักษรที่ใช้คั่นข้อมูล เช่น , ; : |",
                                 "pointer 0"}));
    EXPECT_EQ(window.labels[form::Label::ProcessStatus], "before");
    EXPECT_FALSE(form.adcDestination.hasRecordset());
    EXPECT_TRUE(reports.reports().empty());
    EXPECT_FALSE(form.transferRunning);
}

TEST_F(TransferCommandTest, MissingFilesAreNamedTextFileFirst) {
    const std::string missingText = (dir / "nothing.txt").string();
    const std::string missingDb = (dir / "Nothing.mdb").string();
    window.fields[form::Field::TextFile] = missingText;
    window.fields[form::Field::Database] = missingDb;
    click(1);
    writeInput("E001,1\r\n");
    window.fields[form::Field::TextFile] = textPath.string();
    click(1);
    window.fields[form::Field::TextFile] = dir.path().string();  // a folder is no file
    click(1);
    ASSERT_EQ(window.messages.size(), 3u);
    EXPECT_EQ(window.messages[0].prompt, "ไม่มีไฟล์ข้อมูล...\r\n" + missingText + "\r\nโปรดระบุชื่อไฟล์ใหม่");
    EXPECT_EQ(window.messages[1].prompt, "ไม่มีไฟล์ข้อมูล...\r\n" + missingDb + "\r\nโปรดระบุชื่อไฟล์ใหม่");
    EXPECT_EQ(window.messages[2].prompt,
              "ไม่มีไฟล์ข้อมูล...\r\n" + dir.path().string() + "\r\nโปรดระบุชื่อไฟล์ใหม่");
    for (const auto& m : window.messages) {
        EXPECT_EQ(m.style, 0);
        EXPECT_EQ(m.title, "ตรวจสอบไฟล์ที่เลือก");
    }
    EXPECT_EQ(window.mousePointer, 0);
    EXPECT_TRUE(window.logOf("lbl").empty());
    EXPECT_FALSE(form.adcDestination.hasRecordset());
}

TEST_F(TransferCommandTest, CompletedTransferShowsProgressPerLineAndCountsBlankLines) {
    writeInput("E001,100,,-5\r\n\r\nE002,0,2,\r\n");
    click(1);
    EXPECT_EQ(window.log, (Lines{"pointer 11",
                                 "pointer 11",
                                 "lblProcessStatus: กำลังโอนข้อมูล รหัส: E001",
                                 "lblUseTime: เวลาที่ใช้ 0 ชม. 0 นาที 7 วินาที",
                                 "lblRecordCount: จำนวนข้อมูลที่อ่านได้ 1 คน",
                                 "yield",
                                 "pointer 0",
                                 "pointer 11",
                                 "lblProcessStatus: กำลังโอนข้อมูล รหัส: E002",
                                 "lblUseTime: เวลาที่ใช้ 0 ชม. 0 นาที 14 วินาที",
                                 "lblRecordCount: จำนวนข้อมูลที่อ่านได้ 3 คน",
                                 "yield",
                                 "pointer 0",
                                 "lblProcessStatus: สิ้นสุดการโอนข้อมูล ข้อมูลสุดท้าย 'E002,0,2,'",
                                 "yield",
                                 "pointer 0",
                                 "message 0 โอนข้อมูลไป VELTRA Payroll: " + kCompleted,
                                 "lblProcessStatus: ",
                                 "lblRecordCount: ",
                                 "lblUseTime: "}));
    EXPECT_EQ(form.iLineCount, 3);
    EXPECT_TRUE(reports.reports().empty());
    EXPECT_EQ(calcRows(), (Lines{"E001|2567|1|I|01|01|100", "E001|2567|1|D|02|01|-5",
                                 "E002|2567|1|I|01|02|2"}));
}

TEST_F(TransferCommandTest, EmptyFileAndTrailingBlankLineEndWithEmptyQuotes) {
    writeInput("");
    click(1);
    EXPECT_EQ(window.logOf("lblProcessStatus").front(),
              "lblProcessStatus: สิ้นสุดการโอนข้อมูล ข้อมูลสุดท้าย ''");
    EXPECT_EQ(form.iLineCount, 0);
    window.log.clear();
    writeInput("E001,1,,\r\n\r\n");
    click(1);
    EXPECT_EQ(window.logOf("lblProcessStatus")[1], "lblProcessStatus: สิ้นสุดการโอนข้อมูล ข้อมูลสุดท้าย ''");
    EXPECT_EQ(form.iLineCount, 2);
    EXPECT_EQ(messageTitles(), (Lines{"โอนข้อมูลไป VELTRA Payroll", "โอนข้อมูลไป VELTRA Payroll"}));
}

TEST_F(TransferCommandTest, FailingLineStopsTheTransferAndLeavesNoTrace) {
    execute(dbPath,
            "INSERT INTO [Data Calc] ([Employee#], [Year], [Period], [Type for], [Type], [Code], "
            "[Amount]) VALUES ('E002', 2566, 12, 'I', '01', '01', 7)");
    writeInput("E001,100,,\r\nE002,5,abc,\r\nE003,1\r\n");
    window.onMessageBox = [&](const RecordingWindow::Message&) {
        // The failing line is still shown while the message is up.
        EXPECT_EQ(window.labels[form::Label::ProcessStatus], "ข้อมูลสุดท้ายที่อ่านได้ 'E002,5,abc,'");
    };
    click(1);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].prompt, kFailed);
    EXPECT_EQ(window.messages[0].style, 16);
    EXPECT_EQ(window.messages[0].title, "โอนข้อมูล [Data Calc]");
    const Lines tail(window.log.end() - 5, window.log.end());
    EXPECT_EQ(tail, (Lines{"message 16 โอนข้อมูล [Data Calc]: " + kFailed,
                           "lblProcessStatus: ", "lblRecordCount: ", "lblUseTime: ", "pointer 0"}));
    EXPECT_EQ(form.iLineCount, 2);  // the line after the failure is never read
    ASSERT_EQ(reports.reports().size(), 1u);
    EXPECT_EQ(reports.reports()[0].context, "ImportToDataCalc()");
    EXPECT_EQ(reports.reports()[0].owner, "frmMain");
    EXPECT_EQ(reports.reports()[0].number, 13);
    // Line 1 stays; line 2's deletion and its first amount are undone.
    EXPECT_EQ(calcRows(), (Lines{"E002|2566|12|I|01|01|7", "E001|2567|1|I|01|01|100"}));
    EXPECT_FALSE(form.transferRunning);
}

TEST_F(TransferCommandTest, EmployeeKindFailureClearsOnlyTheStatusLabel) {
    setLayout("iEmployee Master", {{2, "Employee#", 1, ""}, {3, "First name", 2, ""}});
    writeInput("E001\r\n");
    click(0);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].title, "โอนประวัติพนักงาน");
    EXPECT_EQ(window.labels[form::Label::ProcessStatus], "");
    EXPECT_EQ(window.labels[form::Label::RecordCount], "จำนวนข้อมูลที่อ่านได้ 1 คน");
    EXPECT_EQ(window.labels[form::Label::UseTime], "เวลาที่ใช้ 0 ชม. 0 นาที 7 วินาที");
    EXPECT_TRUE(rows("SELECT [Employee#] FROM [Employee Master]").empty());
}

TEST_F(TransferCommandTest, TheLine32768GoesDownTheUnexpectedErrorPath) {
    std::string bytes;
    for (int i = 0; i < 32767; ++i) bytes += "\r\n";
    bytes += "E9,1\r\nE10,1\r\n";
    writeInput(bytes);
    click(1);
    ASSERT_EQ(reports.reports().size(), 1u);
    EXPECT_EQ(reports.reports()[0].context, "cmdTransfer(1)_Click > sData: E9,1");
    EXPECT_EQ(reports.reports()[0].number, 6);
    EXPECT_EQ(reports.reports()[0].description, "Overflow");
    EXPECT_EQ(form.iLineCount, 32767);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(window.labels[form::Label::ProcessStatus], "");
    EXPECT_EQ(window.mousePointer, 0);
    EXPECT_TRUE(calcRows().empty());
    EXPECT_FALSE(form.transferRunning);
}

TEST_F(TransferCommandTest, AFileThatCannotBeReadIsReportedAsUnexpected) {
    writeInput("E001,1\r\n");
    int expected = 75;  // cannot be opened
    const std::shared_ptr<void> held = holdUnreadable(textPath);
    if (!held) {
        // Rights that ignore permissions: a file that opens but whose reading fails instead.
        std::filesystem::remove(textPath);
        std::filesystem::create_symlink("/proc/self/mem", textPath);
        expected = 57;
    }
    click(1);
    ASSERT_EQ(reports.reports().size(), 1u);
    EXPECT_EQ(reports.reports()[0].context, "cmdTransfer(1)_Click > sData: ");
    EXPECT_EQ(reports.reports()[0].number, expected);
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(TransferCommandTest, AClickDuringARunningTransferIsIgnored) {
    writeInput("E001,1,,\r\nE002,2,,\r\n");
    int nestedClicks = 0;
    window.onYield = [&] {
        if (nestedClicks++ == 0) click(2);
    };
    click(1);
    EXPECT_EQ(messageTitles(), Lines{"โอนข้อมูลไป VELTRA Payroll"});
    EXPECT_EQ(calcRows(), (Lines{"E001|2567|1|I|01|01|1", "E002|2567|1|I|01|01|2"}));
    EXPECT_EQ(form.adcStructure.RecordSource.find("[iData Calc]") != std::string::npos, true);
    // Once finished, the next click runs.
    window.onYield = nullptr;
    click(1);
    EXPECT_EQ(window.messages.size(), 2u);
}

TEST_F(TransferCommandTest, AnUnopenableDatabaseIsReportedByOpenAdcAndEveryLineFails) {
    const auto broken = dir / "Broken.mdb";
    std::ofstream(broken, std::ios::binary) << std::string(4096, 'x');
    window.fields[form::Field::Database] = broken.string();
    writeInput("E001,1\r\n");
    click(1);
    const Lines contexts = reports.contexts();
    ASSERT_EQ(contexts.size(), 2u);
    EXPECT_EQ(contexts[0], "OpenAdc(Data Calc)");
    EXPECT_EQ(contexts[1], "ImportToDataCalc()");
    EXPECT_EQ(messageTitles(), Lines{"โอนข้อมูล [Data Calc]"});
}

// The result of a transfer is counted as it runs: what was stored, not what the file seems to ask.
TEST_F(TransferCommandTest, TheResultCountsWhatTheLinesStoredAndIsLogged) {
    execute(dbPath,
            "INSERT INTO [Data Calc] ([Employee#], [Year], [Period], [Type for], [Type], [Code], "
            "[Amount]) VALUES ('E002', 2566, 12, 'I', '01', '01', 7)");
    execute(dbPath,
            "INSERT INTO [Data Calc] ([Employee#], [Year], [Period], [Type for], [Type], [Code], "
            "[Amount]) VALUES ('E002', 2566, 12, 'I', '01', '02', 8)");
    // A code in another case finds the same rows, as the database compares texts.
    writeInput("E001,100,,-5\r\n\r\ne002,0,2,\r\n");
    form.globals.ProgramFolder = dir.path().string();
    click(1);
    const form::TransferResult& result = form.result;
    EXPECT_EQ(result.outcome, form::TransferOutcome::Completed);
    EXPECT_EQ(result.linesRead, 3);
    EXPECT_EQ(result.linesTransferred, 2);
    EXPECT_EQ(result.counts.rowsDeleted, 2);
    EXPECT_EQ(result.counts.rowsWritten, 3);
    EXPECT_EQ(result.counts.amountsDropped, 0);
    EXPECT_EQ(calcRows().size(), 3u);
    const Lines lines = app::resultLines(result);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "โอนข้อมูล [Data Calc]: โอนข้อมูลเสร็จเรียบร้อย");
    EXPECT_EQ(lines[1], "อ่าน 3 บรรทัด, โอนแล้ว 2 บรรทัด");
    EXPECT_EQ(lines[2], "ลบแถวเดิม 2 แถว, เขียนแถวใหม่ 3 แถว");

    // One record per transfer, appended; a refused transfer is none.
    window.fields[form::Field::Delimiter] = "";
    click(1);
    EXPECT_EQ(form.result.outcome, form::TransferOutcome::None);
    const std::string log = readFile(dir / "transfers.log");
    EXPECT_NE(log.find("  ลบแถวเดิม 2 แถว, เขียนแถวใหม่ 3 แถว\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("โอนข้อมูล [Data Calc]"), log.rfind("โอนข้อมูล [Data Calc]"));
}

TEST_F(TransferCommandTest, AFailedLineIsToldByNumberTextColumnValueAndThaiReason) {
    writeInput("E001,100,,\r\n\r\nE002,5,abc,\r\nE003,1\r\n");
    click(1);
    const form::TransferResult& result = form.result;
    EXPECT_EQ(result.outcome, form::TransferOutcome::LineFailed);
    EXPECT_EQ(result.linesRead, 3);
    EXPECT_EQ(result.linesTransferred, 1);
    // The failed line's deletion and first amount were undone, so they are not counted.
    EXPECT_EQ(result.counts.rowsWritten, 1);
    EXPECT_EQ(result.failedLine, 3);
    EXPECT_EQ(result.failedText, "E002,5,abc,");
    EXPECT_EQ(result.failedColumn.layoutNo, 3);
    EXPECT_EQ(result.failedColumn.fieldName, "I0102");
    EXPECT_EQ(result.failedColumn.value, "abc");
    EXPECT_EQ(result.errorNumber, 13);
    EXPECT_EQ(app::failureLines(result),
              (Lines{"บรรทัดที่ 3: 'E002,5,abc,'", "คอลัมน์: แถวที่ 3 ของรูปแบบ, ฟิลด์ I0102, ค่า 'abc'",
                     "สาเหตุ: ชนิดข้อมูลไม่ตรงกัน: ค่านี้แปลงเป็นตัวเลขหรือวันที่ไม่ได้"}));
}

TEST_F(TransferCommandTest, EmployeesAreCountedCreatedOrUpdated) {
    setLayout("iEmployee Master", {{2, "Employee#", 1, ""}, {3, "First name", 2, ""}});
    writeInput("E001,สมชาย\r\nE002,สมหญิง\r\n");
    click(0);
    EXPECT_EQ(form.result.counts.employeesCreated, 2);
    EXPECT_EQ(form.result.counts.employeesUpdated, 0);
    writeInput("E001,สมปอง\r\nE003,สมศรี\r\n");
    click(0);
    EXPECT_EQ(form.result.counts.employeesCreated, 1);
    EXPECT_EQ(form.result.counts.employeesUpdated, 1);
    EXPECT_EQ(app::resultLines(form.result)[2], "พนักงานใหม่ 1 คน, ปรับปรุง 1 คน");
}

TEST_F(TransferCommandTest, TheLine32768EndsTheResultWithTheLinesBeforeItKept) {
    std::string bytes = "E1,1,,\r\n";
    for (int i = 0; i < 32766; ++i) bytes += "\r\n";
    bytes += "E9,1\r\n";
    writeInput(bytes);
    click(1);
    const form::TransferResult& result = form.result;
    EXPECT_EQ(result.outcome, form::TransferOutcome::Aborted);
    EXPECT_EQ(result.linesRead, 32768);
    EXPECT_EQ(result.linesTransferred, 1);
    EXPECT_EQ(result.counts.rowsWritten, 1);
    EXPECT_EQ(result.failedLine, 32768);
    EXPECT_EQ(result.failedText, "E9,1");
    EXPECT_NE(result.reason.find("32,767"), std::string::npos) << result.reason;
    EXPECT_EQ(calcRows(), Lines{"E1|2567|1|I|01|01|1"});
}

TEST_F(TransferCommandTest, AStopRequestEndsTheTransferAfterTheCurrentLine) {
    writeInput("E001,1,,\r\nE002,2,,\r\nE003,3,,\r\n");
    window.onYield = [&] { form.stopRequested = true; };
    click(1);
    EXPECT_EQ(form.result.outcome, form::TransferOutcome::Stopped);
    EXPECT_EQ(form.result.linesTransferred, 1);
    EXPECT_TRUE(window.messages.empty());  // the window is closing: nothing to answer
    EXPECT_EQ(calcRows(), Lines{"E001|2567|1|I|01|01|1"});
    EXPECT_FALSE(form.transferRunning);
    // The next transfer starts afresh.
    window.onYield = nullptr;
    click(1);
    EXPECT_EQ(form.result.outcome, form::TransferOutcome::Completed);
}

}  // namespace
}  // namespace testing_support
