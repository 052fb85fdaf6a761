// MainWindowPort: the main window as the transfer command and the importers see it.
//
// The logic never touches a widget. It reads the window's fields, sets its status labels, shows
// modal message boxes, sets the busy pointer and yields to the message loop through this small
// interface, so that it runs unchanged behind the Qt window, the command-line program and the
// tests' recording fake.
#pragma once

#include <string>

namespace form {

// Text fields of the window that the logic reads or fills.
enum class Field {
    CompanyCode,  // txtCompanyCode
    TextFile,     // txtDir(0)
    Database,     // txtDir(1)
    Delimiter,    // txtDelimiter
    Year,         // txtYear(0)
    Period,       // txtPeriod(0)
    BankCode,     // txtBankCode
};

// Status labels below the tab control.
enum class Label {
    ProcessStatus,  // lblProcessStatus
    RecordCount,    // lblRecordCount
    UseTime,        // lblUseTime
};

// Application-wide mouse pointer values.
constexpr int kPointerDefault = 0;
constexpr int kPointerHourglass = 11;

// Message box styles.
constexpr int kMsgOkOnly = 0;
constexpr int kMsgCritical = 16;
constexpr int kMsgQuestion = 32;

class MainWindowPort {
  public:
    virtual ~MainWindowPort() = default;

    virtual std::string fieldText(Field field) const = 0;
    // Setting txtDir(1) runs the window's path-change handling, as typing does.
    virtual void setFieldText(Field field, const std::string& text) = 0;

    virtual std::string labelCaption(Label label) const = 0;
    virtual void setLabelCaption(Label label, const std::string& caption) = 0;

    virtual void setMousePointer(int pointer) = 0;
    // Modal; returns when the user has closed it.
    virtual void messageBox(const std::string& prompt, int style, const std::string& title) = 0;
    // One pass of the message loop: repaint, handle pending input. Must be cheap when idle.
    virtual void yield() = 0;

    // Index of the current tab of SSTab1 (0..6).
    virtual int currentTab() const = 0;
    virtual void setCurrentTab(int tab) = 0;
};

}  // namespace form
