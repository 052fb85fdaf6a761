// The clerk's wording of an error: what went wrong, in Thai, by error number.
//
// Error descriptions come from the engine and the language in English; the window and the
// transfer result tell the user in Thai what a number means and keep the English description
// for support (the error log holds it whole).
#pragma once

#include <cstdint>
#include <string>

namespace report {

// A Thai sentence for the error number; for a number without one, "ข้อผิดพลาด <n>: <description>".
std::string thaiReason(int32_t number, const std::string& description);

}  // namespace report
