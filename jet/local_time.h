// The local time of a moment, on every system (the C library's thread-safe call differs).
#pragma once

#include <ctime>

namespace jet {

std::tm localTime(std::time_t moment);

}  // namespace jet
