// MessageBoxErrorReport: the Qt window program's error report component.
//
// Shows the five values of a report (number, description, source, owner name, context) as
// app/logic/error_report_text.h words them, in a modal message box with a stop icon, and returns
// when the user has closed it; a path notice goes to the window's notice area when it has one.
// The program registers it under report::kErrorReportClassId at start.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/logic/error_report_text.h"
#include "report/report_error.h"

namespace app::window {

class MessageBoxErrorReport : public report::ErrorReportComponent {
  public:
    void setErrorNumber(int32_t number) override { values_.number = number; }
    void setErrorDescription(const std::string& description) override {
        values_.description = description;
    }
    void setErrorSource(const std::string& source) override { values_.source = source; }
    void setOwnerName(const std::string& owner) override { values_.owner = owner; }
    void setContext(const std::string& context) override { values_.context = context; }
    // REQUIRES: a QApplication exists.
    void report() override;

    // The box's text: a Thai sentence, then one line per value, in the order the values were set.
    QString text() const;
    // Of a report on the layout database of the path field: the notice that tells it; else empty.
    QString pathNotice() const;

  private:
    app::ErrorReportValues values_;
};

// Registers MessageBoxErrorReport as the program's error report component.
void registerMessageBoxErrorReport();

// Where path notices go (the window's notice area); an empty function sends them to boxes.
void setPathNoticeSink(std::function<void(const QString& notice)> sink);

}  // namespace app::window
