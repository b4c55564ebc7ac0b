#include "dispatch/batch_run.h"

#include <utility>
#include <vector>

#include "dispatch/footer.h"
#include "dispatch/run_report.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/dirs.h"
#include "platform/textfile.h"
#include "smtp/mail_item.h"
#include "smtp/smtp_session.h"

namespace {

// The run's fixed texts, converted to the code page once.
struct Texts {
  std::string mailDir = platform::FromUtf8("邮件目录");
  std::string noMail = platform::FromUtf8("中没有邮件，发送停止。");
  std::string emptyFolder = platform::FromUtf8("邮件目录为空");
  std::string allSent = platform::FromUtf8("所有邮件已经发送成功.");
  std::string runFailed = platform::FromUtf8("邮件发送错误!\n");
  std::string sendError = platform::FromUtf8("发送错误!\n");
  std::string noAddressFile = platform::FromUtf8("没有设置邮件地址列表文件.");
  std::string cannotOpenAddressFile = platform::FromUtf8("无法打开邮件地址列表文件.");
  std::string cannotOpenMailFile = platform::FromUtf8("无法打开邮件文件.");
};

const Texts& T() {
  static const Texts texts;
  return texts;
}

// Puts the start directory back if the run is left early, so that the process
// never stays inside the mail folder.
class CStartDirGuard {
 public:
  explicit CStartDirGuard(const std::string& dir) : m_dir(dir) {}
  ~CStartDirGuard() {
    if (m_bArmed) platform::SetWorkingDir(m_dir);
  }
  void Restore() {
    platform::SetWorkingDir(m_dir);
    m_bArmed = false;
  }

 private:
  const std::string& m_dir;
  bool m_bArmed = true;
};

}  // namespace

std::string JoinPath(const std::string& directory, const std::string& name) {
  std::string path = directory;
  if (!platform::EndsInSeparator(path)) path += platform::DirSeparator();
  path += name;
  return path;
}

std::string ResolveUnder(const std::string& directory, const std::string& name) {
  return platform::IsAbsolutePath(name) ? name : JoinPath(directory, name);
}

int HourUtcPlus8(int utcHour) {
  const int hour = utcHour + 8;
  return hour >= 24 ? hour - 24 : hour;
}

CBatchRun::CBatchRun(CBatchHost& host) : m_host(host) {}

void CBatchRun::Run() {
  m_strStartDir = platform::GetWorkingDir();
  CStartDirGuard startDir(m_strStartDir);
  const CSoundSettings sound = m_host.SoundSettings();
  if (sound.m_bPlay) PlayWave(sound.m_strBeginWave);

  m_host.ReloadMailSource();
  const std::string mailDir = m_host.TakeMailSource().m_strMailDir;
  m_nMailCount = 0;
  m_nAddressCount = 0;

  std::string message;
  std::vector<platform::DirEntry> entries;
  if (!platform::SetWorkingDir(mailDir) || !platform::ListDirectory(".", entries) ||
      entries.empty()) {
    message = T().mailDir + " <" + mailDir + "> " + T().noMail;
    m_strError = T().emptyFolder;
  } else {
    bool allSent = true;
    for (const platform::DirEntry& entry : entries) {
      if (entry.m_bDirectory || entry.m_bSpecial) continue;
      ++m_nMailCount;
      if (!SendMailFile(entry.m_strName)) {
        allSent = false;
        break;
      }
    }
    const CSoundSettings endSound = m_host.SoundSettings();
    if (allSent) {
      message = T().allSent;
      if (endSound.m_bPlay) PlayWave(endSound.m_strOkWave);
    } else {
      message = T().runFailed + m_strError;
      if (endSound.m_bPlay) PlayWave(endSound.m_strErrWave);
    }
  }

  if (m_bShowResult) m_host.ShowMessage(message);
  startDir.Restore();
  WriteReportLine();
}

bool CBatchRun::SendMailFile(std::string fileName) {
  const CMailSource source = m_host.TakeMailSource();
  std::string body;
  ReadMailText(std::move(fileName), body);
  if (!m_bMailTextRead) return FailSending(T().cannotOpenMailFile);
  if (source.m_strAddressFile.empty()) return FailSending(T().noAddressFile);

  platform::CTextFileReader list;
  if (!list.Open(ResolveUnder(m_strStartDir, source.m_strAddressFile))) {
    return FailSending(T().cannotOpenAddressFile);
  }
  m_nAddressCount = 0;
  // Each session gets a copy of the body, except the last one, which takes the
  // body itself: a line is sent once the next non-blank line has been read, so
  // a large mail to one address is never held twice by the run.
  auto send = [&](std::string recipients, std::string sessionBody) {
    ++m_nAddressCount;
    return SendToRecipients(std::move(recipients), source.m_strSubject, std::move(sessionBody));
  };
  std::string pending;
  std::string line;
  while (list.ReadLine(line)) {
    std::string recipients = TrimWhiteSpace(line);
    if (recipients.empty()) continue;
    if (!pending.empty() && !send(std::move(pending), body)) return false;
    pending = std::move(recipients);
  }
  if (!pending.empty()) return send(std::move(pending), std::move(body));
  return true;
}

bool CBatchRun::SendToRecipients(std::string recipients, std::string subject, std::string body) {
  const CSmtpAccount account = m_host.TakeSmtpAccount();
  CSMTP smtp(account.m_strServer, m_nSmtpPort != 0 ? m_nSmtpPort : account.Port());
  SmtpSecurity security;
  security.m_nMode = account.Security();
  security.m_strCaFile = account.m_strCaFile;
  if (!security.m_strCaFile.empty() && !m_strStartDir.empty()) {
    security.m_strCaFile = ResolveUnder(m_strStartDir, security.m_strCaFile);
  }
  smtp.SetSecurity(security);
  CMailItem item;
  item.m_strSender = account.m_strMail;
  item.AddRecipientList(std::move(recipients));
  item.m_strSubject = std::move(subject);
  item.m_strBody = std::move(body);
  m_strError.clear();
  if (account.m_bAuth) {
    SmtpLogin login;
    login.m_bLogin = 1;
    login.m_strUser = account.m_strName;
    login.m_strPassword = account.m_strPassword;
    smtp.SetLogin(login);
  }
  if (!smtp.Connect() || !smtp.SendMail(item) || !smtp.Disconnect()) {
    m_strError += smtp.GetErrorText();
    return false;
  }
  return true;
}

void CBatchRun::ReadMailText(std::string fileName, std::string& body) {
  body.clear();
  m_bMailTextRead = false;
  platform::CTextFileReader file;
  if (!file.Open(fileName)) return;
  m_bMailTextRead = true;
  // Text mode only shrinks the file, but for the "\n" after a last line
  // without one, so the size bounds the body.
  body.reserve(platform::FileSizeOrZero(fileName) + 1 + MailFooter().size());
  std::string line;
  while (file.ReadLine(line)) {
    body += line;
    body += '\n';
  }
  body += MailFooter();
}

void CBatchRun::WriteReportLine() {
  AppendReportRecord(
      FormatReportRecord(platform::NowUtc(), m_nMailCount, m_nAddressCount, m_strError));
}

bool CBatchRun::FailSending(const std::string& error) {
  m_strError = error;
  m_host.ShowMessage(T().sendError + m_strError);
  return false;
}

void CBatchRun::PlayWave(const std::string& name) {
  m_host.PlayCue(ResolveUnder(m_strStartDir, name));
}
