#include "dispatch/run_pace.h"

#include <algorithm>

CRunPace::CRunPace(int perMinute, CRunClock& clock) : m_clock(&clock) {
  if (perMinute > 0) {
    m_interval = std::chrono::duration_cast<Clock::duration>(std::chrono::minutes(1)) / perMinute;
  }
}

bool CRunPace::WaitTurn(const std::function<bool()>& stop) {
  if (stop && stop()) return false;
  // The turn is worked out again after each wait: `stop` may deal with the
  // replies of messages on other connections, which can widen the gap or
  // hold the run.
  for (;;) {
    std::optional<Clock::time_point> turn = m_holdUntil;
    const Clock::duration interval = std::max(m_interval, m_gap);
    if (m_last && interval > Clock::duration::zero()) {
      turn = std::max(turn.value_or(*m_last), *m_last + interval);
    }
    if (!turn || m_clock->Now() >= *turn) break;
    if (!m_clock->WaitUntil(*turn, stop, nullptr)) return false;
  }
  m_holdUntil.reset();
  m_last = m_clock->Now();
  return true;
}

void CRunPace::WidenGap(Clock::duration gap) { m_gap = std::max(m_gap, gap); }

void CRunPace::HoldFor(Clock::duration hold) { m_holdUntil = m_clock->Now() + hold; }
