// Calendar time to local broken-down time, safe to call from any thread and
// without re-reading the time-zone settings on every call.
#pragma once

#include <ctime>

namespace platform {

// Fills `local` with `time` in the local time zone; false when it cannot.
bool LocalTime(std::time_t time, std::tm& local);

}  // namespace platform
