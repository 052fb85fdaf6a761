// ConsoleWindow: the main window as the command-line program shows it.
//
// Field texts are kept in memory; setting the database path runs the window's path-change
// handling through a hook, as typing does in the window. Status labels become one progress line
// on a terminal (lines read, rate, time used, the current status) or, when the output is not a
// terminal, a plain line now and then. Message boxes are printed with their titles. The mouse
// pointer and the message-loop yield mean nothing here.
//
// The window also remembers how the transfer ended, judged by the message boxes it was shown,
// so the program can choose its exit status.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <ostream>
#include <string>

#include "form/main_window_port.h"

namespace cli {

class ConsoleWindow : public form::MainWindowPort {
  public:
    enum class Outcome { None, Completed, LineFailed, Refused };

    // REQUIRES: `out` outlives the window. `lineCount` yields the lines read so far.
    ConsoleWindow(std::ostream& out, bool terminal, std::function<long()> lineCount);

    // Runs after a field's text changed (the window's change handling).
    std::function<void(form::Field)> onFieldChanged;

    std::string fieldText(form::Field field) const override;
    void setFieldText(form::Field field, const std::string& text) override;
    std::string labelCaption(form::Label label) const override;
    void setLabelCaption(form::Label label, const std::string& caption) override;
    void setMousePointer(int) override {}
    void messageBox(const std::string& prompt, int style, const std::string& title) override;
    void yield() override {}
    int currentTab() const override { return tab_; }
    void setCurrentTab(int tab) override { tab_ = tab; }

    Outcome outcome() const { return outcome_; }
    // Ends the progress line, if one is showing.
    void finishProgress();

  private:
    void showProgress(bool force);

    std::ostream& out_;
    bool terminal_;
    std::function<long()> lineCount_;
    std::map<form::Field, std::string> fields_;
    std::map<form::Label, std::string> labels_;
    int tab_ = 0;
    Outcome outcome_ = Outcome::None;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastShown_{};
    long lastPlainCount_ = 0;
    bool progressShowing_ = false;
};

}  // namespace cli
