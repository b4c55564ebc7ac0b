#include "dispatch/connection_pool.h"

#include <memory>
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

// Messages handed over per working connection: the one it sends and the
// one that may follow that one's dot.
constexpr int kMessagesPerConnection = 2;

// How long a connection refused while no other is open waits before its one
// more try, and the slices in which it looks for a stop meanwhile.
constexpr std::chrono::milliseconds kRefusedPause{1000};
constexpr std::chrono::milliseconds kPauseSlice{50};

}  // namespace

CConnectionPool::CConnectionPool(const MessageTarget& target, int connections,
                                 std::function<int()> stopLevel, ResultHandler onResults)
    : m_target(target), m_stopLevel(std::move(stopLevel)), m_onResults(std::move(onResults)) {
  const int count = connections < 1 ? 1 : connections;
  m_nWorking = count;
  m_nAlive = count;
  m_threads.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) m_threads.emplace_back([this] { Work(); });
}

CConnectionPool::~CConnectionPool() { Finish(); }

void CConnectionPool::WaitForRoom() {
  WaitUntil([this] { return m_nInFlight < kMessagesPerConnection * m_nWorking; });
}

void CConnectionPool::Submit(std::uint64_t tag, CMailItem item) {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_jobs.push_back(Job{tag, std::move(item), false});
    ++m_nInFlight;
  }
  m_work.notify_one();
}

void CConnectionPool::TakeResults() {
  std::vector<PoolResult> results;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    results.swap(m_results);
  }
  if (!results.empty() && m_onResults) m_onResults(results);
}

void CConnectionPool::Drain() {
  WaitUntil([this] { return m_nInFlight == 0; });
}

void CConnectionPool::Finish() {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_threads.empty()) return;
    m_bEnding = true;
    m_jobs.clear();
  }
  m_work.notify_all();
  // The connections end with QUIT; meanwhile the window stays live and a
  // stop still reaches them (a silent server is given up as during a run).
  // Results still coming are dropped: the run has dealt with all it wants.
  WaitUntil([this] { return m_nAlive == 0; }, false);
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

void CConnectionPool::WaitUntil(const std::function<bool()>& done, bool deal) {
  std::unique_lock<std::mutex> lock(m_lock);
  for (;;) {
    if (!deal) m_results.clear();
    if (!m_results.empty()) {
      // Dealt with at once (the journal marks a message as soon as it can),
      // outside the lock, so that the connections go on meanwhile.
      std::vector<PoolResult> results;
      results.swap(m_results);
      lock.unlock();
      if (m_onResults) m_onResults(results);
      lock.lock();
      continue;
    }
    if (done()) return;
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
  const auto going = [this] { return m_nStop.load() == StopNone; };
  CMessageSender sender;
  bool holds = false;  // counted in m_nHolding
  // Held by address: the session knows a message whose commands went ahead
  // by where it is.
  std::unique_ptr<Job> current;
  for (bool retire = false; !retire;) {
    std::unique_ptr<Job> next;
    {
      std::unique_lock<std::mutex> lock(m_lock);
      if (!current) {
        m_work.wait(lock, [this] { return m_bEnding || !m_jobs.empty(); });
        if (m_bEnding) break;
        current = std::make_unique<Job>(std::move(m_jobs.front()));
        m_jobs.pop_front();
      }
      if (!going() && !current->m_bBegun) {
        // A stop came before the message began: it goes back unsent.
        PoolResult unsent;
        unsent.m_nTag = current->m_nTag;
        unsent.m_bNotSent = true;
        m_results.push_back(std::move(unsent));
        --m_nInFlight;
        current.reset();
        lock.unlock();
        m_done.notify_all();
        continue;
      }
      // The message after it, when one waits, may follow it on this
      // connection, its commands right after this one's dot.
      if (!m_jobs.empty() && going()) {
        next = std::make_unique<Job>(std::move(m_jobs.front()));
        m_jobs.pop_front();
      }
    }
    PoolResult result;
    result.m_nTag = current->m_nTag;
    for (int attempt = 0;; ++attempt) {
      if (attempt > 0) PauseAfterRefusal();
      const int opened = sender.ConnectionsOpened();
      result.m_bSent = sender.Send(m_target, current->m_item, result.m_strError, &result.m_log,
                                   next ? &next->m_item : nullptr, going);
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
          } else if (attempt == 0 && going()) {
            // No other connection is open: the server may still be counting
            // one just closed. One more try after a pause; then it stands.
            again = true;
          }
        }
      }
      if (!again) break;
    }
    if (next) next->m_bBegun = sender.WentAhead(next->m_item);
    {
      std::lock_guard<std::mutex> guard(m_lock);
      if (retire) {
        --m_nWorking;
        if (next) m_jobs.push_front(std::move(*next));
        m_jobs.push_front(std::move(*current));
        next.reset();
      } else {
        m_results.push_back(std::move(result));
        --m_nInFlight;
      }
    }
    current = std::move(next);
    if (retire) m_work.notify_all();
    m_done.notify_all();
  }
  sender.Finish();
  platform::SetNetWaitAbandon(nullptr);
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if (holds) --m_nHolding;
    --m_nAlive;
  }
  m_done.notify_all();
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
