// A run watched, stopped and continued through the real main window: the
// progress in the status strip, the 停止发送 button clicked from another
// process, closing the window during a run, and the question that continues
// an interrupted run.
#include <string>
#include <thread>
#include <vector>

#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/stattext.h>
#include <wx/timer.h>
#include <wx/treectrl.h>

#include "platform/codepage.h"
#include "support/scripted_smtp_server.h"
#include "ui/app/mailer_dlg.h"
#include "ui/support/main_window_fixture.h"
#include "ui/support/xdotool.h"

namespace uitest {
namespace {

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

// What the strip showed at one moment of a run.
struct Sample {
  wxString text;
  int gauge = 0;
  wxString button;
  bool treeEnabled = true;
};

class RunControl : public CMainWindowTest {
 protected:
  RunControl() {
    WriteSettings(
        "[smtp]\r\nsmtp=127.0.0.1\r\nMail=file@example.com\r\nemstp=0\r\n"
        "[maildir]\r\nmaildir=mail\r\naddress=address.txt\r\nmailsubject=Hi\r\n");
    WriteRunInputs();
    m_dir.WriteFile("address.txt", "a1@example.com\r\na2@example.com\r\na3@example.com\r\na4@example.com\r\n");
  }
  ~RunControl() override {
    if (m_clicker.joinable()) m_clicker.join();
  }

  // Samples the strip every 50 ms while the run works (timers fire during
  // its waits); `act` runs on each sample.
  void Watch(std::function<void(const Sample&)> act) {
    m_watch.Bind(wxEVT_TIMER, [this, act](wxTimerEvent&) {
      Sample s{m_dlg->m_runText->IsShown() ? m_dlg->m_runText->GetLabel() : wxString(),
               m_dlg->m_runGauge->GetValue(), m_dlg->m_btnSendNow->GetLabel(),
               m_dlg->m_tree->IsEnabled()};
      m_samples.push_back(s);
      if (act) act(s);
    });
    m_watch.Start(50);
  }

  // Clicks the send button from another process, as a person would.
  void ClickSendButtonFromOutside() {
    if (m_clicker.joinable()) return;
    const wxRect r = m_dlg->m_btnSendNow->GetScreenRect();
    const wxPoint target(r.x + r.width / 2, r.y + r.height / 2);
    m_clicker = std::thread([target] { EXPECT_TRUE(ClickFromOutside(target)); });
  }

  bool Showed(const wxString& text) const {
    for (const Sample& s : m_samples) {
      if (s.text == text) return true;
    }
    return false;
  }

  wxTimer m_watch;
  std::vector<Sample> m_samples;
  std::thread m_clicker;
};

TEST_F(RunControl, ProgressMovesTheStopButtonStopsAndTheNextRunContinues) {
  testsupport::CScriptedSmtpServer server(testsupport::CSmtpScript::SlowAccepting(std::chrono::milliseconds(400)));
  m_nSmtpPort = server.Port();
  Open();
  Watch([this](const Sample& s) {
    if (s.text == U("正在发送 第 2 / 4 封")) ClickSendButtonFromOutside();
  });
  ClickOn(m_dlg->m_btnSendNow);
  ASSERT_TRUE(WaitUntil([this] { return !Messages().empty(); }, std::chrono::seconds(20)));
  m_watch.Stop();
  if (m_clicker.joinable()) m_clicker.join();

  EXPECT_EQ(Messages(), std::vector<wxString>{U("发送已停止.")});
  EXPECT_TRUE(Showed(U("正在发送 第 1 / 4 封")));
  EXPECT_TRUE(Showed(U("正在发送 第 2 / 4 封")));
  // The bar moved with the accepted messages; the button and the tree
  // followed the run.
  bool barMoved = false;
  for (const Sample& s : m_samples) {
    if (s.text.empty()) continue;
    EXPECT_EQ(s.button, U("停止发送"));
    EXPECT_FALSE(s.treeEnabled);
    barMoved = barMoved || s.gauge == 1;
  }
  EXPECT_TRUE(barMoved);
  // The message in progress at the click still went out.
  EXPECT_EQ(server.SessionCount(), 2);
  EXPECT_EQ(m_dlg->m_btnSendNow->GetLabel(), U("立即发送邮件"));
  EXPECT_TRUE(m_dlg->m_tree->IsEnabled());
  const std::string report = m_dir.ReadFile("运行报告.txt");
  EXPECT_EQ(report.substr(report.size() - platform::FromUtf8(" , 1 , 2 , 已停止").size()),
            platform::FromUtf8(" , 1 , 2 , 已停止"));

  // The next press asks; 是 continues with the third address.
  m_recorder.m_answer = [](const CShownDialog& shown) {
    return shown.m_style & wxYES_NO ? wxID_YES : wxID_OK;
  };
  ClickOn(m_dlg->m_btnSendNow);
  ASSERT_TRUE(WaitUntil([this] { return Messages().size() == 3; }, std::chrono::seconds(20)));
  EXPECT_EQ(Messages()[1], U("上次发送在第 2 封后中断, 是否从中断处继续?"));
  EXPECT_EQ(Messages()[2], U("所有邮件已经发送成功."));
  ASSERT_EQ(server.SessionCount(), 4);
  EXPECT_NE(server.Received(2).find("RCPT TO: <a3@example.com>"), std::string::npos);
  EXPECT_NE(server.Received(3).find("RCPT TO: <a4@example.com>"), std::string::npos);
}

// Three connections at once: while the run's thread waits for them the
// window stays live (the strip is sampled every 50 ms without a gap), the
// stop button is taken, and each connection ends after its message.
TEST_F(RunControl, SeveralConnectionsKeepTheWindowLiveAndStop) {
  WriteSettings(
      "[smtp]\r\nsmtp=127.0.0.1\r\nMail=file@example.com\r\nemstp=0\r\n"
      "security=3\r\nreuse=1\r\nconnections=3\r\n"
      "[maildir]\r\nmaildir=mail\r\naddress=address.txt\r\nmailsubject=Hi\r\n");
  std::string list;
  for (int i = 1; i <= 12; ++i) list += "a" + std::to_string(i) + "@example.com\r\n";
  m_dir.WriteFile("address.txt", list);
  testsupport::CScriptedSmtpServer server(testsupport::CSmtpScript::SlowAccepting(std::chrono::milliseconds(300)));
  m_nSmtpPort = server.Port();
  Open();
  std::vector<wxLongLong> times;
  Watch([&](const Sample& s) {
    times.push_back(wxGetLocalTimeMillis());
    if (s.text == U("正在发送 第 2 / 12 封")) ClickSendButtonFromOutside();
  });
  ClickOn(m_dlg->m_btnSendNow);
  ASSERT_TRUE(WaitUntil([this] { return !Messages().empty(); }, std::chrono::seconds(30)));
  m_watch.Stop();
  if (m_clicker.joinable()) m_clicker.join();
  EXPECT_EQ(Messages(), std::vector<wxString>{U("发送已停止.")});
  // Those begun when the stop came went out; the rest did not.
  EXPECT_GE(server.SessionCount(), 2);
  EXPECT_LT(server.SessionCount(), 12);
  wxLongLong widest = 0;
  for (std::size_t i = 1; i < times.size(); ++i) widest = std::max(widest, times[i] - times[i - 1]);
  EXPECT_LT(widest, 150) << "the window stood still while the run waited";
  const std::string report = m_dir.ReadFile("运行报告.txt");
  const std::string tail = " , 1 , " + std::to_string(server.SessionCount()) + " , " +
                           platform::FromUtf8("已停止");
  EXPECT_EQ(report.substr(report.size() - tail.size()), tail);
}

TEST_F(RunControl, ClosingTheWindowStopsTheRunFirst) {
  testsupport::CScriptedSmtpServer server(testsupport::CSmtpScript::SlowAccepting(std::chrono::milliseconds(400)));
  m_nSmtpPort = server.Port();
  Open();
  bool closed = false;
  Watch([this, &closed](const Sample& s) {
    if (!closed && s.text == U("正在发送 第 1 / 4 封")) {
      closed = true;
      m_dlg->Close();
    }
  });
  ClickOn(m_dlg->m_btnSendNow);
  ASSERT_TRUE(WaitUntil([this] { return !m_dlg->IsShown(); }, std::chrono::seconds(20)));
  m_watch.Stop();
  EXPECT_TRUE(closed);
  EXPECT_EQ(Messages(), std::vector<wxString>{U("发送已停止.")});
  EXPECT_EQ(server.SessionCount(), 1);
}

}  // namespace
}  // namespace uitest
