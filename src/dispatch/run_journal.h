// The journal of a run, "ini/Send.Jnl" beside the settings file: what the run
// sends (the mail folder's files by name, size and time, the address list's
// size and time, the subject) and how many of its messages the server has
// accepted, so that a run stopped, failed or crashed can be continued after
// the last accepted message. A run that finishes removes it.
//
// The file is a header written whole (under a temporary name, flushed, then
// renamed in place), then one mark appended per accepted message, each with
// one write after the server's answer: a crash of the program loses none,
// and none is ever written for a message not accepted. The mark is "." for
// the message after those accepted so far, and a line "+ N" for message N
// (counted from 0 in the run's order) when the server took it while an
// earlier one was still going on another connection. Appends are flushed
// to the disk at most every kJournalSyncPeriod, which bounds what a power
// loss can cost (messages sent again, never messages skipped).
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/journal_file.h"
#include "settings/mail_source.h"

inline constexpr std::chrono::milliseconds kJournalSyncPeriod{200};

struct MailFileStamp {
  std::string m_strName;  // bare name in the mail folder, code page
  platform::FileStamp m_stamp;
  bool operator==(const MailFileStamp&) const = default;
};

// What a run sends, as far as the journal can tell.
struct RunInputs {
  std::string m_strMailDir;
  std::string m_strAddressFile;
  std::string m_strSubject;
  platform::FileStamp m_address;
  std::vector<MailFileStamp> m_files;  // in the order the run sends them
  // Messages: files x non-blank address lines (or a table's rows); kUnknownTotal when the list is
  // no regular file (a pipe is read once, by the run itself).
  std::int64_t m_nTotal = 0;
  bool operator==(const RunInputs&) const = default;
};

inline constexpr std::int64_t kUnknownTotal = -1;

// The journal's path under the start directory.
std::filesystem::path JournalPath(const std::filesystem::path& startDir);

// The header text for `inputs`, and its reading back.
std::string FormatJournalHeader(const RunInputs& inputs);
// A recipient of a keep-going run that failed for a temporary reason and had
// not been tried to the end: a line "T" when it was queued, "F" when its
// outcome became final.
struct JournalPending {
  std::string m_strMailFile;  // bare name in the mail folder (code page)
  std::string m_strRecipient;  // the address list's form
  bool operator==(const JournalPending&) const = default;
};

// The messages a journal marks as accepted: every one before m_nPrefix and
// those of m_ahead, all after it.
struct JournalCount {
  std::int64_t m_nPrefix = 0;
  std::set<std::int64_t> m_ahead;
  std::int64_t Accepted() const { return m_nPrefix + static_cast<std::int64_t>(m_ahead.size()); }
  bool Contains(std::int64_t position) const {
    return position < m_nPrefix || m_ahead.count(position) > 0;
  }
  // Marks message `position`; true when it was the one after the prefix
  // (which then takes in the messages of m_ahead that follow it).
  bool Add(std::int64_t position);
};

// Reads a journal's text: its header into `inputs`, the count of messages
// accepted after it into `done`, when asked which ones into `count` and the
// recipients still pending into `pending`. False when the header is not
// whole (a journal being replaced when the machine stopped, or no journal).
bool ParseJournal(const std::string& text, RunInputs& inputs, std::int64_t& done,
                  std::vector<JournalPending>* pending = nullptr, JournalCount* count = nullptr);

// Non-blank lines (after trimming) of a text file, read one line at a time;
// false when the file cannot be opened.
bool CountAddressLines(const std::filesystem::path& path, std::int64_t& lines);

// The inputs a run started now would send, as the run reads them: the mail
// folder and address list named in `source`, relative to `startDir` unless
// absolute. An unreadable folder or list counts as empty.
RunInputs ReadRunInputs(const std::filesystem::path& startDir, const CMailSource& source);

// Whether a journal leaves something to continue: messages after the last one
// dealt with (but not before the first), or recipients still pending.
bool JournalLeavesWork(std::int64_t done, std::int64_t total,
                       const std::vector<JournalPending>& pending);

// Whether a run can continue the one the journal describes.
struct ResumePoint {
  enum State {
    None,     // no journal, or nothing accepted yet, or all accepted
    Same,     // the same inputs: continue after m_nDone messages
    Changed,  // the inputs changed since: only a new start is possible
  };
  State m_state = None;
  std::int64_t m_nDone = 0;
  std::int64_t m_nTotal = 0;
};
ResumePoint FindResumePoint(const std::filesystem::path& startDir, const CMailSource& source);

// The journal of the run in progress.
class CRunJournal {
 public:
  // Replaces any journal with a new one for `inputs`; false when it cannot be
  // written (the run then goes on without one).
  bool Begin(const std::filesystem::path& path, const RunInputs& inputs);
  // Goes on with the journal at `path`, which was read as `inputs`, `count`
  // and `pending`: it is written again whole with what was read (as Begin
  // writes, so that a mark cut short by a crash cannot run into the marks
  // that follow it), then appended to.
  bool Continue(const std::filesystem::path& path, const RunInputs& inputs,
                const JournalCount& count, const std::vector<JournalPending>& pending);
  // Message `position` accepted (in a keep-going run: dealt with).
  void Accepted(std::int64_t position);
  // In one write: the recipients whose outcome became final, those queued
  // to be tried again, and, with a `position`, that message dealt with; so
  // that a crash never leaves a message marked without its queued
  // recipients, nor the reverse.
  void Note(const std::vector<JournalPending>& settled, const std::vector<JournalPending>& pending,
            std::optional<std::int64_t> position);
  // The run finished: the journal goes.
  void Remove();
  // The run ended otherwise: the journal stays, flushed.
  void Close();

 private:
  platform::CJournalFile m_file;
  std::filesystem::path m_path;
  std::chrono::steady_clock::time_point m_lastSync;
  bool m_bUnsynced = false;
  JournalCount m_count;

  // The mark of message `position` ("" when it was marked before).
  std::string MarkOf(std::int64_t position);
  void AppendMark(std::string_view mark);
};
