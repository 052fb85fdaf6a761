#include "app/logic/transfer_command.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/logic/database_copy.h"
#include "app/logic/transfer_log.h"
#include "app/logic/transfer_undo.h"
#include "data_sources/data_sources.h"
#include "import/employee/employee_master_importer.h"
#include "import/payroll/data_calc_importer.h"
#include "import/payroll/income_detail_importer.h"
#include "jet/path_text.h"
#include "jet/undo_image.h"
#include "layout/line_progress.h"
#include "layout/line_reader.h"
#include "report/report_error.h"
#include "report/thai_reason.h"
#include "text/language_error.h"

namespace app {

namespace {

constexpr const char* kOwner = "frmMain";
constexpr const char* kNewLine = "\r\n";

struct TransferKind {
    const char* tableName;
    const char* failureTitle;
};

constexpr TransferKind kKinds[] = {
    {"Employee Master", "โอนประวัติพนักงาน"},
    {"Data Calc", "โอนข้อมูล [Data Calc]"},
    {"Data Master Detail", "โอนข้อมูลเงินเดือน PM"},
    {"Data Variant Detail", "โอนข้อมูลเงินเดือน PD"},
};

bool fileExists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(jet::pathFromUtf8(path), ec);
}

bool importLine(form::Form& form, int16_t index, const std::string& sData,
                const std::string& sDelimiter, const std::string& sDbPath) {
    switch (index) {
        case 0:
            return importers::employee::ImportToEmployeeMaster(form, sData, sDelimiter);
        case 1:
            return importers::payroll::ImportToDataCalc(form, sData, sDelimiter, sDbPath);
        case 2:
            return importers::payroll::ImportToPMPD(form, sData, sDelimiter, "PM");
        default:
            return importers::payroll::ImportToPMPD(form, sData, sDelimiter, "PD");
    }
}

// The transaction of one transfer on the payroll database: begun once the destination is bound,
// a savepoint per line. Holding the connection keeps the database (and its transaction) open
// while the importers rebind adcDestination. When asked, every commit of the database is
// captured from then on for the transfer's undo data.
class LineTransaction {
  public:
    void begin(const std::shared_ptr<data::Connection>& connection, bool captureUndo) {
        if (!connection || !connection->isOpen()) return;
        if (captureUndo && connection->database())
            capture_ = std::make_unique<jet::UndoCapture>(*connection->database());
        connection->BeginTrans();
        connection_ = connection;
    }
    // Whether the transfer committed anything an undo could take back.
    bool hasUndo() const { return capture_ && capture_->changed(); }
    // Writes the undo image of what the transfer committed. REQUIRES: hasUndo(). Throws when
    // the image cannot be made.
    void finishUndo(const jet::UndoCapture::ImageWriter& write) {
        std::unique_ptr<jet::UndoCapture> capture = std::move(capture_);
        capture->finish(write);
    }
    // Every failure inside a line undoes the whole line, so the row changes inside it need no
    // undo copies of their own of pages the line already changed.
    void startLine() {
        if (connection_) savepoint_ = connection_->CoarseSavepoint();
    }
    // A finished line is never undone: its savepoint and the page copies it keeps are let go.
    void lineDone() {
        if (connection_ && savepoint_ && connection_->inTransaction()) {
            connection_->database()->release(*savepoint_);
        }
        savepoint_.reset();
    }
    void undoLine() {
        if (connection_ && savepoint_) connection_->RollbackTo(*savepoint_);
        savepoint_.reset();
    }
    // Keeps nothing (a check): every line is taken back.
    void rollback() {
        if (!connection_) return;
        savepoint_.reset();
        auto connection = std::move(connection_);
        if (connection->inTransaction()) connection->RollbackTrans();
    }
    // Keeps every finished line. A line still under way is undone first.
    void commit() {
        if (!connection_) return;
        undoLine();
        auto connection = std::move(connection_);
        if (connection->inTransaction()) connection->CommitTrans();
    }
    // Used on the way out after an unexpected error: never throws.
    void commitQuietly() noexcept {
        try {
            commit();
        } catch (...) {
            try {
                report::appendToErrorLog("cmdTransfer: the transfer's changes could not be kept");
                if (connection_ && connection_->inTransaction()) connection_->RollbackTrans();
            } catch (...) {
            }
            connection_.reset();
        }
    }

  private:
    std::shared_ptr<data::Connection> connection_;
    std::optional<uint64_t> savepoint_;
    std::unique_ptr<jet::UndoCapture> capture_;
};

// Marks the transfer as running, and on every way out fills in the time taken and, for a
// transfer that got past its tests, appends its result to the transfer log.
class RunningTransfer {
  public:
    RunningTransfer(form::Form& form, int16_t index, LineTransaction& transaction)
        : form_(form), transaction_(transaction) {
        form_.transferRunning = true;
        form_.stopRequested = false;
        form_.result = {};
        form_.result.kind = index;
        form_.result.check = form_.checkOnly;
        form_.result.outcome = form::TransferOutcome::Running;
    }
    ~RunningTransfer() {
        form_.transferRunning = false;
        form_.result.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        if (form_.result.outcome == form::TransferOutcome::Running) {
            form_.result.outcome = form::TransferOutcome::None;  // refused by a test
        } else if (form_.keepTransferLog && !form_.checkOnly) {
            keepUndo();
            appendTransferLog(form_.globals.ProgramFolder, form_.result);
        }
    }
    // A line begins: its importer counts afresh and notes its columns afresh.
    void startLine() {
        form_.lineCounts = {};
        form_.currentColumn = {};
    }
    // A line was kept: its counts join the transfer's.
    void lineKept() {
        form::TransferCounts& total = form_.result.counts;
        const form::TransferCounts& line = form_.lineCounts;
        total.employeesCreated += line.employeesCreated;
        total.employeesUpdated += line.employeesUpdated;
        total.rowsDeleted += line.rowsDeleted;
        total.rowsWritten += line.rowsWritten;
        total.amountsWritten += line.amountsWritten;
        total.amountsDropped += line.amountsDropped;
        ++form_.result.linesTransferred;
    }
    // A check goes on past a failing line: the line is noted with its column and reason.
    void noted(const std::string& sData) {
        form::TransferResult& result = form_.result;
        result.failures.push_back(
            form::LineFailure{result.linesRead, sData, result.failedColumn,
                              report::thaiReason(result.errorNumber, result.errorDescription)});
        result.failedColumn = {};
        result.errorNumber = 0;
        result.errorDescription.clear();
    }
    void failed(form::TransferOutcome outcome, const std::string& sData) {
        form::TransferResult& result = form_.result;
        result.outcome = outcome;
        result.failedLine = result.linesRead;
        result.failedText = sData;
        result.reason = report::thaiReason(result.errorNumber, result.errorDescription);
        // The error's own report names only the procedure: support needs the line too.
        for (const std::string& line : failureLines(result))
            report::appendToErrorLog("cmdTransfer(" + std::to_string(result.kind) + "): " + line);
    }

  private:
    // A transfer whose undo data cannot be kept stands; the result says so.
    void keepUndo() noexcept {
        try {
            if (!transaction_.hasUndo()) return;
            const std::string db = form_.window.fieldText(form::Field::Database);
            form_.result.undoNote = keepTransferUndo(
                jet::pathFromUtf8(db), form_.result, form_.window.fieldText(form::Field::TextFile),
                [this](const jet::UndoCapture::ImageWriter& write) {
                    transaction_.finishUndo(write);
                },
                undoTransfersToKeep(form_.globals.ProgramFolder));
        } catch (const std::exception& e) {
            report::appendToErrorLog(std::string("cmdTransfer: no undo data: ") + e.what());
            form_.result.undoNote = "เก็บข้อมูลสำหรับยกเลิกการโอนครั้งนี้ไม่ได้: การโอนนี้ยกเลิกภายหลังไม่ได้";
        } catch (...) {
        }
    }

    form::Form& form_;
    LineTransaction& transaction_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// The line counter is 16 bits wide; the line after the last it can count ends the transfer.
constexpr const char* kTooManyLines =
    "ไฟล์มีเกิน 32,767 บรรทัด: บรรทัดก่อนหน้านี้โอนแล้ว โปรดแยกบรรทัดที่เหลือไว้ในไฟล์ใหม่แล้วโอนต่อ";

}  // namespace

void cmdTransfer_Click(form::Form& form, int16_t Index) {
    // The window refuses such a click visibly; here it only must never start a second run.
    if (form.transferRunning) return;
    // A check runs on a copy of the databases, closed and removed when the check ends.
    std::optional<DatabaseCopy> copy;
    struct CloseCopy {
        form::Form& form;
        const std::optional<DatabaseCopy>& copy;
        ~CloseCopy() {
            if (copy) form.adcDestination = {};
        }
    } closeCopy{form, copy};
    LineTransaction transaction;
    RunningTransfer running(form, Index, transaction);
    std::optional<report::QuietReports> quiet;
    if (form.checkOnly) quiet.emplace();

    form::MainWindowPort& window = form.window;
    std::string sData;
    layout::InputTextFile input;
    try {
        window.setMousePointer(form::kPointerHourglass);
        form.dStartTime = layout::nowOf(form);
        form.iLineCount = 0;

        if (window.fieldText(form::Field::Delimiter).empty()) {
            window.messageBox(std::string("ไม่ได้ระบุ 'เครื่องหมายใช้คั่นข้อมูล  Seperate character'") +
                                  kNewLine + "โปรดระบุตัวอักษรที่ใช้คั่นข้อมูล เช่น , ; : |",
                              form::kMsgQuestion, "ตรวจสอบเครื่องหมายใช้คั่นข้อมูล");
            window.setMousePointer(form::kPointerDefault);
            return;
        }

        const std::string sDelimiter = window.fieldText(form::Field::Delimiter);
        const std::string sTextFile = window.fieldText(form::Field::TextFile);
        std::string sDbPath = window.fieldText(form::Field::Database);

        for (const std::string* path : {&sTextFile, static_cast<const std::string*>(&sDbPath)}) {
            if (fileExists(*path)) continue;
            window.messageBox(
                std::string("ไม่มีไฟล์ข้อมูล...") + kNewLine + *path + kNewLine + "โปรดระบุชื่อไฟล์ใหม่",
                form::kMsgOkOnly, "ตรวจสอบไฟล์ที่เลือก");
            window.setMousePointer(form::kPointerDefault);
            return;
        }

        if (form.checkOnly) {
            copy.emplace(jet::pathFromUtf8(sDbPath));
            sDbPath = jet::utf8FromPath(copy->database());
        }
        if (Index < 0 || Index > 3) throw text::languageError(report::errnum::kSubscriptOutOfRange);
        const TransferKind& kind = kKinds[Index];
        data_sources::OpenAdc(form, kind.tableName, sDbPath);
        transaction.begin(form.adcDestination.connection(),
                          form.keepTransferLog && !form.checkOnly);

        input.open(jet::pathFromUtf8(sTextFile));
        form.result.fileBytes = input.fileSize();
        while (!input.atEnd()) {
            if (form.stopRequested) {
                transaction.commit();
                input.close();
                form.result.outcome = form::TransferOutcome::Stopped;
                window.setMousePointer(form::kPointerDefault);
                return;
            }
            input.readLine(sData);
            ++form.result.linesRead;
            form.result.bytesRead = input.bytesRead();
            if (form.iLineCount == INT16_MAX) {
                throw text::languageError(report::errnum::kOverflow);
            }
            ++form.iLineCount;
            if (sData.empty()) continue;

            transaction.startLine();
            running.startLine();
            if (!importLine(form, Index, sData, sDelimiter, sDbPath)) {
                transaction.undoLine();
                if (form.checkOnly) {
                    running.noted(sData);
                    continue;
                }
                transaction.commit();
                running.failed(form::TransferOutcome::LineFailed, sData);
                input.close();
                window.messageBox("การโอนข้อมูลไม่สำเร็จ กรุณาตรวจสอบข้อมูล แล้วลองใหม่", form::kMsgCritical,
                                  kind.failureTitle);
                window.setLabelCaption(form::Label::ProcessStatus, "");
                if (Index != 0) {
                    window.setLabelCaption(form::Label::RecordCount, "");
                    window.setLabelCaption(form::Label::UseTime, "");
                }
                window.setMousePointer(form::kPointerDefault);
                return;
            }
            transaction.lineDone();
            running.lineKept();
        }

        input.close();
        if (form.checkOnly) {
            transaction.rollback();
            form.result.outcome = form::TransferOutcome::Completed;
            window.setLabelCaption(form::Label::ProcessStatus, "");
            window.setMousePointer(form::kPointerDefault);
            return;
        }
        transaction.commit();
        form.result.outcome = form::TransferOutcome::Completed;
        window.setLabelCaption(form::Label::ProcessStatus,
                               "สิ้นสุดการโอนข้อมูล ข้อมูลสุดท้าย '" + sData + "'");
        window.yield();
        window.setMousePointer(form::kPointerDefault);

        window.messageBox("โอนข้อมูลเสร็จเรียบร้อยแล้ว ", form::kMsgOkOnly, "โอนข้อมูลไป VELTRA Payroll");
        window.setLabelCaption(form::Label::ProcessStatus, "");
        window.setLabelCaption(form::Label::RecordCount, "");
        window.setLabelCaption(form::Label::UseTime, "");
    } catch (...) {
        if (form.result.outcome == form::TransferOutcome::Running) {
            const report::RunTimeError error = report::currentError();
            form.result.errorNumber = error.number();
            form.result.errorDescription = error.description();
            form.result.failedColumn = {};
            running.failed(form::TransferOutcome::Aborted, sData);
            if (form.iLineCount == INT16_MAX && error.number() == report::errnum::kOverflow)
                form.result.reason = kTooManyLines;
        }
        try {
            window.setMousePointer(form::kPointerDefault);
            input.close();
            report::ReportError(
                kOwner, "cmdTransfer(" + std::to_string(Index) + ")_Click > sData: " + sData);
            transaction.commitQuietly();
            window.setLabelCaption(form::Label::ProcessStatus, "");
        } catch (...) {
            // Nothing may escape to the window's event loop; the log keeps what was lost.
            transaction.commitQuietly();
            report::appendToErrorLog("cmdTransfer(" + std::to_string(Index) +
                                     ")_Click: the error could not be reported");
        }
    }
}

}  // namespace app
