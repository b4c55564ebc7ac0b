// The timer page in the main window: saving with validation, the status
// strip, and the check box that arms and disarms the schedule.
#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/spinbutt.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/window.h>

#include "ui/controls/link_label.h"
#include "ui/pages/timer_page.h"
#include "ui/support/main_window_fixture.h"

namespace uitest {
namespace {

using TimerPage = CMainWindowTest;

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

TEST_F(TimerPage, LeavingStoresTheTimeAndTheArmedStripShowsIt) {
  WriteSettings("[timer]\r\nhour=1\r\nminute=2\r\ntimer=1\r\n");
  Open();
  EXPECT_EQ(m_dlg->m_clockLabel->GetLabel(), "01:02");
  Choose("定时设置");
  CTimerPage& timer = *m_dlg->m_pages.m_pTimer;
  EXPECT_EQ(timer.m_editHour->GetValue(), "1");
  TypeInto(timer.m_editHour, "7");
  TypeInto(timer.m_editMinute, "5");
  Choose("SMTP设置");
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Setting("timer", "hour"), "7");
  EXPECT_EQ(Setting("timer", "minute"), "5");
  EXPECT_EQ(Setting("timer", "timer"), "1");
  EXPECT_EQ(m_dlg->m_clockLabel->GetLabel(), "07:05");
  EXPECT_TRUE(m_dlg->m_clockLabel->IsShown());
}

TEST_F(TimerPage, OutOfRangeValuesAreReportedAndWrittenAsTheyStand) {
  WriteSettings("[timer]\r\nhour=30\r\nminute=10\r\n");
  Open();
  Choose("定时设置");
  CTimerPage& timer = *m_dlg->m_pages.m_pTimer;
  EXPECT_EQ(timer.m_editHour->GetValue(), "30");  // loaded as stored

  Choose("版本说明");
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0], U("“请填入一个在0和23之间的整数。”"));
  const CShownDialog& box = m_recorder.m_shown[0];
  EXPECT_EQ(box.m_strCaption, wxTheApp->GetAppName());
  EXPECT_TRUE(box.m_style & wxICON_EXCLAMATION);
  EXPECT_EQ(Setting("timer", "hour"), "30");
  EXPECT_EQ(Setting("timer", "minute"), "10");

  // The minute is taken first: 75 stops the exchange before the hour.
  Choose("定时设置");
  TypeInto(timer.m_editMinute, "75");
  TypeInto(timer.m_editHour, "4");
  Choose("版本说明");
  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_EQ(Messages()[1], U("“请填入一个在0和59之间的整数。”"));
  EXPECT_EQ(Setting("timer", "minute"), "75");
  EXPECT_EQ(Setting("timer", "hour"), "30");
}

TEST_F(TimerPage, NonIntegerGivesItsMessageAndFocusesTheSelectedEdit) {
  WriteSettings("[timer]\r\nhour=3\r\nminute=4\r\n");
  Open();
  Choose("定时设置");
  CTimerPage& timer = *m_dlg->m_pages.m_pTimer;
  timer.m_editMinute->ChangeValue(" 12 ");  // blanks around a number are accepted
  timer.m_editHour->ChangeValue("9x");
  EXPECT_FALSE(timer.ControlsToFields());
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0], U("请键入一个整数。"));
  EXPECT_EQ(timer.m_nMinute, 12);
  EXPECT_EQ(timer.m_nHour, 3);  // kept
  EXPECT_TRUE(WaitUntil([&] { return wxWindow::FindFocus() == timer.m_editHour; }));
  long from = 0, to = 0;
  timer.m_editHour->GetSelection(&from, &to);
  EXPECT_EQ(from, 0);
  EXPECT_EQ(to, 2);

  int value = 0;
  EXPECT_FALSE(ParseEditInt("", value));
  EXPECT_FALSE(ParseEditInt("99999999999", value));
  EXPECT_TRUE(ParseEditInt("-3", value));
  EXPECT_EQ(value, -3);
}

TEST_F(TimerPage, CheckBoxArmsAndDisarmsAndStoresOnlyTheFlag) {
  WriteSettings("[timer]\r\nhour=8\r\nminute=5\r\ntimer=0\r\n");
  Open();
  Choose("定时设置");
  CTimerPage& timer = *m_dlg->m_pages.m_pTimer;
  TypeInto(timer.m_editHour, "9");
  ClickOn(timer.m_checkTimer);
  EXPECT_EQ(m_dlg->GetTitle(), U("飞鸿信使(已定时)"));
  // The click also took the edits in; the next repaint shows the new time.
  EXPECT_EQ(m_dlg->m_clockLabel->GetLabel(), "09:05");
  EXPECT_TRUE(m_dlg->m_clockLabel->IsShown());
  EXPECT_EQ(timer.m_nHour, 9);
  EXPECT_EQ(Setting("timer", "timer"), "1");
  EXPECT_EQ(Setting("timer", "hour"), "8");

  ClickOn(timer.m_checkTimer);
  EXPECT_EQ(m_dlg->GetTitle(), U("飞鸿信使"));
  EXPECT_FALSE(m_dlg->m_clockLabel->IsShown());
  EXPECT_EQ(Setting("timer", "timer"), "0");
}

TEST_F(TimerPage, SpinButtonsFollowTheEditsAndStopAtTheEnds) {
  WriteSettings("[timer]\r\nhour=22\r\nminute=0\r\n");
  Open();
  Choose("定时设置");
  CTimerPage& timer = *m_dlg->m_pages.m_pTimer;
  EXPECT_EQ(timer.m_spinHour->GetMin(), 0);
  EXPECT_EQ(timer.m_spinHour->GetMax(), 23);
  EXPECT_EQ(timer.m_spinMinute->GetMax(), 59);
  EXPECT_EQ(timer.m_spinHour->GetValue(), 22);
  // The "+" half of the GTK spin button is its right half; Windows' up-down
  // control has its up arrow in the top half.
  auto clickPlus = [](wxSpinButton* spin) {
    wxRect r = spin->GetScreenRect();
#ifdef __WXMSW__
    ClickAt(wxPoint(r.x + r.width / 2, r.y + r.height / 4));
#else
    ClickAt(wxPoint(r.x + r.width * 3 / 4, r.y + r.height / 2));
#endif
  };
  clickPlus(timer.m_spinHour);
  EXPECT_EQ(timer.m_editHour->GetValue(), "23");
  clickPlus(timer.m_spinHour);
  EXPECT_EQ(timer.m_editHour->GetValue(), "23");  // stops at the end

  timer.m_editMinute->SetValue("58");  // typing moves the spin along
  EXPECT_EQ(timer.m_spinMinute->GetValue(), 58);
  clickPlus(timer.m_spinMinute);
  EXPECT_EQ(timer.m_editMinute->GetValue(), "59");
}

}  // namespace
}  // namespace uitest
