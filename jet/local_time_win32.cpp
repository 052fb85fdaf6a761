#include "jet/local_time.h"

namespace jet {

std::tm localTime(std::time_t moment) {
    std::tm parts{};
    localtime_s(&parts, &moment);
    return parts;
}

}  // namespace jet
