// Pieces the fault soaks share: the run's host without a window, the
// watchdog that turns a hang into a reported breach, the mail file and the
// address lists they send, and file helpers.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dispatch/batch_run.h"
#include "dispatch/footer.h"
#include "dispatch/run_report.h"
#include "platform/codepage.h"
#include "smtp/smtp_session.h"
#include "support/fault_smtp_server.h"

namespace testsupport::soakparts {

using Clock = std::chrono::steady_clock;
using platform::FromUtf8;

inline constexpr int kConnectMs = 3000;

// The timeouts of a soak's sessions: a short connect, replies within `replyMs`.
inline SmtpTimeouts SoakTimeouts(int replyMs) {
  SmtpTimeouts waits;
  waits.m_nConnectMs = kConnectMs;
  waits.m_nReplyMs = replyMs;
  waits.m_nDataEndMs = replyMs;
  return waits;
}
inline constexpr int kRunSlackMs = 30000;       // beyond the waits a run may need, before it counts as hung

inline constexpr char kSender[] = "soak@example.com";

// The run's surroundings without a window: fixed settings, no sound.
class CSoakHost : public CBatchHost {
 public:
  CSoakHost() {
    m_source.m_strMailDir = "mail";
    m_source.m_strAddressFile = "list.txt";
    m_source.m_strSubject = FromUtf8("压力测试");
    m_account.m_strServer = "127.0.0.1";
    m_account.m_strMail = kSender;
  }
  void ReloadMailSource() override {}
  CMailSource TakeMailSource() override { return m_source; }
  CSmtpAccount TakeSmtpAccount() override { return m_account; }
  CSoundSettings SoundSettings() override { return CSoundSettings(); }
  void ShowMessage(const std::string&) override {}
  void PlayCue(const std::string&) override {}
  // One session per message, in every mode: the checks map each session the
  // server saw to one address line.
  void SetSecurity(SmtpOpening opening, const std::string& caFile) {
    m_account.m_nSecurity = static_cast<int>(opening);
    m_account.m_strCaFile = caFile;
    m_account.m_nReuse = 1;
  }
  // Keep-going runs with `retryMinutes` of retries, waiting on `clock`.
  void KeepGoing(int retryMinutes, CRunClock& clock) {
    m_source.m_nOnError = OnErrorKeepGoing;
    m_source.m_nRetryMinutes = retryMinutes;
    m_clock = &clock;
  }
  CRunClock& RunClock() override { return m_clock ? *m_clock : RealRunClock(); }

 private:
  CMailSource m_source;
  CSmtpAccount m_account;
  CRunClock* m_clock = nullptr;
};

// A clock whose waits end at once, moving it on: the back-off and the
// retries of keep-going runs cost no real time.
class CSoakClock : public CRunClock {
 public:
  Clock::time_point Now() const override { return m_now; }
  bool WaitUntil(Clock::time_point until, const std::function<bool()>& stop,
                 const std::function<void()>&) override {
    if (stop && stop()) return false;
    if (until > m_now) m_now = until;
    return true;
  }

 private:
  Clock::time_point m_now = Clock::now();
};

// What one run claims: its sessions, whether it succeeded, its error, and the
// line it added to the report file.
struct RunClaim {
  int m_nAddressLines = 0;   // lines in the list
  int m_nSessions = 0;       // the address count the run reports
  bool m_bSucceeded = false;
  std::string m_strError;    // in-process runs only
  std::string m_strReportLine;
  std::vector<std::vector<std::string>> m_recipients;  // per line, the addresses it names
  SmtpOpening m_opening = SmtpOpening::Plain;
};

// Ends the process when a run outlives its deadline: a hang is reported
// instead of waiting for ever.
class CWatchdog {
 public:
  CWatchdog() : m_thread([this] { Watch(); }) {}
  ~CWatchdog() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_bStop = true;
    }
    m_changed.notify_all();
    m_thread.join();
  }
  void Arm(int ms, std::string what) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_deadline = Clock::now() + std::chrono::milliseconds(ms);
    m_what = std::move(what);
    m_bArmed = true;
  }
  void Disarm() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bArmed = false;
  }

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bStop) {
      m_changed.wait_for(lock, std::chrono::milliseconds(200));
      if (m_bArmed && Clock::now() > m_deadline) {
        std::fprintf(stderr, "soak: BREACH: %s did not end within its timeouts (hang)\n", m_what.c_str());
        std::_Exit(3);
      }
    }
  }
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_bStop = false;
  bool m_bArmed = false;
  Clock::time_point m_deadline;
  std::string m_what;
  std::thread m_thread;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
}

// The mail file: Chinese text, dot lines, CR LF line ends.
inline std::string MailText() {
  return FromUtf8(
      "各位好:\r\n"
      "本周例会改在周四下午三点.\r\n"
      ".\r\n"
      "..两个点开头的一行\r\n"
      ".NET 小组请准备演示。\r\n"
      "\r\n"
      "谢谢!\r\n");
}

// The body a server must receive for that file: the text as read (LF lines),
// the footer, CR LF line ends, and the CR LF that precedes the final dot.
inline std::string ExpectedBody() {
  std::string lf;
  for (std::size_t i = 0; i < MailText().size(); ++i) {
    if (MailText().compare(i, 2, "\r\n") == 0) continue;
    lf += MailText()[i];
  }
  lf += MailFooter();
  std::string body;
  for (const char c : lf) {
    if (c == '\n') body += '\r';
    body += c;
  }
  return body + "\r\n";
}

// Writes `lines` address lines for run `run` (one or two recipients each),
// with blank lines between some, and returns the addresses per line.
inline std::vector<std::vector<std::string>> WriteAddressList(int run, int lines, std::mt19937_64& random) {
  std::vector<std::vector<std::string>> recipients;
  std::string list;
  for (int i = 0; i < lines; ++i) {
    const std::string base = "r" + std::to_string(run) + "-" + std::to_string(i);
    if (random() % 3 == 0) {
      recipients.push_back({base + "a@example.com", base + "b@example.com"});
      list += FromUtf8("张三<") + base + "a@example.com>;" + base + "b@example.com\r\n";
    } else {
      recipients.push_back({base + "@example.com"});
      list += base + "@example.com\r\n";
    }
    if (random() % 4 == 0) list += "  \r\n";
  }
  WriteAll("list.txt", list);
  return recipients;
}

// The part of the report file past `offset`, without its line breaks.
inline std::string NewReportLine(std::size_t offset) {
  std::string added = ReadAll(platform::NativePath(ReportFileName()).string());
  added = offset < added.size() ? added.substr(offset) : std::string();
  return TrimWhiteSpace(added);
}

}  // namespace testsupport::soakparts
