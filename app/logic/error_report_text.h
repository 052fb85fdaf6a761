// What the window's error report shows, whichever toolkit shows it.
//
// A report is shown in a box with a stop icon under kErrorReportTitle: a Thai sentence that says
// what went wrong, then the five values. A failure to open the layout database of the path field
// (reported on every change of the field, a typed letter included) goes instead to the window's
// notice area as one Thai notice naming the folder. A box identical to one already shown in this
// run is not shown again: every report is in errors.log already.
#pragma once

#include <cstdint>
#include <string>

#include "report/report_error.h"

namespace app {

inline constexpr const char* kErrorReportTitle = "รายงานข้อผิดพลาด";

struct ErrorReportValues {
    int32_t number = 0;
    std::string description;
    std::string source;
    std::string owner;
    std::string context;
};

// An error report component that keeps the five values for its report().
class ErrorReportValuesComponent : public report::ErrorReportComponent {
  public:
    void setErrorNumber(int32_t number) override { values_.number = number; }
    void setErrorDescription(const std::string& description) override {
        values_.description = description;
    }
    void setErrorSource(const std::string& source) override { values_.source = source; }
    void setOwnerName(const std::string& owner) override { values_.owner = owner; }
    void setContext(const std::string& context) override { values_.context = context; }

  protected:
    ErrorReportValues values_;
};

// The box's text: a Thai sentence, then one line per value, in the order the values are set.
std::string errorReportText(const ErrorReportValues& values);
// Of a report on the layout database of the path field: the notice that tells it; else empty.
std::string pathNotice(const ErrorReportValues& values);
// Whether a box with these values is shown for the first time in this run; remembers it.
bool firstShowing(const ErrorReportValues& values);

}  // namespace app
