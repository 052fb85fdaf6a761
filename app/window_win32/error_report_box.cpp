#include "app/window_win32/error_report_box.h"

#include <windows.h>

#include <memory>

#include "app/logic/error_report_text.h"
#include "app/window_win32/wide_text.h"
#include "report/report_error.h"

namespace app::window_win32 {

namespace {

std::function<void(const std::string&)>& pathNoticeSink() {
    static std::function<void(const std::string&)> sink;
    return sink;
}

class ErrorReportBox : public app::ErrorReportValuesComponent {
  public:
    void report() override {
        const std::string notice = app::pathNotice(values_);
        if (!notice.empty() && pathNoticeSink()) {
            pathNoticeSink()(notice);
            return;
        }
        if (!app::firstShowing(values_)) return;
        MessageBoxW(GetActiveWindow(), wide(app::errorReportText(values_)).c_str(),
                    wide(app::kErrorReportTitle).c_str(), MB_OK | MB_ICONERROR);
    }
};

}  // namespace

void registerErrorReportBox() {
    report::registerComponent(report::kErrorReportClassId,
                              [] { return std::make_unique<ErrorReportBox>(); });
}

void setPathNoticeSink(std::function<void(const std::string& notice)> sink) {
    pathNoticeSink() = std::move(sink);
}

}  // namespace app::window_win32
