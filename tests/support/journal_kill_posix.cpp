#include "support/journal_kill_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace testsupport {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool RunSenderToKill(const std::string& program, const fs::path& dir, bool resume, const KillPlan& plan,
                     const CFaultSmtpServer& server, int& status) {
  const int sessionsBefore = server.SessionsAccepted();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    if (chdir(dir.c_str()) != 0) _exit(126);
    execl(program.c_str(), program.c_str(), resume ? "--resume" : static_cast<char*>(nullptr),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int raw = 0;
  bool reaped = false;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kRunDeadlineMs);
  // Until the session count is reached (or the run ends, or hangs).
  while (plan.m_bKill && plan.m_nSessions > 0 && server.SessionsAccepted() - sessionsBefore < plan.m_nSessions) {
    if (waitpid(pid, &raw, WNOHANG) == pid) {
      reaped = true;
      break;
    }
    if (Clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  if (plan.m_bKill && !reaped) {
    std::this_thread::sleep_for(std::chrono::microseconds(plan.m_nAfterUs));
    kill(pid, SIGKILL);
    waitpid(pid, &raw, 0);
  } else if (!reaped) {
    while (waitpid(pid, &raw, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &raw, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  const bool killed = WIFSIGNALED(raw);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return killed;
}

}  // namespace testsupport
