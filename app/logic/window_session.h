// Start-up and shut-down of frmMain, whichever toolkit draws it.
//
// loadWindow reads the company and the stored tab from Import.INI, puts right what an interrupted
// transfer left, reads the company's settings and opens the layout tables; the window refreshes
// its grids through `refreshGrids` before the stored tab is selected. unloadWindow saves the
// settings. An error ends either and is reported as frmMain's Form_Load() or Form_Unload().
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "form/form.h"

namespace app {

// "Version." and the three numbers: Version.1.4908.2.
std::string versionText(int major, int minor, int revision);

// The stored current tab as a 16-bit integer, converted as the platform converts a text to a
// whole number: blanks around it ignored, a decimal fraction rounded half to even. Throws a
// type mismatch for a text that is no number, an overflow outside the 16-bit range.
int16_t tabSettingToInteger(const std::string& text);

void loadWindow(form::Form& form, const std::string& programFolder,
                const std::function<void()>& refreshGrids);
void unloadWindow(form::Form& form);

}  // namespace app
