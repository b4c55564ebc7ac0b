// How the kill harness (journal_kill.h) starts postwing-send and ends it
// hard: SIGKILL on POSIX, TerminateProcess on Windows.
#pragma once

#include <filesystem>
#include <string>

#include "support/fault_smtp_server.h"

namespace testsupport {

// When to kill a run: not at all, after a time, or once the server has
// accepted a number of sessions (then after a little more time).
struct KillPlan {
  bool m_bKill = false;
  long m_nAfterUs = 0;
  int m_nSessions = 0;  // 0: by time alone
};

// A run that is not killed ends within this.
inline constexpr int kRunDeadlineMs = 60000;

// Runs postwing-send in `dir` (with --resume when `resume`), killing it as
// `plan` says. True when it was killed (not ended by itself first); `status`
// gets its exit status, or -1 when killed.
bool RunSenderToKill(const std::string& program, const std::filesystem::path& dir, bool resume,
                     const KillPlan& plan, const CFaultSmtpServer& server, int& status);

}  // namespace testsupport
