// The clock a run waits on: the pace, the back-off after temporary failures
// and the retry schedule all ask it for the time and wait through it. The
// real clock waits in short slices that run the socket wait hook, so the
// window stays live and a stop ends the wait at once; a host may supply
// another clock (one that moves on at once, for runs that must not wait).
#pragma once

#include <chrono>
#include <functional>

class CRunClock {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~CRunClock() = default;
  virtual Clock::time_point Now() const;
  // Waits until `until`. Between slices it calls `stop` (false returned at
  // once when it says so) and, about once a second, `tick`.
  virtual bool WaitUntil(Clock::time_point until, const std::function<bool()>& stop,
                         const std::function<void()>& tick);
};

// The steady clock of the process, shared by every run.
CRunClock& RealRunClock();
