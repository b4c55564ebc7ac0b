// The mail source page's 预览 and 发送测试邮件 through the real window: the
// preview shows each mail file x table row merged as it would go out (the
// HTML with its picture drawn), its arrows step through them, and a test
// send with a typed address reaches the scripted server, without a journal,
// record or report line, and the box says whether the server took it.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include "dispatch/run_journal.h"
#include "platform/codepage.h"
#include "ui/pages/preview_dialog.h"
#include "ui/pages/my_view.h"
#include "ui/pages/source_page.h"
#include "ui/support/main_window_fixture.h"

namespace uitest {
namespace {

using testsupport::CSmtpScript;

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

const wxColour kPictureColour(20, 160, 60);
constexpr int kPictureW = 48;
constexpr int kPictureH = 24;
// How long the server keeps a test send waiting before its greeting.
constexpr std::chrono::milliseconds kSilence{300};

// Runs `script` once a modal dialog of type T is on the screen, from inside
// its modal loop; the script ends the dialog (else it is cancelled).
template <typename T>
class CWhenShown : public wxTimer {
 public:
  explicit CWhenShown(std::function<void(T&)> script) : m_script(std::move(script)) { Start(20); }
  void Notify() override {
    for (wxWindow* window : wxTopLevelWindows) {
      T* dialog = dynamic_cast<T*>(window);
      if (dialog == nullptr || !dialog->IsModal() || !dialog->IsShownOnScreen()) continue;
      Stop();
      DispatchPending();
      m_script(*dialog);
      m_bRan = true;
      // The script's last click ends the dialog (it is hidden at once, but
      // its loop ends only after this handler): Cancel when it does not.
      if (!WaitUntil([dialog] { return !dialog->IsShown(); })) {
        ADD_FAILURE() << "the dialog is still open";
        dialog->EndModal(wxID_CANCEL);
      }
      return;
    }
  }
  bool m_bRan = false;

 private:
  std::function<void(T&)> m_script;
};

// The text entry of the address box: typed over by real keys when `typed`
// is not empty, then OK clicked. The box is the toolkit's own, its buttons
// labelled from wx's catalogue: Chinese on every system.
void AnswerAddressBox(wxTextEntryDialog& box, const std::string& typed) {
  wxTextCtrl* edit = nullptr;
  wxButton* ok = nullptr;
  wxButton* cancel = nullptr;
  for (wxWindow* child : box.GetChildren()) {
    if (auto* e = dynamic_cast<wxTextCtrl*>(child)) edit = e;
    if (auto* b = dynamic_cast<wxButton*>(child); b != nullptr && b->GetId() == wxID_OK) ok = b;
    if (auto* b = dynamic_cast<wxButton*>(child); b != nullptr && b->GetId() == wxID_CANCEL) cancel = b;
  }
  ASSERT_NE(edit, nullptr);
  ASSERT_NE(ok, nullptr);
  ASSERT_NE(cancel, nullptr);
  EXPECT_TRUE(ok->GetLabelText().StartsWith(U("确认"))) << ok->GetLabelText();
  EXPECT_TRUE(cancel->GetLabelText().StartsWith(U("取消"))) << cancel->GetLabelText();
  if (!typed.empty()) TypeInto(edit, typed);
  ClickOn(ok);
}

class PreviewWindow : public CMainWindowTest {
 protected:
  PreviewWindow() {
    WriteSettings(
        "[smtp]\r\nsmtp=127.0.0.1\r\nMail=me@example.com\r\nemstp=0\r\n"
        "[maildir]\r\nmaildir=mail\r\naddress=list.csv\r\nmailsubject=Hello {{Name}}\r\n");
    m_dir.WriteFile("list.csv",
                    "Name,Email,City\r\nAlice,alice@example.com,Paris\r\n"
                    "Bob,bob@example.com,\r\n");
    // A GBK text file and a UTF-8 page: both read as Chinese in the window.
    m_dir.WriteFile("mail/a.txt", platform::FromUtf8("尊敬的{{Name}}, from {{City}}\r\n"));
    m_dir.WriteFile("mail/b.htm",
                    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                    "charset=utf-8\"></head><body><p>\xE4\xBD\xA0\xE5\xA5\xBD {{ Name }}</p>"
                    "<img src=\"b/logo.bmp\"></body></html>\r\n");
    m_dir.WriteFile("mail/b/logo.bmp", MakeBmp(kPictureW, kPictureH, kPictureColour));
    m_dir.WriteFile("mail/b/price.pdf", std::string(3000, 'x'));
    m_dir.WriteFile("运行报告.txt", "");
    m_recorder.m_showForReal = [](wxDialog* dialog) {
      return dynamic_cast<CPreviewDialog*>(dialog) != nullptr ||
             dynamic_cast<wxTextEntryDialog*>(dialog) != nullptr;
    };
    m_nSmtpPort = m_server.Port();
  }

  CSourcePage& Page() { return *m_dlg->m_pages.m_pSource; }
  // Nothing of a run was left behind: no journal, record or report line.
  void ExpectNoRunTraces() {
    EXPECT_EQ(m_dir.ReadFile("运行报告.txt"), "");
    EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / platform::FromUtf8("发送记录")));
    EXPECT_FALSE(std::filesystem::exists(JournalPath(m_dir.Path())));
  }

  CSafetyTimer m_safety{60};
  testsupport::CScriptedSmtpServer m_server{CSmtpScript::Accepting()};
};

// What one mail file x row shows.
struct Shown {
  const char* m_file;
  int m_nRow;             // from 0
  const char* m_subject;
  const char* m_to;       // a part of the To line
  const char* m_text;     // a part of the text part
  int m_nAttachments;
  bool m_bHtml;
};

const Shown kShown[] = {
    {"a.txt", 0, "Hi Alice", "alice@example.com", "尊敬的Alice, from Paris", 0, false},
    {"a.txt", 1, "Hi Bob", "bob@example.com", "尊敬的Bob, from \n", 0, false},
    {"b.htm", 0, "Hi Alice", "alice@example.com", "你好 Alice", 1, true},
    {"b.htm", 1, "Hi Bob", "bob@example.com", "你好 Bob", 1, true},
};

TEST_F(PreviewWindow, ShowsEachMailFileAndRowMergedAndTheArrowsStepThroughThem) {
  Open();
  Choose("邮件设置");
  // The page's values as they stand, not as stored: the subject is typed.
  Page().m_editSubject->ChangeValue("Hi {{Name}}");
  // The mail files come in the folder's order, whichever that is.
  const struct Step {
    std::function<wxButton*(CPreviewDialog&)> m_click;  // nullptr: the first look
    const char* m_position;
  } steps[] = {
      {nullptr, "邮件 1 / 2 · 第 1 / 2 行"},
      {[](CPreviewDialog& d) { return d.m_btnNextRow; }, "邮件 1 / 2 · 第 2 / 2 行"},
      {[](CPreviewDialog& d) { return d.m_btnNextMail; }, "邮件 2 / 2 · 第 2 / 2 行"},
      {[](CPreviewDialog& d) { return d.m_btnPrevRow; }, "邮件 2 / 2 · 第 1 / 2 行"},
  };
  std::vector<wxString> warningsOfBob;
  std::vector<std::string> seen;  // the file of each step
  CWhenShown<CPreviewDialog> script([&](CPreviewDialog& dialog) {
    for (const Step& step : steps) {
      if (step.m_click) ClickOn(step.m_click(dialog));
      SCOPED_TRACE(step.m_position);
      EXPECT_EQ(dialog.m_position->GetLabel(), U(step.m_position));
      const Shown* found = nullptr;
      for (const Shown& shown : kShown) {
        if (dialog.m_file->GetLabel() == shown.m_file && dialog.Row() == shown.m_nRow) found = &shown;
      }
      ASSERT_NE(found, nullptr) << dialog.m_file->GetLabel();
      const Shown& want = *found;
      seen.push_back(want.m_file);
      EXPECT_EQ(dialog.m_subject->GetLabel(), U(want.m_subject));
      EXPECT_NE(dialog.m_to->GetLabel().Find(U(want.m_to)), wxNOT_FOUND) << dialog.m_to->GetLabel();
      EXPECT_NE(dialog.m_from->GetLabel().Find("me@example.com"), wxNOT_FOUND);
      EXPECT_NE(dialog.m_text->GetValue().Find(U(want.m_text)), wxNOT_FOUND) << dialog.m_text->GetValue();
      EXPECT_EQ(dialog.m_attachments->GetItemCount(), want.m_nAttachments);
      EXPECT_FALSE(dialog.m_size->GetLabel().empty());
      // The arrows that lead nowhere are off.
      EXPECT_EQ(dialog.m_btnPrevMail->IsEnabled(), dialog.Mail() > 0);
      EXPECT_EQ(dialog.m_btnNextMail->IsEnabled(), dialog.Mail() < 1);
      EXPECT_EQ(dialog.m_btnPrevRow->IsEnabled(), dialog.Row() > 0);
      EXPECT_EQ(dialog.m_btnNextRow->IsEnabled(), dialog.Row() < 1);
      if (dialog.Row() == 1 && std::string(want.m_file) == "a.txt") {
        for (unsigned i = 0; i < dialog.m_warnings->GetCount(); ++i) {
          warningsOfBob.push_back(dialog.m_warnings->GetString(i));
        }
      }
      if (!want.m_bHtml) continue;
      // The HTML as the reader sees it: merged, with its picture drawn.
      EXPECT_NE(dialog.m_html->ToText().Find(U(want.m_text)), wxNOT_FOUND) << dialog.m_html->ToText();
      ASSERT_EQ(dialog.m_attachments->GetItemText(0, 0), "price.pdf");
      EXPECT_EQ(dialog.m_attachments->GetItemText(0, 1), "2.9 KB");
      EXPECT_TRUE(WaitUntil([&] {
        return CountPixels(GrabClientArea(dialog.m_html), kPictureColour) >= kPictureW * kPictureH;
      })) << "the picture is not drawn";
    }
    ClickOn(dialog.m_btnClose);
  });
  ClickOn(Page().m_btnPreview);
  EXPECT_TRUE(script.m_bRan);
  EXPECT_TRUE(Messages().empty()) << Messages()[0];
  // The mail arrow went on to the other file.
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_NE(seen[1], seen[2]);
  EXPECT_EQ(seen[2], seen[3]);
  // Bob's City cell is empty, and a.txt uses it: the preview says so.
  EXPECT_FALSE(warningsOfBob.empty());
  EXPECT_EQ(std::find(warningsOfBob.begin(), warningsOfBob.end(), U("没有发现问题。")),
            warningsOfBob.end());
  ExpectNoRunTraces();
}

TEST_F(PreviewWindow, TestSendGoesToTheTypedAddressOnlyAndTheBoxSaysWhetherTheServerTookIt) {
  const struct Case {
    const char* m_name;
    bool m_bFromPreview;   // the preview's button after stepping to row 2, else the page's
    std::string m_typed;   // "" keeps the account's sender address
    CSmtpScript m_script;
    bool m_bSlow;          // the script keeps the send waiting before its greeting
    const char* m_recipient;
    const char* m_subject;
    const char* m_box;     // the start of the box's text
  } cases[] = {
      {"page, sender's address", false, "", CSmtpScript::SlowAccepting(kSilence), true,
       "me@example.com",
       "Subject: Hello Alice", "测试邮件已发送到 me@example.com。"},
      {"preview, typed address", true, "test@example.org", CSmtpScript::SlowAccepting(kSilence), true,
       "test@example.org", "Subject: Hello Bob", "测试邮件已发送到 test@example.org。"},
      {"server refuses", false, "gone@example.org",
       CSmtpScript::Replies({"220 peer", "250 ok", "250 ok", "550 5.1.1 No such user",
                             "554 5.5.1 No valid recipients", "221 bye"}),
       false, "gone@example.org", nullptr, "测试邮件发送失败: "},
  };
  // The schedule is armed for 08:05 (UTC+8), and the clock stands in that
  // minute: a tick during a test send must start no run.
  WriteSettings(
      "[smtp]\r\nsmtp=127.0.0.1\r\nMail=me@example.com\r\nemstp=0\r\n"
      "[maildir]\r\nmaildir=mail\r\naddress=list.csv\r\nmailsubject=Hello {{Name}}\r\n"
      "[timer]\r\nhour=8\r\nminute=5\r\ntimer=1\r\n");
  SetClock(8, 0, 5);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    testsupport::CScriptedSmtpServer server(c.m_script);
    m_nSmtpPort = server.Port();
    m_recorder.m_shown.clear();
    if (m_dlg != nullptr) {
      m_dlg->Destroy();
      DispatchPending();
      m_dlg = nullptr;
    }
    Open();
    Choose("目录设置");
    // While the server keeps the send waiting, the window repaints but
    // nothing that could start another send or run takes input.
    bool sawBusy = false;
    bool ticked = false;
    CPreviewDialog* shownPreview = nullptr;
    wxTimer watch;
    watch.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
      if (server.SessionCount() == 0 || server.WaitForSessionEnd(0, std::chrono::milliseconds(0))) return;
      const bool pageOff = !Page().IsEnabled() && !m_dlg->m_btnSendNow->IsEnabled();
      const bool previewOff = shownPreview == nullptr ||
                              (!shownPreview->m_btnTestSend->IsEnabled() &&
                               !shownPreview->m_btnClose->IsEnabled() &&
                               shownPreview->m_btnTestSend->GetLabel() == U("正在发送..."));
      sawBusy = sawBusy || (pageOff && previewOff);
      if (!ticked) {
        ticked = true;
        m_dlg->Schedule().Tick();
      }
    });
    watch.Start(20);
    CWhenShown<wxTextEntryDialog> address([&](wxTextEntryDialog& box) {
      EXPECT_EQ(box.GetValue(), "me@example.com");
      AnswerAddressBox(box, c.m_typed);
    });
    if (c.m_bFromPreview) {
      CWhenShown<CPreviewDialog> preview([&](CPreviewDialog& dialog) {
        shownPreview = &dialog;
        ClickOn(dialog.m_btnNextRow);
        ClickOn(dialog.m_btnTestSend);
        EXPECT_TRUE(dialog.m_btnTestSend->IsEnabled());
        ClickOn(dialog.m_btnClose);
        shownPreview = nullptr;
      });
      ClickOn(Page().m_btnPreview);
      EXPECT_TRUE(preview.m_bRan);
    } else {
      ClickOn(Page().m_btnTestSend);
    }
    watch.Stop();
    EXPECT_TRUE(address.m_bRan);
    // A send kept waiting showed the window busy.
    if (c.m_bSlow) {
      EXPECT_TRUE(sawBusy);
      EXPECT_TRUE(ticked);
      EXPECT_EQ(g_scheduleFired, 0);  // the tick found the window busy
    }
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_TRUE(Messages()[0].StartsWith(U(c.m_box))) << Messages()[0];
    ASSERT_EQ(server.SessionCount(), 1);
    const std::string received = server.Received(0);
    EXPECT_NE(received.find("RCPT TO: <" + std::string(c.m_recipient) + ">"), std::string::npos)
        << received;
    // The table's own addresses get nothing.
    for (const char* row : {"alice@example.com", "bob@example.com"}) {
      EXPECT_EQ(received.find("RCPT TO: <" + std::string(row) + ">"), std::string::npos) << received;
    }
    if (c.m_subject != nullptr) {
      EXPECT_NE(server.ReceivedMessage(0).find(c.m_subject), std::string::npos) << received;
    }
    // Whatever came of it, the window takes input again.
    EXPECT_TRUE(Page().IsEnabled());
    EXPECT_TRUE(m_dlg->m_btnSendNow->IsEnabled());
    ExpectNoRunTraces();
  }
}

// What would keep the run from sending is said before anything goes: a box
// when there is nothing to show, else at the head of the preview's warnings.
TEST_F(PreviewWindow, WhatWouldStopTheRunIsSaidBeforeAnythingIsSent) {
  const struct Case {
    const char* m_name;
    const char* m_folder;
    const char* m_list;
    const char* m_subject;
    const char* m_box;       // the box's start, or nullptr: the preview opens
    const char* m_position;  // the preview's position line
    const char* m_warning;   // in the preview's first warning
  } cases[] = {
      {"no mail folder", "no such folder", "list.csv", "Hi", "无法预览邮件: ", nullptr, nullptr},
      {"no address list", "mail", "missing.csv", "Hi", nullptr, "邮件 1 / 2 · 没有收件人",
       "missing.csv"},
      {"a field the table lacks", "mail", "list.csv", "Hi {{Company}}", nullptr,
       "邮件 1 / 2 · 第 1 / 2 行", "{{Company}}"},
  };
  Open();
  Choose("目录设置");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    m_recorder.m_shown.clear();
    Page().m_editMailDir->ChangeValue(c.m_folder);
    Page().m_editAddress->ChangeValue(c.m_list);
    Page().m_editSubject->ChangeValue(c.m_subject);
    wxString position, warning;
    CWhenShown<CPreviewDialog> script([&](CPreviewDialog& dialog) {
      position = dialog.m_position->GetLabel();
      warning = dialog.m_warnings->GetString(0);
      ClickOn(dialog.m_btnClose);
    });
    ClickOn(Page().m_btnPreview);
    if (c.m_box != nullptr) {
      EXPECT_FALSE(script.m_bRan);
      ASSERT_EQ(Messages().size(), 1u);
      EXPECT_TRUE(Messages()[0].StartsWith(U(c.m_box))) << Messages()[0];
      EXPECT_NE(Messages()[0].Find(U("请在目录设置中检查")), wxNOT_FOUND) << Messages()[0];
      continue;
    }
    EXPECT_TRUE(script.m_bRan);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(position, U(c.m_position));
    EXPECT_TRUE(warning.StartsWith(U("发送会停止: "))) << warning;
    EXPECT_NE(warning.Find(U(c.m_warning)), wxNOT_FOUND) << warning;
  }
  EXPECT_EQ(m_server.SessionCount(), 0);
}

TEST_F(PreviewWindow, AdvertAndUnsubscribeAreLoadedAndSavedWithThePage) {
  WriteSettings("[maildir]\r\nmaildir=mail\r\nadvert=0\r\nunsubscribe=https://old.example\r\n");
  Open();
  Choose("目录设置");
  EXPECT_FALSE(Page().m_checkAdvert->GetValue());
  EXPECT_EQ(Page().m_editUnsubscribe->GetValue(), "https://old.example");
  ClickOn(Page().m_checkAdvert);
  EXPECT_TRUE(Page().m_checkAdvert->GetValue());
  TypeInto(Page().m_editUnsubscribe, "https://shop.example/u?m={{Email}}");
  Choose("声音设置");
  EXPECT_EQ(Setting("maildir", "advert"), "1");
  EXPECT_EQ(Setting("maildir", "unsubscribe"), "https://shop.example/u?m={{Email}}");
  Choose("邮件设置");
  EXPECT_TRUE(Page().m_checkAdvert->GetValue());
  ClickOn(Page().m_checkAdvert);
  Choose("声音设置");
  EXPECT_EQ(Setting("maildir", "advert"), "0");
}

}  // namespace
}  // namespace uitest
