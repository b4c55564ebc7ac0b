#include "dispatch/send_backoff.h"

#include <algorithm>

std::chrono::seconds CDoublingDelay::Next() {
  m_next = m_next == std::chrono::seconds::zero() ? m_first : std::min(m_next * 2, m_ceiling);
  return m_next;
}
