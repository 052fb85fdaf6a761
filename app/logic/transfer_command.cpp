#include "app/logic/transfer_command.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "data/data_sources.h"
#include "import/employee/employee_master_importer.h"
#include "import/payroll/data_calc_importer.h"
#include "import/payroll/income_detail_importer.h"
#include "jet/path_text.h"
#include "layout/language_error.h"
#include "layout/line_progress.h"
#include "layout/line_reader.h"
#include "report/report_error.h"

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

bool importLine(Form& form, int16_t index, const std::string& sData, const std::string& sDelimiter,
                const std::string& sDbPath) {
    switch (index) {
        case 0:
            return ImportToEmployeeMaster(form, sData, sDelimiter);
        case 1:
            return ImportToDataCalc(form, sData, sDelimiter, sDbPath);
        case 2:
            return ImportToPMPD(form, sData, sDelimiter, "PM");
        default:
            return ImportToPMPD(form, sData, sDelimiter, "PD");
    }
}

// The transaction of one transfer on the payroll database: begun once the destination is bound,
// a savepoint per line. Holding the connection keeps the database (and its transaction) open
// while the importers rebind adcDestination.
class LineTransaction {
  public:
    void begin(const std::shared_ptr<data::Connection>& connection) {
        if (!connection || !connection->isOpen()) return;
        connection->BeginTrans();
        connection_ = connection;
    }
    void startLine() {
        if (connection_) savepoint_ = connection_->Savepoint();
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
};

class RunningFlag {
  public:
    explicit RunningFlag(Form& form) : form_(form) { form_.transferRunning = true; }
    ~RunningFlag() { form_.transferRunning = false; }

  private:
    Form& form_;
};

}  // namespace

void cmdTransfer_Click(Form& form, int16_t Index) {
    if (form.transferRunning) return;
    RunningFlag running(form);

    MainWindowPort& window = form.window;
    std::string sData;
    layout::InputTextFile input;
    LineTransaction transaction;
    try {
        window.setMousePointer(kPointerHourglass);
        form.dStartTime = layout::nowOf(form);
        form.iLineCount = 0;

        if (window.fieldText(Field::Delimiter).empty()) {
            window.messageBox(std::string("ไม่ได้ระบุ 'เครื่องหมายใช้คั่นข้อมูล  Seperate character'") +
                                  kNewLine + "โปรดระบุตัวอักษรที่ใช้คั่นข้อมูล เช่น , ; : |",
                              kMsgQuestion, "ตรวจสอบเครื่องหมายใช้คั่นข้อมูล");
            window.setMousePointer(kPointerDefault);
            return;
        }

        const std::string sDelimiter = window.fieldText(Field::Delimiter);
        const std::string sTextFile = window.fieldText(Field::TextFile);
        const std::string sDbPath = window.fieldText(Field::Database);

        for (const std::string* path : {&sTextFile, &sDbPath}) {
            if (fileExists(*path)) continue;
            window.messageBox(
                std::string("ไม่มีไฟล์ข้อมูล...") + kNewLine + *path + kNewLine + "โปรดระบุชื่อไฟล์ใหม่",
                kMsgOkOnly, "ตรวจสอบไฟล์ที่เลือก");
            window.setMousePointer(kPointerDefault);
            return;
        }

        if (Index < 0 || Index > 3)
            throw layout::languageError(report::errnum::kSubscriptOutOfRange);
        const TransferKind& kind = kKinds[Index];
        OpenAdc(form, kind.tableName, sDbPath);
        transaction.begin(form.adcDestination.connection());

        input.open(jet::pathFromUtf8(sTextFile));
        while (!input.atEnd()) {
            input.readLine(sData);
            if (form.iLineCount == INT16_MAX)
                throw layout::languageError(report::errnum::kOverflow);
            ++form.iLineCount;
            if (sData.empty()) continue;

            transaction.startLine();
            if (!importLine(form, Index, sData, sDelimiter, sDbPath)) {
                transaction.undoLine();
                transaction.commit();
                input.close();
                window.messageBox("การโอนข้อมูลไม่สำเร็จ กรุณาตรวจสอบข้อมูล แล้วลองใหม่", kMsgCritical,
                                  kind.failureTitle);
                window.setLabelCaption(Label::ProcessStatus, "");
                if (Index != 0) {
                    window.setLabelCaption(Label::RecordCount, "");
                    window.setLabelCaption(Label::UseTime, "");
                }
                window.setMousePointer(kPointerDefault);
                return;
            }
            transaction.lineDone();
        }

        input.close();
        transaction.commit();
        window.setLabelCaption(Label::ProcessStatus, "สิ้นสุดการโอนข้อมูล ข้อมูลสุดท้าย '" + sData + "'");
        window.yield();
        window.setMousePointer(kPointerDefault);

        window.messageBox("โอนข้อมูลเสร็จเรียบร้อยแล้ว ", kMsgOkOnly, "โอนข้อมูลไป VELTRA Payroll");
        window.setLabelCaption(Label::ProcessStatus, "");
        window.setLabelCaption(Label::RecordCount, "");
        window.setLabelCaption(Label::UseTime, "");
    } catch (...) {
        try {
            window.setMousePointer(kPointerDefault);
            input.close();
            report::ReportError(
                kOwner, "cmdTransfer(" + std::to_string(Index) + ")_Click > sData: " + sData);
            transaction.commitQuietly();
            window.setLabelCaption(Label::ProcessStatus, "");
        } catch (...) {
            // Nothing may escape to the window's event loop; the log keeps what was lost.
            transaction.commitQuietly();
            report::appendToErrorLog("cmdTransfer(" + std::to_string(Index) +
                                     ")_Click: the error could not be reported");
        }
    }
}

}  // namespace app
