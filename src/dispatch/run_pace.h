// The pace of a run: at most a set number of messages a minute, spaced
// evenly, the start of each message at least 60 s / rate after the last; a
// wider gap while the server asks the run to slow down, and a hold before
// the next message after a temporary failure.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include "dispatch/run_clock.h"

class CRunPace {
 public:
  // `perMinute` <= 0: no limit.
  explicit CRunPace(int perMinute, CRunClock& clock = RealRunClock());

  // Waits until the next message may start (the first one at once), in short
  // slices that run the socket wait hook, so the window stays live. False,
  // at once, when `stop` says so between slices.
  bool WaitTurn(const std::function<bool()>& stop);

  // Message starts at least `gap` apart from now on; the rate stays the
  // lower bound.
  void WidenGap(CRunClock::Clock::duration gap);
  // The next message waits until `hold` from now has passed.
  void HoldFor(CRunClock::Clock::duration hold);

 private:
  using Clock = CRunClock::Clock;
  CRunClock* m_clock;
  Clock::duration m_interval{};
  Clock::duration m_gap{};
  std::optional<Clock::time_point> m_last;
  std::optional<Clock::time_point> m_holdUntil;
};
