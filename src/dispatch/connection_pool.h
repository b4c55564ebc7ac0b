// The connections of a run that keeps several busy at once ("connections" in
// modes 1-3). Each connection lives on a thread of its own with its own
// CMessageSender (several messages per connection, RSET, a new connection
// after the server left); the run's thread alone composes the messages,
// hands them over in list order and deals with what became of each, so the
// journal, the record, the pace and the progress stay where they were: on
// the run's thread. While the run's thread waits for a free connection or a
// result it runs the socket wait hook (the window stays live) and passes the
// stop level on to the connections, whose socket waits give up as a run's do.
//
// A connection the server refuses to open (421 at the greeting, or the
// connection refused) while another is open is no failure: its message goes
// to another connection and the run goes on with one connection fewer. With
// no other open (the server may still count one just closed) it tries once
// more after a second; a second refusal is the message's failure.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dispatch/message_send.h"
#include "smtp/mail_item.h"
#include "smtp/smtp_outcome.h"

// What became of one message handed to the pool.
struct PoolResult {
  std::uint64_t m_nTag = 0;  // the caller's, as given to Submit
  bool m_bSent = false;
  bool m_bNotSent = false;  // a stop came before it began: nothing of it went
  std::string m_strError;
  SmtpSessionLog m_log;
};

class CConnectionPool {
 public:
  // What became of messages handed over, in the order the server finished
  // them; called on the run's thread, as soon as the results come in.
  using ResultHandler = std::function<void(const std::vector<PoolResult>& results)>;

  // Starts `connections` (at least 1) connection threads for `target`;
  // `stopLevel` (asked on the run's thread only) is the run's StopLevel.
  CConnectionPool(const MessageTarget& target, int connections, std::function<int()> stopLevel,
                  ResultHandler onResults);
  // Finish().
  ~CConnectionPool();
  CConnectionPool(const CConnectionPool&) = delete;
  CConnectionPool& operator=(const CConnectionPool&) = delete;

  // Waits until a connection has room for a message (each takes the one it
  // sends and the one to follow), dealing with results meanwhile.
  void WaitForRoom();
  // Hands `item` over; call after WaitForRoom. Its sender is set from the
  // account.
  void Submit(std::uint64_t tag, CMailItem item);
  // Deals with the results in so far, without waiting.
  void TakeResults();
  // Waits until every message handed over has a result (after a stop, those
  // not begun come back m_bNotSent), dealing with each as it comes.
  void Drain();
  // Ends every connection (QUIT) and its thread; messages not yet taken by a
  // connection are dropped. Call after Drain to lose none.
  void Finish();

  // Messages handed over and without a result yet.
  int InFlight() const;
  // Connections still working (lowered by refusals).
  int Working() const;
  // Connections opened so far, over all the threads.
  int ConnectionsOpened() const;

 private:
  struct Job {
    std::uint64_t m_nTag = 0;
    CMailItem m_item;
    bool m_bBegun = false;  // its commands followed the dot of the one before
  };

  void Work();
  // Whether the open the session just tried was refused by a server that
  // takes further connections no more, so the message may go elsewhere.
  static bool RefusedOpening(const PoolResult& result);
  // A short wait before trying a refused opening once more (a stop ends it).
  void PauseAfterRefusal() const;
  // Waits in slices, running the wait hook, passing the stop level on and
  // (when `deal`) dealing with results, until `done` holds (asked under the
  // lock).
  void WaitUntil(const std::function<bool()>& done, bool deal = true);

  MessageTarget m_target;
  std::function<int()> m_stopLevel;
  ResultHandler m_onResults;
  std::atomic<int> m_nStop{0};
  mutable std::mutex m_lock;
  std::condition_variable m_work;  // a job came, or the pool ends
  std::condition_variable m_done;  // a result came, or a connection left
  std::deque<Job> m_jobs;
  std::vector<PoolResult> m_results;
  int m_nInFlight = 0;  // handed over, no result yet
  int m_nWorking = 0;   // threads still taking jobs
  int m_nHolding = 0;   // threads holding an open connection between messages
  int m_nAlive = 0;     // threads not yet ended
  int m_nOpened = 0;
  bool m_bEnding = false;
  std::vector<std::thread> m_threads;
};
