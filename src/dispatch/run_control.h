// What a run tells the program around it while it works (progress), and how
// that program asks it to stop.
#pragma once

#include <atomic>
#include <cstdint>

// Where a run stands. Positions count every message of the run in order
// (mail files x non-blank address lines), those a continued run skips included.
struct RunProgress {
  // Messages the whole run sends; negative when they cannot be counted
  // beforehand (an address list fed through a pipe).
  std::int64_t m_nTotal = 0;
  std::int64_t m_nDone = 0;         // accepted by the server, skipped ones included
  std::int64_t m_nSentThisRun = 0;  // accepted in this run
  bool m_bSending = false;          // message m_nDone + 1 is in progress
  // Keep-going runs: mail file x recipient outcomes so far (excluded and
  // duplicate ones count in neither).
  std::int64_t m_nDelivered = 0;
  std::int64_t m_nUndelivered = 0;
  // While the run waits to try messages again: how many wait, and the
  // seconds until the next try (reported about once a second); 0 otherwise.
  std::int64_t m_nRetryWaiting = 0;
  std::int64_t m_nRetrySeconds = 0;
};

// How hard a stop has been asked for.
enum StopLevel {
  StopNone = 0,
  StopAfterMessage = 1,  // end after the message in progress (at once if the server is silent)
  StopAtOnce = 2,        // give up the message in progress as well
};

// A stop request that a signal handler may raise: each Request() raises the
// level by one, up to StopAtOnce.
class CStopRequest {
 public:
  void Request() noexcept {
    int level = m_nLevel.load();
    while (level < StopAtOnce && !m_nLevel.compare_exchange_weak(level, level + 1)) {
    }
  }
  int Level() const noexcept { return m_nLevel.load(); }
  void Clear() noexcept { m_nLevel.store(StopNone); }

 private:
  static_assert(std::atomic<int>::is_always_lock_free, "raised from signal handlers");
  std::atomic<int> m_nLevel{StopNone};
};
