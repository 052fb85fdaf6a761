// The first tab's undo and compact buttons and the transfer tabs' check buttons, as every window
// runs them: the window supplies its own Yes/No question box, repaint and transfer click, the rest
// (what to ask, when to refuse, what to say) is here.
#pragma once

#include <functional>
#include <string>

#include "form/form.h"
#include "form/main_window_port.h"

namespace app {

// Shows `question` under `title` with Yes and No; true for Yes.
using AskYesNo = std::function<bool(const std::string& title, const std::string& question)>;

// Undoes the last transfer of the database in txtDir(1) after asking; does nothing while a
// transfer runs. True when the database was rewritten: the window reloads its grids.
bool undoLastTransfer(form::Form& form, form::MainWindowPort& port, const AskYesNo& ask);

// Compacts the database in txtDir(1) where it is, after asking, with the hourglass up and each
// progress line in the status label (`repaint` shows it without taking input); tells the sizes.
void compactDatabase(const form::Form& form, form::MainWindowPort& port, const AskYesNo& ask,
                     const std::function<void()>& repaint);

// Runs `transfer` (the window's click of the transfer button beside the check button) as a check
// of its file, then shows the box the check ends with. During a transfer the click goes through
// as it is, to be refused where the user sees it.
void checkFile(form::Form& form, form::MainWindowPort& port, const std::function<void()>& transfer);

}  // namespace app
