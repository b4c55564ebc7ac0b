// The main window driven on the display: start state, the tree, saving a
// settings page when it is left and loading it when it is shown.
#include <wx/button.h>
#include <wx/gdicmn.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/spinctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>
#include <wx/uiaction.h>
#include <wx/window.h>

#include "ui/controls/link_label.h"
#include "ui/pages/banner_page.h"
#include "ui/pages/help_page.h"
#include "ui/pages/report_page.h"
#include "ui/pages/smtp_page.h"
#include "ui/pages/sound_page.h"
#include "ui/pages/source_page.h"
#include "ui/pages/timer_page.h"
#include "ui/pages/version_page.h"
#include "ui/support/main_window_fixture.h"

namespace uitest {
namespace {

using MainWindow = CMainWindowTest;

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

// The only page among the eight that is shown, or null.
wxWindow* ShownPage(const CMailerPages& p) {
  wxWindow* shown = nullptr;
  for (wxWindow* w : {static_cast<wxWindow*>(p.m_pBanner), static_cast<wxWindow*>(p.m_pSmtp),
                      static_cast<wxWindow*>(p.m_pSource), static_cast<wxWindow*>(p.m_pSound),
                      static_cast<wxWindow*>(p.m_pTimer), static_cast<wxWindow*>(p.m_pReport),
                      static_cast<wxWindow*>(p.m_pHelp), static_cast<wxWindow*>(p.m_pVersion)}) {
    if (w->IsShown()) {
      EXPECT_EQ(shown, nullptr) << "two pages shown";
      shown = w;
    }
  }
  return shown;
}

TEST_F(MainWindow, StartsOnTheBannerWithThePlainTitleAndTheFocusOnSendNow) {
  Open();
  EXPECT_EQ(ShownPage(m_dlg->m_pages), m_dlg->m_pages.m_pBanner);
  EXPECT_EQ(m_dlg->GetTitle(), U("飞鸿信使"));
  EXPECT_FALSE(m_dlg->m_clockLabel->IsShown());
  EXPECT_EQ(wxWindow::FindFocus(), m_dlg->m_btnSendNow);
  // The pane lies right of the tree and ends above the status strip.
  wxRect pane = m_dlg->m_pages.m_pBanner->GetRect();
  EXPECT_GT(pane.x, m_dlg->m_tree->GetRect().GetRight());
  EXPECT_LT(pane.GetBottom(), m_dlg->m_btnSendNow->GetRect().y);
  EXPECT_TRUE(m_recorder.m_shown.empty());
}

TEST_F(MainWindow, StoredScheduleFlagShowsTheArmedTitleAndTime) {
  WriteSettings("[timer]\r\nhour=7\r\nminute=5\r\ntimer=1\r\n");
  Open();
  EXPECT_EQ(m_dlg->GetTitle(), U("飞鸿信使(已定时)"));
  EXPECT_TRUE(m_dlg->m_clockLabel->IsShown());
  EXPECT_EQ(m_dlg->m_clockLabel->GetLabel(), "07:05");
}

TEST_F(MainWindow, EveryTreeItemShowsItsPageAndTheSourceBranchStartsFolded) {
  Open();
  wxTreeCtrl* tree = m_dlg->m_tree;
  EXPECT_TRUE(tree->IsExpanded(tree->GetRootItem()));
  wxTreeItemIdValue cookie;
  wxTreeItemId source = tree->GetFirstChild(tree->GetRootItem(), cookie);
  source = tree->GetNextChild(tree->GetRootItem(), cookie);
  EXPECT_EQ(tree->GetItemText(source), U("目录设置"));
  EXPECT_FALSE(tree->IsExpanded(source));
  EXPECT_EQ(tree->GetCount(), 9u);

  const CMailerPages& p = m_dlg->m_pages;
  const struct {
    const char* label;
    wxWindow* page;
    int code;
  } items[] = {
      {"SMTP设置", p.m_pSmtp, PAGE_SMTP},       {"目录设置", p.m_pSource, PAGE_SOURCE},
      {"邮件设置", p.m_pSource, PAGE_MAIL},     {"声音设置", p.m_pSound, PAGE_SOUND},
      {"定时设置", p.m_pTimer, PAGE_TIMER},     {"运行报告", p.m_pReport, PAGE_REPORT},
      {"帮助说明", p.m_pHelp, PAGE_HELP},       {"版本说明", p.m_pVersion, PAGE_VERSION},
      {"选项", p.m_pBanner, PAGE_BANNER},
  };
  for (const auto& item : items) {
    Choose(item.label);
    EXPECT_EQ(ShownPage(p), item.page) << item.label;
    EXPECT_EQ(m_dlg->m_nCurrentPage, item.code) << item.label;
    // The page fills the pane.
    EXPECT_EQ(item.page->GetRect(), m_dlg->PageRect()) << item.label;
  }
  // Labels are compared exactly.
  EXPECT_EQ(PageCodeOfLabel(U("选项 ")), -1);
}

TEST_F(MainWindow, LeavingTheSmtpPageSavesItAndShowingItLoadsTheFile) {
  WriteSettings("[smtp]\r\nsmtp=old.example.com\r\n");
  Open();
  Choose("SMTP设置");
  CSmtpPage& smtp = *m_dlg->m_pages.m_pSmtp;
  EXPECT_EQ(ShownPage(m_dlg->m_pages), &smtp);
  EXPECT_EQ(smtp.m_editServer->GetValue(), "old.example.com");
  TypeInto(smtp.m_editServer, "mx.example.com");
  smtp.m_editMail->ChangeValue(U("寄件人@example.com"));
  smtp.m_editName->ChangeValue("user");
  smtp.m_editPassword->ChangeValue("p w");
  ClickOn(smtp.m_checkAuth);
  ASSERT_TRUE(smtp.m_checkAuth->GetValue());
  EXPECT_EQ(Setting("smtp", "smtp"), "old.example.com");  // nothing stored while shown

  Choose("版本说明");
  EXPECT_EQ(ShownPage(m_dlg->m_pages), m_dlg->m_pages.m_pVersion);
  EXPECT_EQ(Setting("smtp", "smtp"), "mx.example.com");
  EXPECT_EQ(Setting("smtp", "Mail"), "寄件人@example.com");
  EXPECT_EQ(Setting("smtp", "Name"), "user");
  EXPECT_EQ(Setting("smtp", "Password"), "p w");
  EXPECT_EQ(Setting("smtp", "emstp"), "1");

  // Showing the page reloads it from the file, whatever the controls held.
  WriteSettings("[smtp]\r\nsmtp=other.example.com\r\nemstp=0\r\n");
  Choose("SMTP设置");
  EXPECT_EQ(smtp.m_editServer->GetValue(), "other.example.com");
  EXPECT_EQ(smtp.m_editMail->GetValue(), "");
  EXPECT_FALSE(smtp.m_checkAuth->GetValue());
  EXPECT_TRUE(m_recorder.m_shown.empty());
}

TEST_F(MainWindow, BothSourceLabelsShowTheSourcePageAndLeavingEitherSavesIt) {
  Open();
  Choose("目录设置");
  CSourcePage& source = *m_dlg->m_pages.m_pSource;
  EXPECT_EQ(ShownPage(m_dlg->m_pages), &source);
  EXPECT_FALSE(source.m_btnBrowseAddress->IsShown());
  EXPECT_TRUE(source.m_btnBrowseDir->IsShown());
  source.m_editMailDir->ChangeValue(U("邮件"));
  source.m_editAddress->ChangeValue("list.txt");
  source.m_editSubject->ChangeValue(U("你好"));
  // Every control reads whole, within the page, none over another's label.
  const wxRect pageRect(source.GetClientSize());
  for (wxWindow* child : source.GetChildren()) {
    if (!child->IsShown() || dynamic_cast<wxStaticBox*>(child)) continue;
    EXPECT_TRUE(pageRect.Contains(child->GetRect())) << child->GetLabel();
    if (dynamic_cast<wxStaticText*>(child) || dynamic_cast<wxChoice*>(child)) {
      EXPECT_GE(child->GetSize().x, child->GetBestSize().x) << child->GetLabel();
      for (wxWindow* other : source.GetChildren()) {
        if (other != child && other->IsShown() && !dynamic_cast<wxStaticBox*>(other) &&
            dynamic_cast<wxStaticText*>(child) && !dynamic_cast<wxStaticText*>(other)) {
          EXPECT_FALSE(child->GetRect().Intersects(other->GetRect())) << child->GetLabel();
        }
      }
    }
  }
  source.m_choiceOnError->SetSelection(1);
  source.m_spinRetry->SetValue(45);
  source.m_editExclude->ChangeValue(U("退订.txt"));

  Choose("邮件设置");  // leaves the source page for itself: saved, then reloaded
  EXPECT_EQ(ShownPage(m_dlg->m_pages), &source);
  EXPECT_EQ(Setting("maildir", "maildir"), "邮件");
  EXPECT_EQ(Setting("maildir", "address"), "list.txt");
  EXPECT_EQ(Setting("maildir", "mailsubject"), "你好");
  EXPECT_EQ(source.m_editSubject->GetValue(), U("你好"));
  EXPECT_EQ(Setting("maildir", "onerror"), "1");
  EXPECT_EQ(Setting("maildir", "retry"), "45");
  EXPECT_EQ(Setting("maildir", "exclude"), "退订.txt");
  EXPECT_EQ(source.m_choiceOnError->GetSelection(), 1);
  EXPECT_EQ(source.m_spinRetry->GetValue(), 45);
  EXPECT_EQ(source.m_editExclude->GetValue(), U("退订.txt"));

  source.m_editSubject->ChangeValue("second");
  Choose("声音设置");
  EXPECT_EQ(ShownPage(m_dlg->m_pages), m_dlg->m_pages.m_pSound);
  EXPECT_EQ(Setting("maildir", "mailsubject"), "second");
}

TEST_F(MainWindow, CancellingTheFolderBrowserKeepsWhatWasTyped) {
  WriteSettings("[maildir]\r\nmaildir=stored\r\n");
  Open();
  Choose("目录设置");
  CSourcePage& source = *m_dlg->m_pages.m_pSource;
  source.m_editSubject->ChangeValue("typed");
  ClickOn(source.m_btnBrowseDir);
  ASSERT_EQ(m_recorder.m_shown.size(), 1u);  // the folder browser, cancelled
  EXPECT_EQ(m_recorder.m_shown[0].m_strText, U("请选择一个文件夹:"));
  EXPECT_EQ(source.m_editMailDir->GetValue(), "stored");
  EXPECT_EQ(source.m_editSubject->GetValue(), "typed");
}

TEST_F(MainWindow, SoundPageSavesOnLeavingAndItsCheckBoxSwitchesTheEdits) {
  WriteSettings("[sound]\r\nplay=1\r\nok=ok.wav\r\n");
  Open();
  Choose("目录设置");
  Choose("声音设置");
  CSoundPage& sound = *m_dlg->m_pages.m_pSound;
  EXPECT_TRUE(sound.m_checkPlay->GetValue());
  EXPECT_EQ(sound.m_editOk->GetValue(), "ok.wav");
  ClickOn(sound.m_checkPlay);
  EXPECT_EQ(sound.m_bPlay, 0);
  EXPECT_FALSE(sound.m_editBegin->IsEnabled());
  EXPECT_FALSE(sound.m_editErr->IsEnabled());
  ClickOn(sound.m_checkPlay);
  EXPECT_TRUE(sound.m_editOk->IsEnabled());
  sound.m_editErr->ChangeValue(U("错误.wav"));
  Choose("运行报告");
  EXPECT_EQ(Setting("sound", "play"), "1");
  EXPECT_EQ(Setting("sound", "ok"), "ok.wav");
  EXPECT_EQ(Setting("sound", "err"), "错误.wav");
}

TEST_F(MainWindow, LeavingTheInformationPagesAndClosingWriteNothing) {
  WriteSettings("[smtp]\r\nsmtp=keep\r\n");
  Open();
  const std::string before = SettingsBytes();
  for (const char* label : {"运行报告", "帮助说明", "版本说明", "选项", "运行报告", "选项"}) {
    Choose(label);
  }
  EXPECT_EQ(SettingsBytes(), before);

  // An edit on the shown page is lost when the window closes.
  Choose("SMTP设置");
  m_dlg->m_pages.m_pSmtp->m_editServer->ChangeValue("lost.example.com");
  m_dlg->CallAfter([this] { m_dlg->Close(); });
  EXPECT_EQ(m_dlg->ShowModal(), wxID_CANCEL);
  EXPECT_EQ(SettingsBytes(), before);
}

TEST_F(MainWindow, EnterAndEscOnTheTreeEndTheWindowWithoutSaving) {
  WriteSettings("[smtp]\r\nsmtp=keep\r\n");
  Open();
  Choose("SMTP设置");
  m_dlg->m_pages.m_pSmtp->m_editServer->ChangeValue("lost.example.com");
  const std::string before = SettingsBytes();
  for (int key : {WXK_RETURN, WXK_ESCAPE}) {
    m_dlg->CallAfter([this, key] {
      m_dlg->m_tree->SetFocus();
      EXPECT_TRUE(WaitUntil([this] { return wxWindow::FindFocus() == m_dlg->m_tree; }));
      wxUIActionSimulator().Char(key);
    });
    EXPECT_EQ(m_dlg->ShowModal(), key == WXK_RETURN ? wxID_OK : wxID_CANCEL);
  }
  EXPECT_EQ(SettingsBytes(), before);
}

TEST_F(MainWindow, AboutItemOpensTheAboutBox) {
  Open();
  wxCommandEvent about(wxEVT_MENU, CMailerDlg::IDM_ABOUTBOX);
  m_dlg->ProcessWindowEvent(about);
  ASSERT_EQ(m_recorder.m_shown.size(), 1u);
  EXPECT_EQ(m_recorder.m_shown[0].m_strCaption, U("关于 Postwing"));
}

}  // namespace
}  // namespace uitest

namespace uitest {
namespace {

// Focuses the choice and picks `utf8Item` with the keyboard, as a user would.
void SelectWithKeys(wxChoice* choice, const char* utf8Item) {
  const wxString item = wxString::FromUTF8(utf8Item);
  choice->SetFocus();
  ASSERT_TRUE(WaitUntil([&] { return wxWindow::FindFocus() == choice; }));
  wxUIActionSimulator sim;
  sim.Select(item);
  ASSERT_TRUE(WaitUntil([&] { return choice->GetStringSelection() == item; })) << utf8Item;
  DispatchPending();
}

}  // namespace

TEST_F(MainWindow, SecurityModesMoveTheDefaultPortAndPlainLoginWarnsOnce) {
  WriteSettings("[smtp]\r\nsmtp=old.example.com\r\nemstp=1\r\n");
  Open();
  Choose("SMTP设置");
  CSmtpPage& smtp = *m_dlg->m_pages.m_pSmtp;
  // A file from before the new keys: mode 0 on port 25.
  EXPECT_EQ(smtp.m_choiceSecurity->GetSelection(), 0);
  EXPECT_EQ(smtp.m_spinPort->GetValue(), 25);
  // The new rows fit the page.
  EXPECT_TRUE(wxRect(smtp.GetClientSize()).Contains(smtp.m_buttonBrowse->GetRect()))
      << smtp.GetClientSize().y << " " << smtp.m_buttonBrowse->GetRect().GetBottom();
  // Every row fits the page, and no two overlap.
  std::vector<wxWindow*> rows;
  for (wxWindow* child : smtp.GetChildren()) {
    EXPECT_TRUE(wxRect(smtp.GetClientSize()).Contains(child->GetRect()))
        << smtp.GetClientSize().y << " " << child->GetRect().GetBottom();
    if (wxDynamicCast(child, wxStaticText) == nullptr) rows.push_back(child);
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (std::size_t j = i + 1; j < rows.size(); ++j) {
      EXPECT_FALSE(rows[i]->GetRect().Intersects(rows[j]->GetRect())) << i << " " << j;
    }
  }
  // Messages per connection (20) and connections (1), greyed in mode 0.
  EXPECT_EQ(smtp.m_spinReuse->GetValue(), 20);
  EXPECT_FALSE(smtp.m_spinReuse->IsEnabled());
  EXPECT_EQ(smtp.m_spinConnections->GetValue(), 1);
  EXPECT_FALSE(smtp.m_spinConnections->IsEnabled());

  SelectWithKeys(smtp.m_choiceSecurity, "STARTTLS");
  EXPECT_EQ(smtp.m_choiceSecurity->GetSelection(), 1);
  EXPECT_EQ(smtp.m_spinPort->GetValue(), 587);
  EXPECT_TRUE(smtp.m_spinReuse->IsEnabled());
  EXPECT_TRUE(smtp.m_spinConnections->IsEnabled());
  SelectWithKeys(smtp.m_choiceSecurity, "SSL/TLS");
  EXPECT_EQ(smtp.m_spinPort->GetValue(), 465);
  // A port of the user's own stays whatever the mode.
  smtp.m_spinPort->SetValue(2465);
  SelectWithKeys(smtp.m_choiceSecurity, "STARTTLS");
  EXPECT_EQ(smtp.m_spinPort->GetValue(), 2465);
  EXPECT_TRUE(m_recorder.m_shown.empty());

  // The unencrypted mode with login on warns, once.
  SelectWithKeys(smtp.m_choiceSecurity, "无加密 (本机或内网转发)");
  ASSERT_EQ(m_recorder.m_shown.size(), 1u);
  EXPECT_NE(m_recorder.m_shown[0].m_strText.find(wxString::FromUTF8("明文")), wxString::npos);
  SelectWithKeys(smtp.m_choiceSecurity, "无");
  SelectWithKeys(smtp.m_choiceSecurity, "无加密 (本机或内网转发)");
  ClickOn(smtp.m_checkAuth);
  ASSERT_TRUE(WaitUntil([&] { return !smtp.m_checkAuth->GetValue(); }));
  ClickOn(smtp.m_checkAuth);
  ASSERT_TRUE(WaitUntil([&] { return smtp.m_checkAuth->GetValue(); }));
  EXPECT_EQ(m_recorder.m_shown.size(), 1u);

  TypeInto(smtp.m_editCaFile, "certs/company.pem");
  // The spins are reached with Tab from the certificate file (a click on a
  // spin may meet one of its buttons, and on Windows its edit is a window of
  // its own), then stepped with the arrow keys.
  auto tabTo = [](wxWindow* target) {
    for (int i = 0; i < 4 && wxWindow::FindFocus() != target; ++i) {
      wxWindow* before = wxWindow::FindFocus();
      wxUIActionSimulator().Char(WXK_TAB);
      WaitUntil([&] { return wxWindow::FindFocus() != before; });
    }
    return wxWindow::FindFocus() == target;
  };
  ASSERT_TRUE(tabTo(smtp.m_spinReuse));
  const int reuse = smtp.m_spinReuse->GetValue() - 1;
  wxUIActionSimulator().Char(WXK_DOWN);
  ASSERT_TRUE(WaitUntil([&] { return smtp.m_spinReuse->GetValue() == reuse; }))
      << smtp.m_spinReuse->GetValue();
  ASSERT_TRUE(tabTo(smtp.m_spinConnections));
  const int connections = smtp.m_spinConnections->GetValue() + 1;
  wxUIActionSimulator().Char(WXK_UP);
  ASSERT_TRUE(WaitUntil([&] { return smtp.m_spinConnections->GetValue() == connections; }))
      << smtp.m_spinConnections->GetValue();
  Choose("版本说明");
  EXPECT_EQ(Setting("smtp", "port"), "2465");
  EXPECT_EQ(Setting("smtp", "security"), "3");
  EXPECT_EQ(Setting("smtp", "cafile"), "certs/company.pem");
  EXPECT_EQ(Setting("smtp", "reuse"), std::to_string(reuse));
  EXPECT_EQ(Setting("smtp", "connections"), std::to_string(connections));
}

}  // namespace uitest
