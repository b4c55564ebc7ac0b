// What a batch run does around its messages beyond sending them: counts them
// first, reports progress, keeps the pace, notices a stop request, skips what
// an earlier run had sent when continuing it, and keeps the journal.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "dispatch/run_control.h"
#include "dispatch/run_journal.h"
#include "dispatch/run_pace.h"

class CBatchHost;

class CRunTracker {
 public:
  // Gives up socket waits on a silent server once a stop has been asked for
  // and nothing came for this long.
  static constexpr std::chrono::milliseconds kSilentServerAfterStop{2000};

  explicit CRunTracker(CBatchHost& host);
  ~CRunTracker();
  CRunTracker(const CRunTracker&) = delete;
  CRunTracker& operator=(const CRunTracker&) = delete;

  // Before the first message: counts the run's messages and starts the
  // journal afresh, or, when `resume`, continues the journal's run. False
  // (with `error` set) when there is nothing to continue or its inputs changed.
  bool Start(const std::filesystem::path& startDir, const CMailSource& source, bool resume,
             std::string& error);

  // Before the first message of a run that sends a given set of `total`
  // messages (sending again what did not arrive): no journal.
  void StartCounted(const CMailSource& source, std::int64_t total);

  // Whether every message of the next mail file was accepted before (the
  // file is passed over); then whether the next message was.
  bool SkipFile();
  bool SkipMessage();
  // Waits for the message's turn (the pace) and tells the host it starts;
  // false when a stop was asked for (nothing started). Asking again for the
  // same message returns at once.
  bool Ready();
  // The server accepted the message in progress (a keep-going run: the
  // message is dealt with, whatever became of it).
  void Accepted();
  // A keep-going run: waits for the pace only, for a message tried again
  // (which has no place in the run's order); false when a stop was asked for.
  bool ReadyAgain();
  // The pace, for the delays the server's replies ask for.
  CRunPace& Pace() { return m_pace; }
  CRunClock& Clock();
  // Keep-going runs: a recipient queued to be tried again, and its outcome
  // become final (kept in the journal, so that a continued run tries again
  // exactly what was pending).
  // With `accepted`, the message in progress counts as dealt with
  // (Accepted), in the same write as the recipients.
  void Note(const std::vector<JournalPending>& settled, const std::vector<JournalPending>& pending,
            bool accepted);
  // What was pending when the run continued had stopped.
  const std::vector<JournalPending>& ResumedPending() const { return m_pending; }
  // Recipients delivered and not delivered so far.
  void ShowCounts(std::int64_t delivered, std::int64_t undelivered);
  // Messages waiting to be tried again and the seconds until the next try;
  // 0 messages when the run no longer waits.
  void ShowWaiting(std::int64_t messages, std::int64_t seconds);
  bool StopAsked();
  // The run ends: the journal goes when every message was sent, else stays.
  void Finish(bool allSent);

  // Whether a stop was asked for while the run worked.
  bool Stopped() const { return m_bStopped; }

 private:
  bool AbandonWait(std::chrono::milliseconds waited);
  void Report();

  CBatchHost& m_host;
  RunProgress m_progress;
  std::int64_t m_nPerFile = 0;  // messages per mail file (non-blank address lines)
  std::int64_t m_nToSkip = 0;   // accepted by the run continued, not yet passed over
  CRunPace m_pace{0};
  CRunJournal m_journal;
  std::vector<JournalPending> m_pending;
  bool m_bStopped = false;
  std::optional<std::chrono::steady_clock::time_point> m_stopSeen;
};
