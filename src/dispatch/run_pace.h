// The pace of a run: at most a set number of messages a minute, spaced
// evenly, the start of each message at least 60 s / rate after the last.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

class CRunPace {
 public:
  // `perMinute` <= 0: no limit.
  explicit CRunPace(int perMinute);

  // Waits until the next message may start (the first one at once), in short
  // slices that run the socket wait hook, so the window stays live. False,
  // at once, when `stop` says so between slices.
  bool WaitTurn(const std::function<bool()>& stop);

 private:
  using Clock = std::chrono::steady_clock;
  Clock::duration m_interval{};
  std::optional<Clock::time_point> m_last;
};
