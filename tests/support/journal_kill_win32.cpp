#include "support/journal_kill_process.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "support/child_process_win32.h"

namespace testsupport {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool RunSenderToKill(const std::string& program, const fs::path& dir, bool resume, const KillPlan& plan,
                     const CFaultSmtpServer& server, int& status) {
  const int sessionsBefore = server.SessionsAccepted();
  CChildProcess::Options options;
  options.m_program = fs::path(program);  // code-page bytes, as .string() gives them
  options.m_strArgs = resume ? "--resume" : "";
  options.m_dir = dir;
  CChildProcess child(options);
  status = -1;
  if (!child.Started()) return false;
  DWORD code = 0;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kRunDeadlineMs);
  bool ended = false;
  // Until the session count is reached (or the run ends, or hangs).
  while (plan.m_bKill && plan.m_nSessions > 0 && server.SessionsAccepted() - sessionsBefore < plan.m_nSessions) {
    if (child.Wait(0, code)) {
      ended = true;
      break;
    }
    if (Clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  if (plan.m_bKill && !ended) {
    std::this_thread::sleep_for(std::chrono::microseconds(plan.m_nAfterUs));
    child.Terminate();
  } else if (!ended) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (!child.Wait(static_cast<DWORD>(std::max<long long>(0, left.count())), code)) child.Terminate();
  }
  // A run that ended by itself just before the kill keeps its own status.
  child.Wait(INFINITE, code);
  if (code == CChildProcess::kTerminatedStatus) return true;
  status = static_cast<int>(code);
  return false;
}

}  // namespace testsupport
