#include "text/elapsed_time.h"

#include <cmath>
#include <cstdint>

namespace text {

std::string elapsedTimeText(jet::DateTime start, jet::DateTime now) {
    // A date-time's time of day ignores its sign; a negative difference (the clock set back)
    // shows its size.
    const double days = std::fabs(now.oleDate - start.oleDate);
    const int64_t seconds = std::llround(days * 86400.0) % 86400;
    return std::to_string(seconds / 3600) + " ชม. " + std::to_string(seconds / 60 % 60) + " นาที " +
           std::to_string(seconds % 60) + " วินาที";
}

}  // namespace text
