// The parts of the test server that are the same on every system.
#include "support/fault_smtp_server.h"

#include <chrono>

namespace testsupport {

bool CFaultSmtpServer::TakeSessions(std::vector<ServedSession>& sessions, int waitMs) {
  std::unique_lock<std::mutex> lock(m_mutex);
  const bool ended = m_changed.wait_for(lock, std::chrono::milliseconds(waitMs),
                                        [this] { return m_nActive == 0; });
  sessions.swap(m_done);
  m_done.clear();
  return ended;
}

}  // namespace testsupport
