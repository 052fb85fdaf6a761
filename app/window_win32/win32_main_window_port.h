// Win32MainWindowPort: the Win32 window as the transfer command and the importers see it.
//
// Fields and labels are the window's edit and static controls; message boxes are the system's,
// with the style's icon; the busy pointer is the system's hourglass over the whole window, set
// aside while a box waits for the user; a yield handles the pending messages of the thread, at
// most once a screen refresh.
#pragma once

#include <windows.h>

#include <string>

#include "form/main_window_port.h"

namespace app::window_win32 {

class MainWindow;

class Win32MainWindowPort : public form::MainWindowPort {
  public:
    explicit Win32MainWindowPort(MainWindow& window) : window_(window) {}

    std::string fieldText(form::Field field) const override;
    void setFieldText(form::Field field, const std::string& text) override;
    std::string labelCaption(form::Label label) const override;
    void setLabelCaption(form::Label label, const std::string& caption) override;
    void setMousePointer(int pointer) override;
    void messageBox(const std::string& prompt, int style, const std::string& title) override;
    void yield() override;
    int currentTab() const override;
    void setCurrentTab(int tab) override;

    bool busy() const { return busy_; }

  private:
    MainWindow& window_;
    bool busy_ = false;
    ULONGLONG lastYield_ = 0;
};

// The system's message box style for a message box style of the logic.
UINT messageBoxStyle(int style);

}  // namespace app::window_win32
