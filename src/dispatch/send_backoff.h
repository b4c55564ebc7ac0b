// Delays a run takes on from the server's replies: the hold before the next
// message while temporary failures follow each other, and the gap between
// message starts while the server asks the run to slow down. Both double
// with each further occasion, up to a ceiling.
#pragma once

#include <chrono>

inline constexpr std::chrono::seconds kFirstBackoff{5};
inline constexpr std::chrono::seconds kLongestBackoff{120};
inline constexpr std::chrono::seconds kFirstSlowDownGap{1};
inline constexpr std::chrono::seconds kWidestSlowDownGap{60};

// A delay that starts at `first` and doubles up to `ceiling`.
class CDoublingDelay {
 public:
  CDoublingDelay(std::chrono::seconds first, std::chrono::seconds ceiling)
      : m_first(first), m_ceiling(ceiling) {}
  // The delay for this occasion; the next one will be twice as long.
  std::chrono::seconds Next();
  void Reset() { m_next = std::chrono::seconds::zero(); }

 private:
  std::chrono::seconds m_first;
  std::chrono::seconds m_ceiling;
  std::chrono::seconds m_next{0};
};

// The hold after a message that failed for a temporary reason: 5 s, then
// doubling up to 2 min while such failures follow each other; a message
// that gets through starts again at 5 s.
class CSendBackoff {
 public:
  std::chrono::seconds AfterTemporaryFailure() { return m_delay.Next(); }
  void AfterSuccess() { m_delay.Reset(); }

 private:
  CDoublingDelay m_delay{kFirstBackoff, kLongestBackoff};
};

// The gap between message starts after replies that ask to slow down: the
// first sets 1 s, each further one doubles it, up to 1 min.
class CRateSlowdown {
 public:
  std::chrono::seconds AfterSlowDownReply() { return m_delay.Next(); }

 private:
  CDoublingDelay m_delay{kFirstSlowDownGap, kWidestSlowDownGap};
};
