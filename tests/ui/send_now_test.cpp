// The send-now button against the scripted SMTP server on 127.0.0.1: the
// outcome box, the report line, and the SMTP page's controls as the run's
// account before the page is stored.
#include <string>
#include <thread>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/treectrl.h>
#include <wx/uiaction.h>
#include <wx/window.h>

#include "platform/codepage.h"
#include "ui/app/mailer_dlg.h"
#include "support/scripted_smtp_server.h"
#include "ui/pages/report_page.h"
#include "ui/pages/smtp_page.h"
#include "ui/support/main_window_fixture.h"
#include "ui/support/xdotool.h"

namespace uitest {
namespace {

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

class SendNow : public CMainWindowTest {
 protected:
  SendNow() {
    WriteSettings(
        "[smtp]\r\nsmtp=127.0.0.1\r\nMail=file@example.com\r\nemstp=0\r\n"
        "[maildir]\r\nmaildir=mail\r\naddress=address.txt\r\nmailsubject=Hi\r\n");
    WriteRunInputs();
    m_nSmtpPort = m_server.Port();
  }

  // Clicks the button; the run is over when the click has been handled.
  void PressSendNow() { ClickOn(m_dlg->m_btnSendNow); }

  testsupport::CScriptedSmtpServer m_server{testsupport::CSmtpScript::Accepting()};
};

TEST_F(SendNow, ReportsSuccessAppendsTheReportLineAndListsRunsNewestFirst) {
  Open();
  SetClock(8, 1, 5);
  PressSendNow();
  ASSERT_EQ(Messages(), std::vector<wxString>{U("所有邮件已经发送成功.")});
  EXPECT_EQ(m_recorder.m_shown[0].m_strCaption, wxTheApp->GetAppName());
  EXPECT_EQ(m_dir.ReadFile("运行报告.txt"),
            platform::FromUtf8("\r\n2003-11- 8 ,  9: 5 , 1 , 1 , 成功"));
  EXPECT_NE(m_server.Received(0).find("RCPT TO: <to@example.com>"), std::string::npos);

  SetClock(9, 23, 30);
  PressSendNow();
  ASSERT_EQ(Messages().size(), 2u);
  Choose("运行报告");
  const CReportList& list = *m_dlg->m_pages.m_pReport->m_list;
  ASSERT_EQ(list.GetItemCount(), 2);
  EXPECT_EQ(list.GetItemText(0, 0), "2003-11-10 ");
  EXPECT_EQ(list.GetItemText(0, 1), "  7:30 ");
  EXPECT_EQ(list.GetItemText(1, 0), "2003-11- 8 ");
  EXPECT_EQ(list.GetItemText(1, 4), U(" 成功"));
}

TEST_F(SendNow, SpaceOrEnterOnTheFocusedButtonAtStartStartsARun) {
  Open();
  ASSERT_EQ(wxWindow::FindFocus(), m_dlg->m_btnSendNow);
  wxRect r = m_dlg->m_btnSendNow->GetScreenRect();
  MovePointer(wxPoint(r.x + r.width / 2, r.y + r.height / 2));  // keys follow the pointer here
  wxUIActionSimulator sim;
  sim.Char(' ');
  EXPECT_TRUE(WaitUntil([this] { return Messages().size() == 1; }));
  EXPECT_EQ(Messages(), std::vector<wxString>{U("所有邮件已经发送成功.")});
  sim.Char(WXK_RETURN);
  EXPECT_TRUE(WaitUntil([this] { return Messages().size() == 2; }));
  EXPECT_TRUE(m_dlg->IsShown());
}

TEST_F(SendNow, UsesTheSmtpPageEditsBeforeThePageIsLeft) {
  Open();
  Choose("SMTP设置");
  CSmtpPage& smtp = *m_dlg->m_pages.m_pSmtp;
  ASSERT_EQ(smtp.m_editMail->GetValue(), "file@example.com");
  TypeInto(smtp.m_editMail, "edit@example.com");
  PressSendNow();
  ASSERT_EQ(Messages(), std::vector<wxString>{U("所有邮件已经发送成功.")});
  std::string received = m_server.Received(0);
  EXPECT_NE(received.find("edit@example.com"), std::string::npos) << received;
  EXPECT_EQ(received.find("file@example.com"), std::string::npos) << received;
  EXPECT_EQ(Setting("smtp", "Mail"), "file@example.com");  // not stored yet
}

TEST_F(SendNow, WhileARunWaitsTheWindowRepaintsAndTheTreeTakesNoInput) {
  testsupport::CScriptedSmtpServer server(testsupport::CSmtpScript::SlowAccepting(std::chrono::milliseconds(1200)));
  m_nSmtpPort = server.Port();
  Open();
  int paints = 0;
  m_dlg->Bind(wxEVT_PAINT, [&paints](wxPaintEvent& event) {
    ++paints;
    event.Skip();
  });
  // During the server's silence: ask for a repaint and click a tree item;
  // then look at the window while the run still waits.
  int paintsDuringWait = -1;
  int pageDuringWait = -1;
  // The click comes from another process: the simulator in this process
  // would dispatch it itself.
  wxTreeItemIdValue cookie;
  wxTreeItemId smtp = m_dlg->m_tree->GetFirstChild(m_dlg->m_tree->GetRootItem(), cookie);
  wxRect rect;
  ASSERT_TRUE(m_dlg->m_tree->GetBoundingRect(smtp, rect, true));
  wxPoint target = m_dlg->m_tree->ClientToScreen(rect.GetPosition() + wxPoint(5, 5));
  std::thread clicker;
  wxTimer poke;
  poke.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    m_dlg->Refresh();
    clicker = std::thread([target] { EXPECT_TRUE(ClickFromOutside(target)); });
  });
  wxTimer look;
  look.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    paintsDuringWait = paints;
    pageDuringWait = m_dlg->m_nCurrentPage;
  });
  paints = 0;
  poke.StartOnce(200);
  look.StartOnce(900);
  PressSendNow();
  if (clicker.joinable()) clicker.join();
  ASSERT_EQ(Messages(), std::vector<wxString>{U("所有邮件已经发送成功.")});
  EXPECT_GT(paintsDuringWait, 0);
  EXPECT_EQ(pageDuringWait, PAGE_BANNER);
  // The tree takes no input during a run: the click is not kept for later.
  DispatchPending();
  EXPECT_EQ(m_dlg->m_nCurrentPage, PAGE_BANNER);
  EXPECT_TRUE(m_dlg->m_tree->IsEnabled());
}

}  // namespace
}  // namespace uitest
