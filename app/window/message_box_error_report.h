// MessageBoxErrorReport: the window program's error report component.
//
// Shows the five values of a report (number, description, source, owner name, context) to the
// user in a modal message box with a stop icon, and returns when the user has closed it. The
// program registers it under report::kErrorReportClassId at start.
#pragma once

#include <QString>
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

    // The box's text: one line per value, in the order the values were set.
    QString text() const;

  private:
    int32_t number_ = 0;
    std::string description_;
    std::string source_;
    std::string owner_;
    std::string context_;
};

// Registers MessageBoxErrorReport as the program's error report component.
void registerMessageBoxErrorReport();

}  // namespace app::window
