// postwing-send on Windows as a scheduled task would start it: its own
// process, in a folder holding the settings, a mail folder and an address
// list with Chinese names, sending to the scripted SMTP server on 127.0.0.1
// port 25 (the port every run uses).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/codepage.h"
#include "smtp/base64.h"
#include "support/scripted_smtp_server.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::FromUtf8;

// Beside the test program: <build>/tests/x.exe and <build>/src/tools/postwing-send.exe.
fs::path ProgramPath() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return fs::path(self).parent_path().parent_path() / "src" / "tools" / "postwing-send.exe";
}

struct Outcome {
  std::string output;
  DWORD status = static_cast<DWORD>(-1);
};

// Runs postwing-send with `dir` as working directory and the ASCII `args`;
// collects its standard output, drops its standard error.
Outcome RunSender(const fs::path& dir, const std::string& args = "") {
  Outcome outcome;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return outcome;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          &inherit, OPEN_EXISTING, 0, nullptr);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = writeEnd;
  startup.hStdError = nul;
  std::wstring command =
      L"\"" + ProgramPath().wstring() + L"\" " + std::wstring(args.begin(), args.end());
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      dir.wstring().c_str(), &startup, &process);
  CloseHandle(writeEnd);
  CloseHandle(nul);
  if (started) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      outcome.output.append(buffer, got);
    }
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &outcome.status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(readEnd);
  return outcome;
}

void WriteSettings(const testsupport::CTempDir& dir, const std::string& addressFile) {
  dir.WriteFile("ini/Stmp.Ini",
                FromUtf8("[smtp]\r\nsmtp=127.0.0.1\r\nMail=sender@example.com\r\nemstp=0\r\n"
                         "[maildir]\r\nmaildir=邮件\r\naddress=") +
                    addressFile + FromUtf8("\r\nmailsubject=本周通知\r\n[sound]\r\nplay=0\r\n"));
}

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(PostwingSendWin32, SendsTheFolderToTheListAndReports) {
  ASSERT_TRUE(fs::exists(ProgramPath())) << ProgramPath().string() << " is not built";
  std::unique_ptr<testsupport::CScriptedSmtpServer> server;
  try {
    server = std::make_unique<testsupport::CScriptedSmtpServer>(
        std::vector<testsupport::CSmtpScript>{testsupport::CSmtpScript::Accepting()}, 25);
  } catch (const std::runtime_error&) {
    GTEST_SKIP() << "cannot listen on 127.0.0.1:25";
  }

  testsupport::CTempDir dir;
  dir.WriteFile("邮件/第一封.txt", FromUtf8("第一封信\r\n"));
  dir.WriteFile("邮件/第二封.txt", FromUtf8("第二封信"));
  dir.WriteFile("地址.txt", "one@example.com\r\n\r\n two@example.com \r\n");
  dir.WriteFile("运行报告.txt", "");
  WriteSettings(dir, FromUtf8("地址.txt"));

  const Outcome outcome = RunSender(dir.Path());
  // The console's text mode turns each "\n" into CR LF.
  EXPECT_EQ(outcome.output, "所有邮件已经发送成功.\r\n\r\n");
  EXPECT_EQ(outcome.status, 0u);

  ASSERT_EQ(server->SessionCount(), 4);
  std::string all;
  for (int i = 0; i < 4; ++i) {
    const std::string session = server->Received(i);
    all += session;
    EXPECT_EQ(session.rfind("HELO ", 0), 0u) << session;
    EXPECT_NE(session.find("\r\nMAIL From: <sender@example.com>\r\n"), std::string::npos);
    EXPECT_NE(session.find("\r\nSubject: =?GBK?B?" + Base64Encode(FromUtf8("本周通知")) + "?=\r\n"),
              std::string::npos);
    EXPECT_NE(server->ReceivedMessage(i).find(FromUtf8("封信") + "\r\n"), std::string::npos);
    EXPECT_EQ(session.substr(session.size() - 6), "QUIT\r\n");
  }
  EXPECT_EQ(Count(all, "RCPT TO: <one@example.com>\r\n"), 2);
  EXPECT_EQ(Count(all, "RCPT TO: <two@example.com>\r\n"), 2);
  EXPECT_EQ(Count(all, FromUtf8("第一封信") + "\r\n"), 2);
  EXPECT_EQ(Count(all, FromUtf8("第二封信") + "\r\n"), 2);

  const std::string report = dir.ReadFile("运行报告.txt");
  const std::string tail = " , 2 , 2 , " + FromUtf8("成功");
  ASSERT_EQ(report.size(), 2 + 10 + 3 + 5 + tail.size()) << report;  // "\r\n", date, " , ", time
  EXPECT_EQ(report.substr(0, 2), "\r\n");
  EXPECT_EQ(report.substr(report.size() - tail.size()), tail);
}

TEST(PostwingSendWin32, PrintsEveryMessageAndFailsWithoutAnAddressList) {
  ASSERT_TRUE(fs::exists(ProgramPath())) << ProgramPath().string() << " is not built";
  testsupport::CTempDir dir;
  dir.WriteFile("邮件/a.txt", "x");
  WriteSettings(dir, "");
  const Outcome outcome = RunSender(dir.Path());
  EXPECT_EQ(outcome.output,
            "发送错误!\r\n没有设置邮件地址列表文件.\r\n\r\n"
            "邮件发送错误!\r\n没有设置邮件地址列表文件.\r\n\r\n");
  EXPECT_EQ(outcome.status, 1u);

  const Outcome help = RunSender(dir.Path(), "--help");
  EXPECT_EQ(help.status, 0u);
  EXPECT_NE(help.output.find("postwing-send"), std::string::npos);
  EXPECT_EQ(RunSender(dir.Path(), "--bogus").status, 2u);
}

}  // namespace
