// The daily schedule with a settable clock, and the notification-area icon.
#include <algorithm>
#include <string>

#include <wx/app.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/taskbar.h>
#include <wx/utils.h>

#include "support/scripted_smtp_server.h"
#include "ui/app/mailer_dlg.h"
#include "ui/controls/link_label.h"
#include "ui/support/main_window_fixture.h"

namespace uitest {
namespace {

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

class Schedule : public CMainWindowTest {
 protected:
  Schedule() {
    g_scheduleFired = 0;
    WriteSettings(
        "[smtp]\r\nsmtp=127.0.0.1\r\nMail=from@example.com\r\n"
        "[maildir]\r\nmaildir=mail\r\naddress=address.txt\r\nmailsubject=Hi\r\n"
        "[timer]\r\nhour=8\r\nminute=5\r\ntimer=1\r\n");
    WriteRunInputs();
  }

  void OpenArmed() {
    m_nSmtpPort = m_server.Port();
    Open();
    ASSERT_TRUE(m_dlg->Schedule().IsArmed());
  }
  // One tick at this UTC time.
  void TickAt(int day, int hour, int minute, int second = 0) {
    SetClock(day, hour, minute, second);
    m_dlg->Schedule().Tick();
  }
  int Runs() const { return m_server.SessionCount(); }

  testsupport::CScriptedSmtpServer m_server{testsupport::CSmtpScript::Accepting()};
};

// The machine clock is UTC: 00:05 UTC is 08:05 at UTC+8.
TEST_F(Schedule, OneRunPerOccurrenceOfTheSetMinuteWithoutAMessageBox) {
  OpenArmed();
  TickAt(8, 0, 4, 50);
  EXPECT_EQ(Runs(), 0);
  TickAt(8, 0, 5, 20);
  EXPECT_EQ(Runs(), 1);
  EXPECT_EQ(g_scheduleFired, 1);
  TickAt(8, 0, 5, 50);
  EXPECT_EQ(Runs(), 1);
  TickAt(8, 0, 6, 20);
  EXPECT_EQ(g_scheduleFired, 0);
  TickAt(8, 8, 5, 20);  // 16:05 at UTC+8
  EXPECT_EQ(Runs(), 1);
  TickAt(9, 0, 5, 10);  // the next day
  EXPECT_EQ(Runs(), 2);
  EXPECT_TRUE(Messages().empty());
  const std::string report = m_dir.ReadFile("运行报告.txt");
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 2);
}

TEST_F(Schedule, TicksDuringARunStartNothingAndARunPastTheMinuteIsNotRepeated) {
  testsupport::CScriptedSmtpServer slow(testsupport::CSmtpScript::SlowAccepting(std::chrono::milliseconds(900)));
  m_nSmtpPort = slow.Port();
  Open();
  // Ticks dispatched while the run waits on the server: one in the set
  // minute, then one after it.
  wxTimer inMinute;
  inMinute.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { TickAt(8, 0, 5, 50); });
  wxTimer afterMinute;
  afterMinute.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { TickAt(8, 0, 6, 20); });
  inMinute.StartOnce(200);
  afterMinute.StartOnce(500);
  TickAt(8, 0, 5, 20);
  EXPECT_EQ(slow.SessionCount(), 1);
  EXPECT_EQ(g_scheduleFired, 0);  // cleared by the tick after the minute
  TickAt(8, 0, 6, 50);
  TickAt(8, 0, 7, 20);
  EXPECT_EQ(slow.SessionCount(), 1);
}

TEST_F(Schedule, TickDuringAButtonRunsMessageBoxStartsNothing) {
  OpenArmed();
  int ticks = 0;
  m_recorder.m_onShown = [&](const CShownDialog&) {
    ++ticks;
    TickAt(8, 0, 5, 20);
  };
  TickAt(8, 0, 4, 50);
  wxCommandEvent press(wxEVT_BUTTON, CMailerDlg::IDC_SEND_NOW);
  m_dlg->ProcessWindowEvent(press);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(Messages(), std::vector<wxString>{U("所有邮件已经发送成功.")});
  EXPECT_EQ(Runs(), 1);
  EXPECT_EQ(g_scheduleFired, 0);
  m_recorder.m_onShown = nullptr;
  TickAt(8, 0, 5, 50);  // a later tick of the minute runs the schedule
  EXPECT_EQ(Runs(), 2);
}

TEST_F(Schedule, ArmedAndUnarmedTitleStripAndTimer) {
  Open();
  EXPECT_TRUE(m_dlg->Schedule().IsArmed());
  EXPECT_EQ(m_dlg->GetTitle(), U("飞鸿信使(已定时)"));
  EXPECT_EQ(m_dlg->m_clockLabel->GetLabel(), "08:05");
  EXPECT_TRUE(m_dlg->m_clockLabel->IsShown());
  m_dlg->DisarmSchedule();
  EXPECT_FALSE(m_dlg->Schedule().IsArmed());
  EXPECT_EQ(m_dlg->GetTitle(), U("飞鸿信使"));
  EXPECT_FALSE(m_dlg->m_clockLabel->IsShown());
  m_dlg->ArmSchedule();
  m_dlg->ArmSchedule();
  EXPECT_TRUE(m_dlg->Schedule().IsArmed());
  EXPECT_EQ(m_dlg->GetTitle(), U("飞鸿信使(已定时)"));
}

TEST_F(Schedule, TheShowCommandShowsTheHiddenWindow) {
  Open();
  m_dlg->wxTopLevelWindow::Show(false);
  wxCommandEvent show(wxEVT_MENU, WM_OpenTtask);
  m_dlg->ProcessWindowEvent(show);
  EXPECT_TRUE(m_dlg->IsShown());
}

// With a notification area (trayer on the test display): minimising hides
// the window behind one icon; 关闭程序 ends the modal window, writing nothing.
TEST_F(Schedule, MinimiseRestoreMinimiseKeepsOneIconAndCloseEndsWithoutSaving) {
  long trayer = 0;
  {
    // Where trayer cannot be started (Windows has a notification area of its
    // own), that is no failure to report.
    wxLogNull quiet;
    trayer = wxExecute("trayer --align left --widthtype pixel --width 64", wxEXEC_ASYNC);
  }
  WaitUntil([] { return wxTaskBarIcon::IsAvailable(); }, std::chrono::seconds(4));
  Open();
  const std::string before = SettingsBytes();
  if (!wxTaskBarIcon::IsAvailable()) {
    m_dlg->MinimizeToTray();
    EXPECT_TRUE(m_dlg->IsShown()) << "without a tray the window must stay reachable";
    if (trayer > 0) wxKill(trayer, wxSIGTERM);
    GTEST_SKIP() << "no notification area on this display";
  }
  m_dlg->MinimizeToTray();
  EXPECT_TRUE(WaitUntil([this] { return !m_dlg->IsShownOnScreen(); }));
  EXPECT_FALSE(m_dlg->IsShown());
  wxTaskBarIcon* icon = m_dlg->Tray().Icon();
  ASSERT_NE(icon, nullptr);
  EXPECT_TRUE(icon->IsIconInstalled());
  m_dlg->RestoreFromTray();
  EXPECT_TRUE(WaitUntil([this] { return m_dlg->IsShownOnScreen(); }));
  EXPECT_TRUE(icon->IsIconInstalled());  // the icon stays
  m_dlg->MinimizeToTray();
  EXPECT_EQ(m_dlg->Tray().Icon(), icon);

  // The menu's 关闭程序 reaches the window as its command (the menu itself,
  // opened by a real right click, is worked in program_tray_posix_test).
  m_dlg->CallAfter([this] {
    wxCommandEvent close(wxEVT_MENU, wxID_CANCEL);
    m_dlg->ProcessWindowEvent(close);
  });
  EXPECT_EQ(m_dlg->ShowModal(), wxID_CANCEL);
  EXPECT_EQ(SettingsBytes(), before);
  if (trayer > 0) wxKill(trayer, wxSIGTERM);
}

}  // namespace
}  // namespace uitest
