// A keep-going run through the real window against a server that refuses one
// recipient and greylists another: the counts and the retry countdown in the
// strip, the report page's undelivered recipients, and 重发未送达 sending
// exactly the ones still failing.
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include "platform/net.h"
#include "ui/pages/report_page.h"
#include "ui/pages/undelivered_list.h"
#include "ui/support/main_window_fixture.h"

namespace uitest {
namespace {

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

// The run's clock stands still until the test moves it on; waits shorter
// than a few seconds (pace, back-off) pass at once. A wait runs the window's
// wait hook in short real slices, as the real clock does.
class CSteppedClock : public CRunClock {
 public:
  Clock::time_point Now() const override { return m_now; }
  bool WaitUntil(Clock::time_point until, const std::function<bool()>& stop,
                 const std::function<void()>& tick) override {
    const auto giveUp = Clock::now() + std::chrono::seconds(60);
    while (m_now < until && until - m_now > std::chrono::seconds(5) && Clock::now() < giveUp) {
      platform::RunNetWaitHook();
      if (stop && stop()) return false;
      if (tick) tick();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_now = std::max(m_now, until);
    return true;
  }
  Clock::time_point m_now = Clock::now();
};

// A session that refuses its one recipient with `reply`, after `silence`
// before the greeting (so the strip is seen while the run waits on it).
testsupport::CSmtpScript RefusingRecipient(const char* reply,
                                           std::chrono::milliseconds silence = {}) {
  testsupport::CSmtpScript script;
  script.Pause(silence).Line("220 peer");
  for (const char* line : {"250 ok", "250 ok", reply, "250 ok", "221 bye"}) script.Reply(line);
  return script;
}

class KeepGoingWindow : public CMainWindowTest {
 protected:
  KeepGoingWindow() {
    WriteSettings(
        "[smtp]\r\nsmtp=127.0.0.1\r\nMail=file@example.com\r\nemstp=0\r\n"
        "[maildir]\r\nmaildir=mail\r\naddress=address.txt\r\nmailsubject=Hi\r\n"
        "onerror=1\r\nretry=2\r\n");
    WriteRunInputs();
    m_dir.WriteFile("address.txt", "good@example.com\r\nunknown@example.com\r\ngrey@example.com\r\n");
    m_pRunClock = &m_clock;
  }

  CSteppedClock m_clock;
  std::vector<wxString> m_strip;
};

TEST_F(KeepGoingWindow, CountsCountdownUndeliveredListAndSendingThemAgain) {
  const char* grey = "450 4.2.0 Greylisted, try again later";
  testsupport::CScriptedSmtpServer server(
      {testsupport::CSmtpScript::Accepting(), RefusingRecipient("550 5.1.1 User unknown"),
       RefusingRecipient(grey, std::chrono::milliseconds(300)), RefusingRecipient(grey),
       testsupport::CSmtpScript::Accepting()});
  m_nSmtpPort = server.Port();
  Open();
  // The strip, sampled while the run works; the countdown moves on when the
  // test has seen it.
  wxTimer watch;
  watch.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
    if (!m_dlg->m_runText->IsShown()) return;
    const wxString text = m_dlg->m_runText->GetLabel();
    if (m_strip.empty() || m_strip.back() != text) m_strip.push_back(text);
    // The line reads whole between the clock and the button.
    EXPECT_GE(m_dlg->m_runText->GetSize().x, m_dlg->m_runText->GetBestSize().x) << text;
    EXPECT_LT(m_dlg->m_runText->GetRect().GetRight(), m_dlg->m_btnSendNow->GetRect().x) << text;
    if (text == U("等待重试 1 封 01:00") || text == U("等待重试 1 封 00:30")) {
      m_clock.m_now += std::chrono::seconds(30);
    }
  });
  watch.Start(20);
  ClickOn(m_dlg->m_btnSendNow);
  ASSERT_TRUE(WaitUntil([this] { return !Messages().empty(); }, std::chrono::seconds(30)));
  watch.Stop();

  ASSERT_EQ(server.SessionCount(), 4);
  EXPECT_TRUE(Messages()[0].StartsWith(U("发送完成: 已送达 1 封, 未送达 2 封.")))
      << Messages()[0];
  auto showed = [this](const char* utf8) {
    return std::find(m_strip.begin(), m_strip.end(), U(utf8)) != m_strip.end();
  };
  wxString all;
  for (const wxString& text : m_strip) all += text + "\n";
  EXPECT_TRUE(showed("正在发送 第 3 / 3 封 · 已送达 1 · 未送达 1")) << all;
  EXPECT_TRUE(showed("等待重试 1 封 01:00")) << all;
  EXPECT_TRUE(showed("等待重试 1 封 00:30")) << all;

  Choose("运行报告");
  CReportPage& page = *m_dlg->m_pages.m_pReport;
  const CUndeliveredList& list = *page.m_undelivered;
  ASSERT_EQ(list.GetItemCount(), 2);
  EXPECT_EQ(list.GetItemText(0, 0), "unknown@example.com");
  EXPECT_EQ(list.GetItemText(0, 1), U("被拒收"));
  EXPECT_NE(list.GetItemText(0, 3).Find("550 5.1.1 User unknown"), wxNOT_FOUND);
  EXPECT_EQ(list.GetItemText(1, 0), "grey@example.com");
  EXPECT_EQ(list.GetItemText(1, 1), U("暂时失败"));
  EXPECT_NE(list.GetItemText(1, 3).Find(grey), wxNOT_FOUND);
  // Everything is within the page.
  for (wxWindow* part : {static_cast<wxWindow*>(page.m_list), static_cast<wxWindow*>(page.m_undelivered),
                         static_cast<wxWindow*>(page.m_btnRetry), static_cast<wxWindow*>(page.m_btnOpenRecord)}) {
    EXPECT_TRUE(wxRect(page.GetClientSize()).Contains(part->GetRect())) << part->GetRect().y;
  }
  ASSERT_TRUE(page.m_btnRetry->IsEnabled());
  ClickOn(page.m_btnOpenRecord);
  ASSERT_EQ(m_opener.m_opened.size(), 1u);
  const CFakeLinkOpener::COpened& opened = m_opener.m_opened[0];
  EXPECT_TRUE(opened.m_bShellOnly);
  EXPECT_TRUE(opened.m_strTarget.EndsWith(".csv")) << opened.m_strTarget;
#ifndef _WIN32
  // GIO opens addresses: a bare path would open nothing.
  EXPECT_TRUE(opened.m_strTarget.StartsWith("file://")) << opened.m_strTarget;
#endif

  // 重发未送达 sends to the greylisted one only, in a run of its own.
  ClickOn(page.m_btnRetry);
  ASSERT_TRUE(WaitUntil([this] { return Messages().size() == 2; }, std::chrono::seconds(30)));
  ASSERT_EQ(server.SessionCount(), 5);
  const std::string resent = server.Received(4);
  EXPECT_NE(resent.find("RCPT TO: <grey@example.com>"), std::string::npos) << resent;
  EXPECT_EQ(resent.find("RCPT TO: <unknown@example.com>"), std::string::npos) << resent;
  EXPECT_TRUE(Messages()[1].StartsWith(U("发送完成: 已送达 1 封, 未送达 0 封."))) << Messages()[1];
  // The page shows the new run, which left nothing undelivered.
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_FALSE(page.m_btnRetry->IsEnabled());
  EXPECT_FALSE(page.m_btnOpenRecord->IsEnabled());
}

}  // namespace
}  // namespace uitest
