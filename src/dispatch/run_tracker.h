// What a batch run does around its messages beyond sending them: counts them
// first, reports progress, keeps the pace, notices a stop request, skips what
// an earlier run had sent when continuing it, and keeps the journal.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
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
  // file is passed over); then whether the next message was. Asked once for
  // every message of the run, in order: the message asked about becomes the
  // current one (Position).
  bool SkipFile();
  bool SkipMessage();
  // The current message's place in the run's order, from 0.
  std::int64_t Position() const { return m_nCurrent; }
  // Waits for the message's turn (the pace) and tells the host it starts;
  // false when a stop was asked for (nothing started). Asking again for the
  // same message returns at once.
  bool Ready();
  // The message that was Ready went to a connection of its own and is not
  // waited for here: the next Ready waits for its own turn.
  void Dispatched() { m_bPaced = false; }
  // The server accepted the message in progress (a keep-going run: the
  // message is dealt with, whatever became of it).
  void Accepted();
  // The same for message `position`, which went to a connection of its own
  // (Dispatched).
  void AcceptedAt(std::int64_t position);
  // A keep-going run: waits for the pace only, for a message tried again
  // (which has no place in the run's order); false when a stop was asked for.
  bool ReadyAgain();
  // Work done between the slices of the pace's waits (the replies of
  // messages on other connections); empty for none.
  void SetIdleWork(std::function<void()> work) { m_idleWork = std::move(work); }
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
  // Note for message `position`, which went to a connection of its own;
  // none: no message is dealt with.
  void NoteAt(const std::vector<JournalPending>& settled,
              const std::vector<JournalPending>& pending, std::optional<std::int64_t> position);
  // What was pending when the run continued had stopped.
  const std::vector<JournalPending>& ResumedPending() const { return m_pending; }
  // Recipients delivered and not delivered so far.
  void ShowCounts(std::int64_t delivered, std::int64_t undelivered);
  // Messages waiting to be tried again and the seconds until the next try;
  // 0 messages when the run no longer waits.
  void ShowWaiting(std::int64_t messages, std::int64_t seconds);
  bool StopAsked();
  // How hard a stop has been asked for (a StopLevel).
  int StopLevel();
  // The run ends: the journal goes when every message was sent, else stays.
  void Finish(bool allSent);

  // Whether a stop was asked for while the run worked.
  bool Stopped() const { return m_bStopped; }

 private:
  bool AbandonWait(std::chrono::milliseconds waited);
  // The idle work, then StopAsked.
  bool IdleAndStopAsked();
  // One more message accepted (or dealt with): the progress says so.
  void CountAccepted();
  void Report();

  CBatchHost& m_host;
  RunProgress m_progress;
  std::int64_t m_nPerFile = 0;  // messages per mail file (non-blank address lines)
  JournalCount m_resumed;       // accepted by the run continued
  std::int64_t m_nNext = 0;     // the place of the next message asked about
  std::int64_t m_nCurrent = -1;  // the place of the current one
  bool m_bPaced = false;         // the current message had its turn (Ready)
  std::function<void()> m_idleWork;
  CRunPace m_pace{0};
  CRunJournal m_journal;
  std::vector<JournalPending> m_pending;
  bool m_bStopped = false;
  std::optional<std::chrono::steady_clock::time_point> m_stopSeen;
};
