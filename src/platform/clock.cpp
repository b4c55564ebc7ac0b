#include "platform/clock.h"

#include <mutex>
#include <utility>

namespace platform {
namespace {

std::mutex& ClockMutex() {
  static std::mutex mutex;
  return mutex;
}

std::function<UtcTime()>& TestClock() {
  static std::function<UtcTime()> clock;
  return clock;
}

}  // namespace

UtcTime NowUtc() {
  std::function<UtcTime()> clock;
  {
    std::lock_guard<std::mutex> lock(ClockMutex());
    clock = TestClock();
  }
  return clock ? clock() : detail::SystemNowUtc();
}

int HourUtcPlus8(int utcHour) {
  constexpr int kHoursAhead = 8;
  constexpr int kHoursPerDay = 24;
  const int hour = utcHour + kHoursAhead;
  return hour >= kHoursPerDay ? hour - kHoursPerDay : hour;
}

void SetTestClock(std::function<UtcTime()> clock) {
  std::lock_guard<std::mutex> lock(ClockMutex());
  TestClock() = std::move(clock);
}

}  // namespace platform
