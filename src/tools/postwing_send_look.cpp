#include "postwing_send_look.h"

#include <cstdio>
#include <vector>

#include "dispatch/message_preview.h"
#include "platform/codepage.h"
#include "platform/console.h"

namespace {

constexpr int kExitFine = 0;
constexpr int kExitProblem = 1;

// One message as the tool prints them: UTF-8, then an empty line.
void Print(const std::string& codePage) {
  const std::string utf8 = platform::ToUtf8(codePage) + "\n\n";
  platform::WriteText(stdout, utf8);
}

std::string Lines(const std::vector<RunProblem>& problems, bool stopping) {
  const std::string warning = platform::FromUtf8("提醒: ");
  std::string text;
  for (const RunProblem& problem : problems) {
    if (problem.m_bStopsRun != stopping) continue;
    if (!text.empty()) text += "\n";
    text += (stopping ? std::string() : warning) + problem.m_strText;
  }
  return text;
}

}  // namespace

int CheckRunFromSettings(const CMailSource& source, const CSmtpAccount& account,
                         const std::filesystem::path& startDir) {
  CMessagePreview preview;
  std::string error;
  if (!preview.Open(source, account, startDir, error)) {
    Print(error);
    return kExitProblem;
  }
  const std::vector<RunProblem> problems = preview.CheckAll();
  const std::string stopping = Lines(problems, true);
  const std::string warnings = Lines(problems, false);
  std::string text = stopping.empty() ? platform::FromUtf8("检查完毕, 没有问题: ")
                                      : stopping + "\n" + platform::FromUtf8("检查完毕, 有问题: ");
  text += std::to_string(preview.MailCount()) + platform::FromUtf8(" 封邮件 x ") +
          std::to_string(preview.RowCount()) + platform::FromUtf8(" 个收件人行.");
  if (!warnings.empty()) text += "\n" + warnings;
  Print(text);
  return stopping.empty() ? kExitFine : kExitProblem;
}

int SendTestFromSettings(const CMailSource& source, const CSmtpAccount& account,
                         const std::filesystem::path& startDir, const std::string& address, int row) {
  CMessagePreview preview;
  std::string error;
  if (!preview.Open(source, account, startDir, error)) {
    Print(error);
    return kExitProblem;
  }
  // What would stop the run would make this message wrong too.
  const std::string stopping = Lines(preview.CheckAll(), true);
  if (!stopping.empty()) {
    Print(stopping + "\n" + platform::FromUtf8("测试邮件没有发送."));
    return kExitProblem;
  }
  const int rows = preview.RowCount();
  if (row < 1 || row > (rows == 0 ? 1 : rows)) {
    Print(platform::FromUtf8("地址列表中没有第 ") + std::to_string(row) +
          platform::FromUtf8(" 行 (共 ") + std::to_string(rows) + platform::FromUtf8(" 行)."));
    return kExitProblem;
  }
  PreviewPage page;
  CMailItem item;
  if (!preview.Make(0, row - 1, page, &item)) {
    std::string text;
    for (const std::string& warning : page.m_warnings) text += warning + "\n";
    Print(text + platform::FromUtf8("测试邮件没有发送."));
    return kExitProblem;
  }
  MessageTarget target;
  target.m_account = account;
  target.m_strStartDir = platform::PathToCodePage(startDir);
  const std::string what = platform::FromUtf8("测试邮件 (") + page.m_strMailFile +
                           platform::FromUtf8(", 第 ") + std::to_string(row) +
                           platform::FromUtf8(" 行) ");
  if (!SendTestMessage(target, std::move(item), address, error)) {
    Print(what + platform::FromUtf8("发送失败: ") + error);
    return kExitProblem;
  }
  Print(what + platform::FromUtf8("已由服务器接收, 收件人 ") + address + ".");
  return kExitFine;
}
