// One batch run: every file of the mail folder to every line of the address
// list, one SMTP session per message, stopping at the first failure or, with
// "onerror"=1, going past failures with a record of every recipient
// (CKeepGoingRun); then the end cue, the outcome message and one line in the
// report file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "dispatch/run_clock.h"
#include "dispatch/run_control.h"
#include "platform/dirs.h"
#include "settings/mail_source.h"
#include "settings/smtp_account.h"
#include "settings/sound_settings.h"

// What a run needs from the program around it: the window implements it with
// its pages, the headless sender and the tests with plain settings.
class CBatchHost {
 public:
  virtual ~CBatchHost() = default;
  // Reloads the mail source from the settings file (and shows it).
  virtual void ReloadMailSource() = 0;
  // The mail source as its controls hold it now.
  virtual CMailSource TakeMailSource() = 0;
  // The SMTP account as its controls hold it now.
  virtual CSmtpAccount TakeSmtpAccount() = 0;
  // The sound settings as last stored or loaded (not refreshed from controls).
  virtual CSoundSettings SoundSettings() = 0;
  // A modal OK message box with the exclamation icon; `text` in the code page.
  virtual void ShowMessage(const std::string& text) = 0;
  // Plays a wave synchronously; `path` in the code page.
  virtual void PlayCue(const std::string& path) = 0;
  // Where the run stands: after counting, when a message starts and when the
  // server has accepted it.
  virtual void ShowProgress(const RunProgress& progress) { (void)progress; }
  // Whether a stop has been asked for (a StopLevel); asked before every
  // message, during the pace's pauses and while a socket waits.
  virtual int StopLevel() { return StopNone; }
  // The clock the run's waits go by (the pace, back-off, retries).
  virtual CRunClock& RunClock() { return RealRunClock(); }
};

class CRunTracker;
class CMessageSender;
class CConnectionPool;
struct PoolResult;
class CRunMail;
class CMailItem;
struct KeepGoingSummary;

// What a keep-going run ("onerror"=1) came to, beside the error text.
struct RunOutcome {
  bool m_bKeepGoing = false;        // the run went past failures and kept a record
  std::int64_t m_nDelivered = 0;    // mail file x recipient
  std::int64_t m_nUndelivered = 0;  // refused, still failing or not sent
  bool m_bFailed = false;           // the run ended on a failure
  std::string m_strRecordPath;      // the record's full path (code page); "" without one
  std::string m_strRecordName;      // "发送记录/…csv", as the report line names it
};

class CBatchRun {
 public:
  explicit CBatchRun(CBatchHost& host);

  void Run();
  // One run with m_bRetryFailed set: sends again what did not arrive, from
  // the newest record (the report page's 重发未送达).
  void RunRetryFailed();
  // One plain message, outside the run's list: the recipients line, the
  // subject and the body as given.
  bool SendToRecipients(std::string recipients, std::string subject, std::string body);
  void ReadMailText(std::string fileName, std::string& body);
  void ReadNativeMailText(const std::filesystem::path& file, std::string& body);
  void WriteReportLine();

  int m_bShowResult = 0;
  // Continue the run the journal describes, after its last accepted message,
  // instead of starting again.
  int m_bResume = 0;
  // Send again, from the newest record, every mail file x recipient that was
  // still failing or not sent (never a refused one), with the settings and
  // mail files as they are now; the run keeps a record of its own.
  int m_bRetryFailed = 0;
  std::string m_strError;
  std::int32_t m_nMailCount = 0;
  std::int32_t m_nAddressCount = 0;
  // The start directory in the code page, for names joined under it and for
  // messages; the run itself goes back by the native path it read.
  std::string m_strStartDir;

  // Whether the last Run ended because a stop was asked for.
  bool Stopped() const { return m_bStopped; }
  // What the last Run came to, per recipient (keep-going runs).
  const RunOutcome& Outcome() const { return m_outcome; }

  // For tests only: the SMTP port of every session, instead of the account's.
  void SetSmtpPortForTests(unsigned int port) { m_nSmtpPort = port; }

 private:
  // Records `error` as the run's error, shows "发送错误!\n" with it, and
  // returns false: the mail files or the address list could not be used.
  bool FailSending(const std::string& error);
  // Plays a wave named relative to the start directory, or absolute.
  void PlayWave(const std::string& name);
  // A name from the settings, relative to the start directory or absolute.
  std::filesystem::path UnderStartDir(const std::string& name) const;
  // Makes the start directory the working directory again. When it cannot be
  // entered (removed or renamed meanwhile), enters the nearest folder that can
  // be and returns the text that says so; "" when all went well.
  std::string RestoreStartDir();

  // Loads the mail files and opens the list (CRunMail); on a problem shows
  // it as FailSending does and returns false: nothing is sent.
  bool PrepareMail(CRunMail& mail, const std::vector<platform::DirEntry>& entries,
                   const CMailSource& source);
  // Sends mail file `index` of `mail` to every entry of the list.
  bool SendMailFile(CRunMail& mail, std::size_t index, const CMailSource& source);
  // Sends one composed message, unless a continued run had sent it; false
  // when it failed or a stop was asked for.
  bool SendMessage(CMailItem& item);
  // One session for `item`; the session's error in m_strError.
  bool SendItem(CMailItem& item);
  // With several connections: hands `item` to the next free one after its
  // turn; false when the run ends (a stop, or a failure come in meanwhile).
  bool HandOver(CMailItem& item);
  // Deals with what became of messages handed over: each accepted one in the
  // journal, the first failure as the run's error (m_bPoolFailed).
  void TakeResults(const std::vector<PoolResult>& results);
  // The keep-going run over the folder's entries; sets the outcome and the
  // error text and returns the final message's text.
  std::string RunKeepGoing(const std::vector<platform::DirEntry>& entries,
                           const CMailSource& source);
  // The run's end for a keep-going run: error text, report status, message.
  std::string FinishKeepGoing(const KeepGoingSummary& summary);
  // A keep-going run that could not begin: the error, the cue, the message.
  std::string FailKeepGoing(const std::string& error);

  struct MessageTarget Target() const;

  CBatchHost& m_host;
  CRunTracker* m_pTracker = nullptr;  // while Run works
  CMessageSender* m_pSender = nullptr;  // while Run works: its connections
  CConnectionPool* m_pPool = nullptr;  // while Run works with several connections
  bool m_bPoolFailed = false;  // a message handed over failed
  bool m_bStopped = false;
  RunOutcome m_outcome;
  unsigned int m_nSmtpPort = 0;  // 0: the account's port
  bool m_bMailTextRead = false;  // whether the last ReadMailText opened its file
  bool m_bMessageTaken = false;  // the server took the last message, whatever SendItem said
  std::filesystem::path m_startDir;  // as the system gave it; empty if unknown
};
