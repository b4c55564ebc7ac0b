#include "dispatch/connection_pool.h"

#include <optional>
#include <utility>

#include "dispatch/run_control.h"
#include "dispatch/run_tracker.h"
#include "platform/net.h"

namespace {

// How long the run's thread waits for the connections between two runs of
// the wait hook: the window's repaint and input latency while it waits.
constexpr std::chrono::milliseconds kWaitSlice{10};

constexpr int kServiceNotAvailable = 421;

// How long a connection refused while no other is open waits before its one
// more try, and the slices in which it looks for a stop meanwhile.
constexpr std::chrono::milliseconds kRefusedPause{1000};
constexpr std::chrono::milliseconds kPauseSlice{50};

}  // namespace

CConnectionPool::CConnectionPool(const MessageTarget& target, int connections,
                                 std::function<int()> stopLevel)
    : m_target(target), m_stopLevel(std::move(stopLevel)) {
  const int count = connections < 1 ? 1 : connections;
  m_nWorking = count;
  m_threads.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) m_threads.emplace_back([this] { Work(); });
}

CConnectionPool::~CConnectionPool() { Finish(); }

std::vector<PoolResult> CConnectionPool::WaitForRoom() {
  return WaitUntil([this] {
    return static_cast<int>(m_jobs.size()) + m_nBusy < m_nWorking;
  });
}

void CConnectionPool::Submit(std::uint64_t tag, CMailItem item) {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_jobs.push_back(Job{tag, std::move(item), false});
    ++m_nInFlight;
  }
  m_work.notify_one();
}

std::vector<PoolResult> CConnectionPool::TakeResults() {
  std::lock_guard<std::mutex> guard(m_lock);
  return std::exchange(m_results, {});
}

std::vector<PoolResult> CConnectionPool::Drain() {
  return WaitUntil([this] { return m_nInFlight == 0; });
}

void CConnectionPool::Finish() {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_threads.empty()) return;
    m_bEnding = true;
    m_jobs.clear();
  }
  m_work.notify_all();
  // The connections' QUIT is answered at once, or given up as a run gives up
  // a silent server after a stop.
  for (std::thread& thread : m_threads) thread.join();
  m_threads.clear();
}

int CConnectionPool::InFlight() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_nInFlight;
}

int CConnectionPool::Working() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_nWorking;
}

int CConnectionPool::ConnectionsOpened() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_nOpened;
}

std::vector<PoolResult> CConnectionPool::WaitUntil(const std::function<bool()>& done) {
  std::vector<PoolResult> results;
  std::unique_lock<std::mutex> lock(m_lock);
  for (;;) {
    if (!m_results.empty()) {
      for (PoolResult& result : m_results) results.push_back(std::move(result));
      m_results.clear();
    }
    if (done()) return results;
    m_done.wait_for(lock, kWaitSlice);
    lock.unlock();
    platform::RunNetWaitHook();
    if (m_stopLevel) m_nStop.store(m_stopLevel());
    lock.lock();
  }
}

void CConnectionPool::Work() {
  // The same patience with a silent server after a stop as the run's own
  // socket waits have (CRunTracker).
  std::optional<std::chrono::steady_clock::time_point> stopSeen;
  platform::SetNetWaitAbandon([this, &stopSeen](std::chrono::milliseconds waited) {
    const int level = m_nStop.load();
    if (level == StopNone) return false;
    if (level >= StopAtOnce) return true;
    const auto now = std::chrono::steady_clock::now();
    if (!stopSeen) stopSeen = now;
    return waited >= CRunTracker::kSilentServerAfterStop &&
           now - *stopSeen >= CRunTracker::kSilentServerAfterStop;
  });
  CMessageSender sender;
  bool holds = false;  // counted in m_nHolding
  for (bool retire = false; !retire;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(m_lock);
      m_work.wait(lock, [this] { return m_bEnding || !m_jobs.empty(); });
      if (m_bEnding) break;
      job = std::move(m_jobs.front());
      m_jobs.pop_front();
      ++m_nBusy;
    }
    PoolResult result;
    result.m_nTag = job.m_nTag;
    for (int attempt = 0;; ++attempt) {
      if (attempt > 0) PauseAfterRefusal();
      const int opened = sender.ConnectionsOpened();
      result.m_bSent =
          sender.Send(m_target, job.m_item, result.m_strError, &result.m_log, job.m_bPrepared);
      job.m_bPrepared = job.m_bPrepared || sender.LastPrepared();
      bool again = false;
      {
        std::lock_guard<std::mutex> guard(m_lock);
        m_nOpened += sender.ConnectionsOpened() - opened;
        if (sender.HoldsConnection() != holds) {
          holds = !holds;
          m_nHolding += holds ? 1 : -1;
        }
        if (!result.m_bSent && RefusedOpening(result)) {
          if (m_nWorking > 1 && m_nHolding > 0) {
            // The server takes no more connections than the others have:
            // this one is not opened again and another takes the message.
            retire = true;
          } else if (attempt == 0 && m_nStop.load() == StopNone) {
            // No other connection is open: the server may still be counting
            // one just closed. One more try after a pause; then it stands.
            again = true;
          }
        }
      }
      if (!again) break;
    }
    std::unique_lock<std::mutex> lock(m_lock);
    --m_nBusy;
    if (retire) {
      --m_nWorking;
      m_jobs.push_front(std::move(job));
    } else {
      m_results.push_back(std::move(result));
      --m_nInFlight;
    }
    lock.unlock();
    if (retire) m_work.notify_one();
    m_done.notify_all();
  }
  sender.Finish();
  if (holds) {
    std::lock_guard<std::mutex> guard(m_lock);
    --m_nHolding;
  }
  platform::SetNetWaitAbandon(nullptr);
}

void CConnectionPool::PauseAfterRefusal() const {
  const auto until = std::chrono::steady_clock::now() + kRefusedPause;
  while (m_nStop.load() == StopNone && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(kPauseSlice);
  }
}

bool CConnectionPool::RefusedOpening(const PoolResult& result) {
  const SmtpSessionLog& log = result.m_log;
  if (log.m_failedStep == SmtpStep::Greeting) {
    return log.m_failure == SmtpFailure::Reply && log.m_nCode == kServiceNotAvailable;
  }
  return log.m_failedStep == SmtpStep::Connect && log.m_failure == SmtpFailure::Network &&
         !log.m_bTimedOut;
}
