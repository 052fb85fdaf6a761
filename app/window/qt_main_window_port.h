// QtMainWindowPort: frmMain as the transfer command, the importers and the settings see it.
//
// Reads and writes the window's fields and status labels, shows modal message boxes in the three
// styles (no icon, stop icon, question icon; always an OK button), sets the busy pointer as an
// application-wide override cursor, and yields to the event loop. Setting txtDir(1) emits the
// field's change, so the window's path-change handling runs exactly as when the user types.
//
// A status label takes its new caption at once; it is widened to fit the caption only before
// the window next handles events (measuring Thai text costs more than a transfer's line).
#pragma once

#include <QElapsedTimer>
#include <string>

#include "form/main_window_port.h"

namespace app::window {

class FrmMain;

class QtMainWindowPort : public form::MainWindowPort {
  public:
    explicit QtMainWindowPort(FrmMain& window) : window_(window) {}
    ~QtMainWindowPort() override;

    std::string fieldText(form::Field field) const override;
    void setFieldText(form::Field field, const std::string& text) override;

    std::string labelCaption(form::Label label) const override;
    void setLabelCaption(form::Label label, const std::string& caption) override;

    void setMousePointer(int pointer) override;
    void messageBox(const std::string& prompt, int style, const std::string& title) override;
    // Runs pending events at most about 60 times a second: a transfer yields once per line,
    // and repainting the labels for every line would cost more than the line itself.
    void yield() override;

    int currentTab() const override;
    void setCurrentTab(int tab) override;

  private:
    // Widens the labels whose captions changed since they were last fitted.
    void fitChangedLabels();

    FrmMain& window_;
    bool busy_ = false;  // the hourglass override cursor is set
    QElapsedTimer sinceYield_;
    unsigned unfittedLabels_ = 0;  // a bit for each Label whose caption is not yet fitted
    bool fitPosted_ = false;       // a fit is queued for the event loop
};

}  // namespace app::window
