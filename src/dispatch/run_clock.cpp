#include "dispatch/run_clock.h"

#include <algorithm>
#include <thread>

#include "platform/net.h"

namespace {

// As long as one slice of a socket wait, so the window repaints as often.
constexpr std::chrono::milliseconds kWaitSlice{50};
constexpr std::chrono::seconds kTickPeriod{1};

}  // namespace

CRunClock::Clock::time_point CRunClock::Now() const { return Clock::now(); }

bool CRunClock::WaitUntil(Clock::time_point until, const std::function<bool()>& stop,
                          const std::function<void()>& tick) {
  if (stop && stop()) return false;
  Clock::time_point nextTick = Clock::now() + kTickPeriod;
  for (Clock::time_point now = Clock::now(); now < until; now = Clock::now()) {
    std::this_thread::sleep_for(std::min<Clock::duration>(until - now, kWaitSlice));
    platform::RunNetWaitHook();
    if (stop && stop()) return false;
    if (tick && Clock::now() >= nextTick) {
      nextTick += kTickPeriod;
      tick();
    }
  }
  return true;
}

CRunClock& RealRunClock() {
  static CRunClock clock;
  return clock;
}
