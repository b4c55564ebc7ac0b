#include "ui/common/double_click.h"

bool CDoubleClickPairer::Press(Clock::time_point at, std::chrono::milliseconds interval) {
  if (m_lastPress && at >= *m_lastPress && at - *m_lastPress < interval) {
    m_lastPress.reset();
    return true;
  }
  m_lastPress = at;
  return false;
}
