// postwing-send: one batch run in the current working directory from the
// stored settings, without any window. Each message the run would show in a
// box is printed to standard output in UTF-8, followed by an empty line; on a
// terminal, standard error shows one line of progress. The exit status is 0
// when every message arrived, 4 when a keep-going run went through but some
// did not arrive, 1 when the run ended on a failure and 3 when it was stopped.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <exception>
#include <optional>
#include <string>

#include "dispatch/batch_run.h"
#include "platform/dirs.h"
#include "postwing_send_look.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/sound.h"
#include "settings/mail_source.h"
#include "settings/smtp_account.h"
#include "settings/sound_settings.h"

namespace {

const char kUsage[] =
    "用法: postwing-send [--resume | --retry-failed | --check | --test ADDRESS [--row N]] [--help]\n"
    "\n"
    "在当前工作目录中按 ini/Stmp.Ini 的设置发送一次邮件: 邮件目录中的每个文件\n"
    "发送给邮件地址列表文件的每一行, 与 \"立即发送邮件\" 按钮相同, 不打开窗口。\n"
    "Sends one batch run from the settings in ini/Stmp.Ini of the working directory:\n"
    "every file of the mail folder to every line of the address list, as the\n"
    "\"立即发送邮件\" button does, without a window.\n"
    "\n"
    "  --resume        continue the last run that was stopped, failed or cut off,\n"
    "                  after the last message it dealt with (ini/Send.Jnl); fails\n"
    "                  when there is none or the mail folder, address list or\n"
    "                  subject changed. Without it the run starts again from the\n"
    "                  first message. Delivered and refused recipients are never\n"
    "                  sent again.\n"
    "  --retry-failed  重发未送达: send again, from the newest record in 发送记录/,\n"
    "                  every mail file x recipient that was 暂时失败 or 未发送 (not\n"
    "                  被拒收), with the current settings and mail files; the run\n"
    "                  keeps a record of its own.\n"
    "  --check         发送前检查: every check the run makes before its first message,\n"
    "                  for every mail file x row, printed one per line, then the\n"
    "                  warnings (提醒: an empty cell, a message over 10 MB); nothing\n"
    "                  is sent. Exit 0 when nothing would stop the run, 1 otherwise.\n"
    "  --test ADDRESS  发送测试邮件: the first mail file, merged with row N of the\n"
    "  [--row N]       address list (default 1), to ADDRESS only; no journal, record\n"
    "                  or report line. Exit 0 when the server took it, 1 otherwise.\n"
    "\n"
    "邮件 / the mail files:\n"
    "  name.txt        plain text (GBK), sent as it always was\n"
    "  name.htm(l)     HTML mail with a text part made from it; pictures it names by a\n"
    "                  relative path (<img src=\"name/logo.png\">) travel inside the\n"
    "                  message; http: and https: addresses stay links\n"
    "  name/           the folder named like a mail file without its extension holds\n"
    "                  its attachments (every plain file, in name order); it is no mail\n"
    "地址列表 / the address list:\n"
    "  a .txt list     one line per message, addresses separated by \";\",\n"
    "                  \"name<address>\" for a display name; no field is replaced\n"
    "  a .csv table    Excel/WPS \"另存为 CSV\" (GBK or UTF-8): a header row, one message\n"
    "                  per row; the address column is titled 邮箱, 电子邮件, 邮件地址,\n"
    "                  邮件, Email, E-mail or Mail (else the first column with an @);\n"
    "                  姓名/Name gives the display name, 主题/Subject a row's own subject\n"
    "  {{列名}}         in the subject, the mail text and the unsubscribe address:\n"
    "                  that row's cell of the column so titled (blanks ignored). A\n"
    "                  field the table lacks, a row without address or a mail file,\n"
    "                  picture or attachment that cannot be read stops the run before\n"
    "                  it sends; an empty cell is replaced by nothing.\n"
    "  unsubscribe=U   [maildir]: an https address for List-Unsubscribe (may hold\n"
    "                  fields, {{邮箱}}); every message names mailto:sender as well\n"
    "  advert=1        [maildir]: 商业广告邮件: \"(广告)\" before the subject and a line\n"
    "                  on how to refuse further mail\n"
    "\n"
    "Messages are printed to standard output (UTF-8), each followed by an empty\n"
    "line; on a terminal, standard error shows the progress (第 i / N 封 · 已送达 a\n"
    "· 未送达 b). Sound cues play as configured; the line in 运行报告.txt is\n"
    "written when that file exists.\n"
    "Ctrl+C (SIGINT) or SIGTERM stops the run after the message in progress (a\n"
    "second one at once). The setting \"rate\" in [maildir] limits messages a minute.\n"
    "\n"
    "[maildir] 中的出错处理 / on failures, in section [maildir]:\n"
    "  onerror=0    第一个错误结束发送 (缺省) / the first failure ends the run (default)\n"
    "  onerror=1    跳过并记录, 继续发送: 被拒收的收件人记入 发送记录/YYYYMMDD-HHMMSS.csv,\n"
    "               暂时失败的在最后重试 / keep going: refused recipients are recorded\n"
    "               in 发送记录/YYYYMMDD-HHMMSS.csv, temporary failures tried again\n"
    "  retry=N      重试时限, 分钟 (缺省 30, 0 不重试) / minutes of retries (30; 0: none)\n"
    "  maxerrors=N  连续 N 封未送达时停止 (缺省 10) / end after N undelivered in a row (10)\n"
    "  exclude=F    排除名单: 不发送的地址, 每行一个 / addresses never to send to\n"
    "\n"
    "Exit status: 0 every message arrived (excluded and duplicate addresses count\n"
    "as handled), 4 the run went through but some did not arrive (see the record),\n"
    "1 the run ended on a failure, 2 a wrong command line, 3 it was stopped.\n"
    "\n"
    "[smtp] 中的连接设置 / connection settings in section [smtp]:\n"
    "  port=N       服务器端口; 0 或不写: 按 security 取 25, 587, 465\n"
    "               server port; 0 or missing: 25, 587 or 465 by security\n"
    "  security=0   无: 明文 HELO, 原有的对话 (老式服务器)\n"
    "               none: plain HELO conversation as always (old servers)\n"
    "  security=1   STARTTLS (587): 邮箱服务商 / mail providers\n"
    "  security=2   SSL/TLS (465): 邮箱服务商 / mail providers\n"
    "  security=3   无加密 EHLO: 本机或内网的转发服务器 (Postfix, Exim, msmtp)\n"
    "               plain EHLO: this machine's MTA or a relay on the LAN\n"
    "  cafile=F     额外信任的证书颁发机构 (PEM), 相对于当前目录\n"
    "               extra certificate authorities (PEM), relative to the working directory\n"
    "  reuse=N      security 1-3: 一个连接最多发送的邮件数; 0 或不写: 20; 1: 每封一个连接\n"
    "               security 1-3: most messages one connection carries; 0 or missing: 20;\n"
    "               1: a connection per message (security=0 always one per message)\n"
    "  connections=N security 1-3: 同时使用的连接数 (1-10); 0 或不写: 1\n"
    "               security 1-3: connections kept busy at once (1-10); 0 or missing: 1\n"
    "证书总是按系统的信任列表和 cafile 验证, 服务器名须与证书相符.\n"
    "Certificates are always verified against the system's authorities and cafile,\n"
    "and the server name must match the certificate.\n";

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitStopped = 3;
constexpr int kExitUndelivered = 4;
// --row beyond this is no row of any list.
constexpr long kMaxRow = 100000000;
// The progress line is redrawn at most this often.
constexpr std::chrono::milliseconds kProgressRedraw{100};

CStopRequest g_stop;

void RequestStop() { g_stop.Request(); }

// One line of progress on standard error, redrawn in place: count, total,
// messages a minute and the time left.
class CProgressLine {
 public:
  void Show(const RunProgress& progress) {
    const auto now = std::chrono::steady_clock::now();
    if (!m_start) m_start = now;
    if (m_bShown && now - m_lastDraw < kProgressRedraw && progress.m_nDone < progress.m_nTotal) {
      return;
    }
    m_lastDraw = now;
    const double seconds = std::chrono::duration<double>(now - *m_start).count();
    const double perMinute = seconds > 0 ? progress.m_nSentThisRun * 60.0 / seconds : 0.0;
    const std::int64_t position = progress.m_nDone + (progress.m_bSending ? 1 : 0);
    std::string line = "\r第 " + std::to_string(position);
    if (progress.m_nTotal >= 0) line += " / " + std::to_string(progress.m_nTotal);
    line += " 封";
    if (progress.m_nDelivered > 0 || progress.m_nUndelivered > 0) {
      line += " · 已送达 " + std::to_string(progress.m_nDelivered) + " · 未送达 " +
              std::to_string(progress.m_nUndelivered);
    }
    if (progress.m_nRetryWaiting > 0) {
      char waiting[96];
      std::snprintf(waiting, sizeof waiting, " · 等待重试 %lld 封 %02lld:%02lld",
                    static_cast<long long>(progress.m_nRetryWaiting),
                    static_cast<long long>(progress.m_nRetrySeconds / 60),
                    static_cast<long long>(progress.m_nRetrySeconds % 60));
      line += waiting;
    }
    char figures[96];
    if (progress.m_nSentThisRun > 0 && progress.m_nTotal >= 0) {
      const long long left = static_cast<long long>(
          (progress.m_nTotal - progress.m_nDone) * 60.0 / perMinute + 0.5);
      std::snprintf(figures, sizeof figures, ", 每分钟 %.0f 封, 剩余 %lld:%02lld:%02lld", perMinute,
                    left / 3600, left / 60 % 60, left % 60);
      line += figures;
    }
    line += "   ";
    platform::WriteText(stderr, line);
    m_bShown = true;
  }
  // Ends the line, so that what follows starts on a line of its own.
  void End() {
    if (!m_bShown) return;
    platform::WriteText(stderr, "\n");
    m_bShown = false;
  }

 private:
  std::optional<std::chrono::steady_clock::time_point> m_start;
  std::chrono::steady_clock::time_point m_lastDraw;
  bool m_bShown = false;
};

// The run's host without a window: the settings file stands for the pages,
// loaded once at start as the window loads its pages.
class CHeadlessHost : public CBatchHost {
 public:
  CHeadlessHost() {
    m_source.ReadSettings();
    m_account.ReadSettings();
    m_sound.ReadSettings();
  }

  void ReloadMailSource() override { m_source.ReadSettings(); }
  CMailSource TakeMailSource() override { return m_source; }
  CSmtpAccount TakeSmtpAccount() override { return m_account; }
  CSoundSettings SoundSettings() override { return m_sound; }

  void ShowMessage(const std::string& text) override {
    m_progress.End();
    const std::string utf8 = platform::ToUtf8(text) + "\n\n";
    platform::WriteText(stdout, utf8);
  }

  void PlayCue(const std::string& path) override { platform::PlaySoundSync(path); }

  void ShowProgress(const RunProgress& progress) override {
    if (m_bTerminal) m_progress.Show(progress);
  }
  int StopLevel() override { return g_stop.Level(); }

  void EndProgress() { m_progress.End(); }

 private:
  bool m_bTerminal = platform::StandardErrorIsTerminal();
  CProgressLine m_progress;
  CMailSource m_source;
  CSmtpAccount m_account;
  CSoundSettings m_sound;
};

// The command line: at most one way to run, or a look before it.
struct Command {
  bool m_bHelp = false;
  bool m_bResume = false;
  bool m_bRetryFailed = false;
  bool m_bCheck = false;
  std::string m_strTestAddress;  // --test ADDRESS
  int m_nRow = 1;                // --row N
};

bool ParseCommand(int argc, char** argv, Command& command) {
  bool rowGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--help" || arg == "-h") && argc == 2) {
      command.m_bHelp = true;
    } else if (arg == "--resume" && argc == 2) {
      command.m_bResume = true;
    } else if (arg == "--retry-failed" && argc == 2) {
      command.m_bRetryFailed = true;
    } else if (arg == "--check" && argc == 2) {
      command.m_bCheck = true;
    } else if (arg == "--test" && i + 1 < argc && command.m_strTestAddress.empty()) {
      command.m_strTestAddress = argv[++i];
      if (command.m_strTestAddress.empty()) return false;
    } else if (arg == "--row" && i + 1 < argc && !rowGiven) {
      rowGiven = true;
      char* end = nullptr;
      const long row = std::strtol(argv[++i], &end, 10);
      if (end == argv[i] || *end != '\0' || row < 1 || row > kMaxRow) return false;
      command.m_nRow = static_cast<int>(row);
    } else {
      return false;
    }
  }
  // --row only goes with --test.
  return !rowGiven || !command.m_strTestAddress.empty();
}

}  // namespace

int main(int argc, char** argv) {
  Command command;
  if (!ParseCommand(argc, argv, command)) {
    platform::WriteText(stderr, kUsage);
    return kExitUsage;
  }
  if (command.m_bHelp) {
    platform::WriteText(stdout, kUsage);
    return 0;
  }
  if (command.m_bCheck || !command.m_strTestAddress.empty()) {
    try {
      CMailSource source;
      source.ReadSettings();
      CSmtpAccount account;
      account.ReadSettings();
      const std::filesystem::path startDir = platform::WorkingDirPath();
      if (command.m_bCheck) return CheckRunFromSettings(source, account, startDir);
      return SendTestFromSettings(source, account, startDir, command.m_strTestAddress, command.m_nRow);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "postwing-send: %s\n", e.what());
      return kExitFailed;
    }
  }
  const bool resume = command.m_bResume;
  const bool retryFailed = command.m_bRetryFailed;
  try {
    platform::CatchStopRequests(RequestStop);
    CHeadlessHost host;
    CBatchRun run(host);
    run.m_bShowResult = 1;
    run.m_bResume = resume ? 1 : 0;
    run.m_bRetryFailed = retryFailed ? 1 : 0;
    run.Run();
    host.EndProgress();
    if (run.Stopped()) return kExitStopped;
    const RunOutcome& outcome = run.Outcome();
    if (!outcome.m_bKeepGoing) return run.m_strError.empty() ? 0 : kExitFailed;
    if (outcome.m_bFailed) return kExitFailed;
    return outcome.m_nUndelivered > 0 ? kExitUndelivered : 0;
  } catch (const std::exception& e) {
    // The core reports failures as results; this is for what it cannot, such
    // as running out of memory on a huge mail file.
    std::fprintf(stderr, "postwing-send: %s\n", e.what());
    return kExitFailed;
  }
}
