// The Win32 program's error report component: the report, worded as app/logic/error_report_text.h
// words it, in the system's message box with a stop icon; a path notice goes to the window's
// notice area when a window has set a sink for it.
#pragma once

#include <functional>
#include <string>

namespace app::window_win32 {

// Registers the component as the program's error report component.
void registerErrorReportBox();

// Where path notices go; an empty function sends them to boxes.
void setPathNoticeSink(std::function<void(const std::string& notice)> sink);

}  // namespace app::window_win32
