// 预览 and 发送测试邮件 in the program itself, its main window modal as it
// always runs: the built program in its run folder with an address table,
// the page's buttons clicked with the real pointer, the preview closed with
// Esc, and a test message sent to a typed address. What follows is seen from
// outside: the windows on the X server and what the server received.
#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "support/scripted_smtp_server.h"
#include "ui/support/desktop.h"
#include "ui/support/program_process.h"
#include "ui/support/xdotool.h"

namespace uitest {
namespace {

constexpr std::chrono::seconds kProgramWait(20);
// Places in the main window's client area: the tree's 目录设置 item and the
// page's two buttons.
constexpr int kSourceItem[2] = {57, 54};
constexpr int kPreviewButton[2] = {498, 41};
constexpr int kTestSendButton[2] = {498, 97};
// Narrower windows of the program are tooltips, not dialogs.
constexpr int kDialogWidth = 150;

class ProgramPreview : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_wm.Start()) << "openbox did not take the screen"; }

  // A window of the program other than `window` and `gone` (a dialog) on the screen.
  std::optional<std::pair<unsigned long, wxRect>> WaitForOtherWindow(unsigned long window,
                                                                     unsigned long gone = 0) {
    std::optional<std::pair<unsigned long, wxRect>> other;
    WaitFor(
        [&] {
          for (const auto& found :
               WindowGeometries(wxString::Format("--onlyvisible --pid %ld", m_program.Pid()))) {
            if (found.first != window && found.first != gone && found.second.width >= kDialogWidth) {
              other = found;
            }
          }
          return other.has_value();
        },
        kProgramWait);
    return other;
  }

  // Whether no window of the program but `window` is on the screen.
  bool Alone(unsigned long window) {
    for (const auto& found :
         WindowGeometries(wxString::Format("--onlyvisible --pid %ld", m_program.Pid()))) {
      if (found.first != window && found.second.width >= kDialogWidth) return false;
    }
    return true;
  }

  bool Click(unsigned long window, const int (&at)[2]) {
    return Xdotool(wxString::Format("mousemove --window %lu %d %d click 1", window, at[0], at[1]));
  }

  bool Named(unsigned long window, const char* utf8) {
    for (const std::string& line : Xprop(wxString::Format("-id %lu _NET_WM_NAME", window))) {
      if (line.find(utf8) != std::string::npos) return true;
    }
    return false;
  }

  CWindowManager m_wm;
  CProgramProcess m_program;
};

TEST_F(ProgramPreview, PreviewShowsAndTheTestMessageGoesToTheTypedAddress) {
  testsupport::CScriptedSmtpServer server(testsupport::CSmtpScript::Accepting());
  const std::string settings =
      "[smtp]\r\nsmtp=127.0.0.1\r\nMail=shop@example.com\r\nemstp=0\r\nport=" +
      std::to_string(server.Port()) +
      "\r\n[maildir]\r\nmaildir=mail\r\naddress=list.csv\r\nmailsubject={{姓名}}您好\r\n";
  std::ofstream(m_program.Folder() / "ini" / "Stmp.Ini", std::ios::binary)
      << platform::FromUtf8(settings);
  std::ofstream(m_program.Folder() / "list.csv", std::ios::binary)
      << "\xE5\xA7\x93\xE5\x90\x8D,Email\n\xE5\xBC\xA0\xE4\xB8\x89,zhang@example.cn\n";
  const std::filesystem::path report = m_program.Folder() / "运行报告.txt";
  const auto reportSize = std::filesystem::file_size(report);

  ASSERT_TRUE(m_program.Start());
  std::optional<std::pair<unsigned long, wxRect>> main;
  ASSERT_TRUE(WaitFor([&] { return (main = m_program.MappedWindow()).has_value(); }, kProgramWait));
  const unsigned long window = main->first;
  ASSERT_TRUE(Xdotool(wxString::Format("windowactivate --sync %lu", window)));
  ASSERT_TRUE(Click(window, kSourceItem));

  ASSERT_TRUE(Click(window, kPreviewButton));
  const auto preview = WaitForOtherWindow(window);
  ASSERT_TRUE(preview) << "预览 opened no window";
  EXPECT_TRUE(Named(preview->first, "预览邮件"));
  ASSERT_TRUE(Xdotool(wxString::Format("windowactivate --sync %lu key Escape", preview->first)));
  ASSERT_TRUE(WaitFor([&] { return Alone(window); }, kProgramWait)) << "Esc left the preview open";

  ASSERT_TRUE(Click(window, kTestSendButton));
  const auto ask = WaitForOtherWindow(window);
  ASSERT_TRUE(ask) << "发送测试邮件 asked for no address";
  EXPECT_TRUE(Named(ask->first, "发送测试邮件"));
  ASSERT_TRUE(Xdotool(wxString::Format(
      "windowactivate --sync %lu key ctrl+a type --delay 20 test@example.cn", ask->first)));
  ASSERT_TRUE(Xdotool(wxString::Format("windowactivate --sync %lu key Return", ask->first)));
  ASSERT_TRUE(server.WaitForSessions(1, kProgramWait)) << "no test message was sent";
  const std::string received = server.Received(0, kProgramWait);
  EXPECT_NE(received.find("RCPT TO: <test@example.cn>"), std::string::npos) << received;
  EXPECT_EQ(received.find("zhang@example.cn>\r\nDATA"), std::string::npos) << received;

  const auto box = WaitForOtherWindow(window, ask->first);
  ASSERT_TRUE(box) << "the test send said nothing";
  ASSERT_TRUE(Xdotool(wxString::Format("windowactivate --sync %lu key Return", box->first)));
  ASSERT_TRUE(WaitFor([&] { return Alone(window); }, kProgramWait)) << "the box stayed open";
  EXPECT_FALSE(m_program.ExitStatus()) << "the program ended";
  EXPECT_EQ(std::filesystem::file_size(report), reportSize) << "a test send wrote a report line";
}

}  // namespace
}  // namespace uitest
