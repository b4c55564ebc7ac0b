// Pairs presses of a mouse button into double clicks, for a source that
// reports each press but no double click of its own: GTK's notification-area
// icon reports every press of the left button as one activation.
#pragma once

#include <chrono>
#include <optional>

class CDoubleClickPairer {
 public:
  using Clock = std::chrono::steady_clock;

  // One press at `at`. True when it completes a double click: it comes less
  // than `interval` after an earlier press that is not yet part of a pair.
  // A pair is used up, so a third quick press starts a new one.
  bool Press(Clock::time_point at, std::chrono::milliseconds interval);
  // Forgets an unpaired press (the system reported the double click itself).
  void Reset() { m_lastPress.reset(); }

 private:
  std::optional<Clock::time_point> m_lastPress;
};
