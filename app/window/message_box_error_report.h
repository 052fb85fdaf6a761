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

class MessageBoxErrorReport : public app::ErrorReportValuesComponent {
  public:
    // REQUIRES: a QApplication exists.
    void report() override;

    // The box's text: a Thai sentence, then one line per value, in the order the values were set.
    QString text() const;
    // Of a report on the layout database of the path field: the notice that tells it; else empty.
    QString pathNotice() const;
};

// Registers MessageBoxErrorReport as the program's error report component.
void registerMessageBoxErrorReport();

// Where path notices go (the window's notice area); an empty function sends them to boxes.
void setPathNoticeSink(std::function<void(const QString& notice)> sink);

}  // namespace app::window
