// When the temporary failures of a run are tried again: after the first pass
// over the list, each no sooner than 1 min after its failure, then 2, 4, 8
// minutes after the next failures, at most 15 min apart, until the retry
// window ("retry" minutes from the end of the first pass) is over.
#pragma once

#include <chrono>
#include <filesystem>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dispatch/run_clock.h"
#include "smtp/mail_item.h"

inline constexpr std::chrono::minutes kFirstRetryAfter{1};
inline constexpr std::chrono::minutes kLongestRetryInterval{15};

// One message waiting to be tried again: a mail file and the recipients of
// one address line that failed for a temporary reason.
struct RetryItem {
  std::string m_strMailFile;  // as the folder listing named it (code page)
  std::filesystem::path m_mailFile;  // the same, native
  std::vector<MailRecipient> m_recipients;
  int m_nRow = 0;  // the address table's row whose fields the message carries; 0: none
  std::vector<std::string> m_replies;  // the last reply per recipient
  int m_nAttempts = 1;
  bool m_bUncertain = false;  // an earlier try may have arrived (cut after the dot)
  CRunClock::Clock::time_point m_due;
};

class CRetrySchedule {
 public:
  using Clock = CRunClock::Clock;

  // The interval before try number `attempts` + 1 after `attempts` tries.
  static Clock::duration IntervalAfter(int attempts);

  // Queues `item`, which failed at `failedAt` after item.m_nAttempts tries.
  void Add(RetryItem item, Clock::time_point failedAt);
  // The first pass ended at `now`: the window of `minutes` starts.
  void StartWindow(Clock::time_point now, int minutes);
  // The next item due, taken out of the queue, when its time falls within
  // the window; none when the queue is empty or the rest fall outside it.
  std::optional<RetryItem> TakeNext();
  // When the next item falls due (the queue must not be empty).
  Clock::time_point NextDue() const;
  // Takes out every item left (they failed for good, or the run ended).
  std::vector<RetryItem> TakeAll();

  std::size_t Waiting() const { return m_items.size(); }
  bool WithinWindow(Clock::time_point when) const { return when <= m_windowEnd; }

 private:
  std::vector<RetryItem> m_items;  // few: only what failed for a temporary reason
  Clock::time_point m_windowEnd{};
};
