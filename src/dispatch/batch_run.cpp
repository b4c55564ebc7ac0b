#include "dispatch/batch_run.h"

#include <utility>
#include <vector>

#include "dispatch/connection_pool.h"
#include "dispatch/footer.h"
#include "dispatch/run_mail.h"
#include "dispatch/run_report.h"
#include "dispatch/run_tracker.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/dirs.h"
#include "platform/textfile.h"
#include "smtp/mail_item.h"
#include "dispatch/message_send.h"

namespace {

// The run's fixed texts, converted to the code page once.
struct Texts {
  std::string mailDir = platform::FromUtf8("邮件目录");
  std::string noMail = platform::FromUtf8("中没有邮件，发送停止。");
  std::string emptyFolder = platform::FromUtf8("邮件目录为空");
  std::string allSent = platform::FromUtf8("所有邮件已经发送成功.");
  std::string runFailed = platform::FromUtf8("邮件发送错误!\n");
  std::string sendError = platform::FromUtf8("发送错误!\n");
  std::string cannotReturn = platform::FromUtf8("无法回到启动目录 <");
  std::string nowIn = platform::FromUtf8(">，工作目录已改为 <");
  std::string nowInEnd = platform::FromUtf8(">。");
  std::string stopped = platform::FromUtf8("发送已停止.");
  std::string stoppedStatus = platform::FromUtf8("已停止");
};

const Texts& T() {
  static const Texts texts;
  return texts;
}

// Puts the start directory back if the run is left early, so that the process
// never stays inside the mail folder.
class CStartDirGuard {
 public:
  explicit CStartDirGuard(const std::filesystem::path& dir) : m_dir(dir) {}
  ~CStartDirGuard() {
    if (m_bArmed && !platform::SetWorkingDirPath(m_dir)) platform::EnterNearestDir(m_dir);
  }
  void Disarm() { m_bArmed = false; }

 private:
  const std::filesystem::path& m_dir;
  bool m_bArmed = true;
};

}  // namespace

CBatchRun::CBatchRun(CBatchHost& host) : m_host(host) {}

void CBatchRun::Run() {
  m_startDir = platform::WorkingDirPath();
  m_strStartDir = m_startDir.empty() ? std::string() : platform::PathToCodePage(m_startDir);
  CStartDirGuard startDir(m_startDir);
  const CSoundSettings sound = m_host.SoundSettings();
  if (sound.m_bPlay) PlayWave(sound.m_strBeginWave);

  m_host.ReloadMailSource();
  const CMailSource source = m_host.TakeMailSource();
  const std::string& mailDir = source.m_strMailDir;
  m_nMailCount = 0;
  m_nAddressCount = 0;
  m_bStopped = false;
  m_outcome = RunOutcome();
  CRunTracker tracker(m_host);
  m_pTracker = &tracker;

  std::string message;
  std::vector<platform::DirEntry> entries;
  if (!platform::SetWorkingDir(mailDir) || !platform::ListDirectory(".", entries) ||
      entries.empty()) {
    message = T().mailDir + " <" + mailDir + "> " + T().noMail;
    m_strError = T().emptyFolder;
  } else if (source.KeepGoing() || m_bRetryFailed) {
    message = RunKeepGoing(entries, source);
  } else {
    CMessageSender sender;
    m_pSender = &sender;
    CRunMail mail;
    bool allSent = PrepareMail(mail, entries, source) &&
                   tracker.Start(m_startDir, source, m_bResume != 0, m_strError);
    // Several connections at once: the messages go to them in order, and
    // what became of each is dealt with here as it comes in.
    std::unique_ptr<CConnectionPool> pool;
    const MessageTarget target = Target();
    if (allSent && target.m_account.Connections() > 1) {
      m_bPoolFailed = false;
      pool = std::make_unique<CConnectionPool>(
          target, target.m_account.Connections(), [this] { return m_host.StopLevel(); },
          [this](const std::vector<PoolResult>& results) { TakeResults(results); });
      m_pPool = pool.get();
      tracker.SetIdleWork([this] { m_pPool->TakeResults(); });
    }
    for (std::size_t i = 0; allSent && i < mail.Mail().size(); ++i) {
      if (tracker.SkipFile()) continue;
      // The pace and a stop come before the file counts as reached.
      if (!tracker.Ready()) {
        allSent = false;
        break;
      }
      ++m_nMailCount;
      allSent = SendMailFile(mail, i, source);
    }
    if (pool) {
      // Every message handed over is dealt with before the run ends.
      pool->Drain();
      allSent = allSent && !m_bPoolFailed;
      pool->Finish();
      tracker.SetIdleWork(nullptr);
      m_pPool = nullptr;
    }
    sender.Finish();
    m_pSender = nullptr;
    tracker.Finish(allSent);
    m_bStopped = tracker.Stopped();
    const CSoundSettings endSound = m_host.SoundSettings();
    if (allSent) {
      message = T().allSent;
      if (endSound.m_bPlay) PlayWave(endSound.m_strOkWave);
    } else {
      if (m_bStopped) {
        m_strError = T().stoppedStatus;
        message = T().stopped;
      } else {
        message = T().runFailed + m_strError;
      }
      if (endSound.m_bPlay) PlayWave(endSound.m_strErrWave);
    }
  }
  m_pTracker = nullptr;

  // Back to the start directory before the box, so that the message can say
  // when that failed, and so that a scheduled run starting while the box is
  // open takes the right start directory.
  message += RestoreStartDir();
  startDir.Disarm();
  if (m_bShowResult) m_host.ShowMessage(message);
  WriteReportLine();
}

bool CBatchRun::PrepareMail(CRunMail& mail, const std::vector<platform::DirEntry>& entries,
                            const CMailSource& source) {
  const std::filesystem::path list =
      source.m_strAddressFile.empty() ? std::filesystem::path() : UnderStartDir(source.m_strAddressFile);
  std::string error;
  std::size_t reached = 0;
  const bool ready = mail.Prepare(entries, {}, list, source,
                                  [&](const RunProblem& problem, std::size_t index) {
                                    error = problem.m_strText;
                                    reached = index;
                                    return false;
                                  },
                                  CRunMail::Scope());
  if (ready) return true;
  // Nothing was sent: the mail file the problem came with counts as reached.
  m_nMailCount = static_cast<std::int32_t>(reached) + 1;
  m_nAddressCount = 0;
  return FailSending(error);
}

bool CBatchRun::SendMailFile(CRunMail& mail, std::size_t index, const CMailSource& source) {
  addresses::CAddressSource& list = mail.List();
  // The list opened by the checks serves the first mail file, so that a
  // list fed through a pipe is opened once for it.
  if (std::string error; index > 0 && !list.Rewind(error)) return FailSending(error);
  m_nAddressCount = 0;
  const message::CMailTemplate& mailText = mail.Mail()[index].m_template;
  const message::ComposeOptions options =
      RunComposeOptions(source, m_host.TakeSmtpAccount().m_strMail);
  // One entry at a time, each sent before the next is read, so that a list
  // fed through a pipe is sent as it arrives.
  addresses::AddressEntry entry;
  while (list.Next(entry)) {
    CMailItem item;
    mailText.Compose(entry.m_pFields,
                     entry.m_strSubject.empty() ? source.m_strSubject : entry.m_strSubject,
                     options, item);
    item.AddRecipientList(entry.m_strLine);
    if (!SendMessage(item)) return false;
  }
  return true;
}

bool CBatchRun::SendMessage(CMailItem& item) {
  if (m_pTracker == nullptr) {
    ++m_nAddressCount;
    return SendItem(item);
  }
  if (m_pTracker->SkipMessage()) return true;
  if (m_pPool != nullptr) return HandOver(item);
  if (!m_pTracker->Ready()) return false;
  ++m_nAddressCount;
  if (!SendItem(item)) {
    // The server took the message for the line's other recipients: a run
    // continued later must not send it again.
    if (m_bMessageTaken) m_pTracker->Accepted();
    return false;
  }
  m_pTracker->Accepted();
  return true;
}

bool CBatchRun::HandOver(CMailItem& item) {
  m_pPool->WaitForRoom();
  if (m_bPoolFailed || !m_pTracker->Ready()) return false;
  // A reply dealt with during the pace's wait may have ended the run.
  if (m_bPoolFailed) return false;
  ++m_nAddressCount;
  m_pPool->Submit(static_cast<std::uint64_t>(m_pTracker->Position()), std::move(item));
  m_pTracker->Dispatched();
  return true;
}

void CBatchRun::TakeResults(const std::vector<PoolResult>& results) {
  for (const PoolResult& result : results) {
    // Not begun when a stop came: neither sent nor failed, nor reached (it
    // was handed over last, so it belongs to the mail file in progress).
    if (result.m_bNotSent) {
      if (m_nAddressCount > 0) --m_nAddressCount;
      continue;
    }
    // Taken for some of the line's recipients counts as sent, as it does on
    // a single connection: a run continued later must not send it again.
    if (result.m_bSent || result.m_log.m_bMessageAccepted) {
      m_pTracker->AcceptedAt(static_cast<std::int64_t>(result.m_nTag));
    }
    if (!result.m_bSent && !m_bPoolFailed) {
      // The run ends on its first failure, as without a pool; the messages
      // still on other connections are waited for and counted.
      m_bPoolFailed = true;
      m_strError = result.m_strError;
    }
  }
}

bool CBatchRun::SendToRecipients(std::string recipients, std::string subject, std::string body) {
  CMailItem item;
  item.AddRecipientList(std::move(recipients));
  item.m_strSubject = std::move(subject);
  item.m_strBody = std::move(body);
  return SendItem(item);
}

bool CBatchRun::SendItem(CMailItem& item) {
  m_strError.clear();
  SmtpSessionLog log;
  const bool sent = m_pSender != nullptr ? m_pSender->Send(Target(), item, m_strError, &log)
                                         : SendOneMessage(Target(), item, m_strError, &log);
  m_bMessageTaken = log.m_bMessageAccepted;
  return sent;
}

MessageTarget CBatchRun::Target() const {
  MessageTarget target;
  target.m_account = m_host.TakeSmtpAccount();
  target.m_nPort = m_nSmtpPort;
  target.m_strStartDir = m_strStartDir;
  return target;
}

void CBatchRun::ReadMailText(std::string fileName, std::string& body) {
  ReadNativeMailText(platform::FindNativePath(fileName), body);
}

void CBatchRun::ReadNativeMailText(const std::filesystem::path& file, std::string& body) {
  body.clear();
  m_bMailTextRead = false;
  platform::CTextFileReader reader;
  if (!reader.OpenNative(file)) return;
  m_bMailTextRead = true;
  // Text mode only shrinks the file, but for the "\n" after a last line
  // without one, so the size bounds the body.
  body.reserve(platform::NativeFileSizeOrZero(file) + 1 + MailFooter().size());
  std::string line;
  while (reader.ReadLine(line)) {
    body += line;
    body += '\n';
  }
  body += MailFooter();
}

void CBatchRun::WriteReportLine() {
  // By the start directory's full path: the file is the start directory's
  // even when the run could not go back there.
  AppendReportRecord(
      m_startDir,
      FormatReportRecord(platform::NowUtc(), m_nMailCount, m_nAddressCount, m_strError));
}

bool CBatchRun::FailSending(const std::string& error) {
  m_strError = error;
  m_host.ShowMessage(T().sendError + m_strError);
  return false;
}

void CBatchRun::PlayWave(const std::string& name) {
  m_host.PlayCue(platform::ResolveUnder(m_strStartDir, name));
}

std::filesystem::path CBatchRun::UnderStartDir(const std::string& name) const {
  if (m_startDir.empty()) return platform::FindNativePath(platform::ResolveUnder(m_strStartDir, name));
  return platform::FindNativePath(name, m_startDir);
}

std::string CBatchRun::RestoreStartDir() {
  if (platform::SetWorkingDirPath(m_startDir)) return std::string();
  const std::filesystem::path now = platform::EnterNearestDir(m_startDir);
  return "\n" + T().cannotReturn + m_strStartDir + T().nowIn + platform::PathToCodePage(now) +
         T().nowInEnd;
}
