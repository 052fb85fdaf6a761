// MessageBoxErrorReport: the window program's error report component.
//
// Shows the five values of a report (number, description, source, owner name, context) to the
// user in a modal message box with a stop icon, led by a Thai sentence that says what went
// wrong, and returns when the user has closed it. The program registers it under
// report::kErrorReportClassId at start. Every report is in errors.log already (ReportError writes
// it), so the component spares the user what would only repeat:
// - a failure to open the layout database of the path field (reported on every change of the
//   field, a typed letter included) goes, when the window has a notice area, to that area as one
//   Thai notice naming the folder, replacing the last one, never as a box;
// - a box identical to one already shown (number, description, owner, context) is not shown again.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "report/report_error.h"

namespace app::window {

class MessageBoxErrorReport : public report::ErrorReportComponent {
  public:
    void setErrorNumber(int32_t number) override { number_ = number; }
    void setErrorDescription(const std::string& description) override {
        description_ = description;
    }
    void setErrorSource(const std::string& source) override { source_ = source; }
    void setOwnerName(const std::string& owner) override { owner_ = owner; }
    void setContext(const std::string& context) override { context_ = context; }
    // REQUIRES: a QApplication exists.
    void report() override;

    // The box's text: a Thai sentence, then one line per value, in the order the values were set.
    QString text() const;
    // Of a report on the layout database of the path field: the notice that tells it; else empty.
    QString pathNotice() const;

  private:
    int32_t number_ = 0;
    std::string description_;
    std::string source_;
    std::string owner_;
    std::string context_;
};

// Registers MessageBoxErrorReport as the program's error report component.
void registerMessageBoxErrorReport();

// Where path notices go (the window's notice area); an empty function sends them to boxes.
void setPathNoticeSink(std::function<void(const QString& notice)> sink);

}  // namespace app::window
