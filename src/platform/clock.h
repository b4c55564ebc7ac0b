// The system clock in UTC, which tests can set.
#pragma once

#include <functional>

namespace platform {

struct UtcTime {
  int year = 1970;
  int month = 1;   // 1-12
  int day = 1;     // 1-31
  int hour = 0;    // 0-23
  int minute = 0;  // 0-59
  int second = 0;  // 0-60
};

// The current time in UTC, or what the test clock says while one is set.
UtcTime NowUtc();

// The hour of UTC+8 for a UTC hour (0-23): the hour plus 8, less 24 from 24 on.
int HourUtcPlus8(int utcHour);

// Replaces the clock until it is cleared with an empty function.
void SetTestClock(std::function<UtcTime()> clock);

namespace detail {
// The system's own clock in UTC (one file per system).
UtcTime SystemNowUtc();
}  // namespace detail

}  // namespace platform
