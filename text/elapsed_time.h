// The time used by a transfer, as the status label shows it.
//
// The elapsed time is the difference of two date-times taken as a time of day and written with
// the pattern "h ชม. m นาที s วินาที": hours (0 to 23, a day and more wraps), minutes and
// seconds, each in decimal without leading zeros, rounded to the nearest second.
#pragma once

#include <string>

#include "jet/value.h"

namespace text {

// "0 ชม. 3 นาที 7 วินาที" for three minutes and seven seconds between `start` and `now`.
std::string elapsedTimeText(jet::DateTime start, jet::DateTime now);

}  // namespace text
