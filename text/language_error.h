// The run-time errors that the program's own language raises (as opposed to the database's).
//
// Cutting a line, converting an amount, counting lines and reading the input file fail with the
// numbers and wordings users and support staff know from the platform: 6 "Overflow", 9
// "Subscript out of range", 13 "Type mismatch", 53 "File not found" and so on. The source of
// each is the program's name, as the platform gives it.
#pragma once

#include <cstdint>
#include <string>

#include "report/run_time_error.h"

namespace text {

inline constexpr const char* kProgramErrorSource = "VeltraImport";

// Standard wording of a language error number; "Application-defined or object-defined error"
// for numbers it does not know.
std::string languageErrorDescription(int32_t number);

// The error for `number` with its standard wording, or with `description` when one is given.
report::RunTimeError languageError(int32_t number, const std::string& description = {});

}  // namespace text
