// ReadDefaultINI and SaveDefaultINI: the window's values kept in Import.INI between runs.
//
// Section "Settings" holds the company code (key CompanyCode) and the current tab (SSTab1); a
// section named by each company code holds that company's text file, database path and
// separator. ReadDefaultINI loads the current company's three values into the window (fixed
// defaults where absent); SaveDefaultINI writes all five. An unexpected failure ends the
// operation at the failing step and is reported for "frmMain".
#pragma once

#include <cstdio>
#include <string>

#include "form/form.h"

namespace settings {

// Defaults of the per-company values (they do not follow the company code).
inline constexpr const char* kDefaultTextFilePath =
    "C:\\Program Files\\Payroll\\Sample\\Backup\\ข้อมูลประวัติพนักงาน.txt";
inline constexpr const char* kDefaultMelvarFilePath =
    "C:\\Program Files\\Payroll\\Sample\\Data\\Melvar.mdb";
inline constexpr const char* kDefaultDelimiter = ",";
inline constexpr const char* kDefaultCompanyCode = "Sample";

// The settings file of a program folder: the folder, the platform's separator, "Import.INI".
std::string settingsFilePath(const std::string& programFolder);

// Loads TextFilePath, MelvarFilePath and Delimiter of section CurrentCompanyCode into txtDir(0),
// txtDir(1) and txtDelimiter, in that order. A field whose text does not change is left alone;
// a changed txtDir(1) runs the window's path-change handling through the port.
void ReadDefaultINI(form::Form& form);

// Writes CompanyCode (from txtCompanyCode) and SSTab1 (the current tab) to "Settings", then the
// three per-company values to the section of CurrentCompanyCode (not of the field's text).
void SaveDefaultINI(form::Form& form);

}  // namespace settings
