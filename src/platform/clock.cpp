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

void SetTestClock(std::function<UtcTime()> clock) {
  std::lock_guard<std::mutex> lock(ClockMutex());
  TestClock() = std::move(clock);
}

}  // namespace platform
