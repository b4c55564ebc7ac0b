// The look before a run goes: one message of the run as it would go out
// (From, To, the merged subject, the text part, the HTML with its pictures,
// the attachments and the whole message's size, and what is wrong with it),
// and arrows through the mail files and the rows of the address list.
#pragma once

#include <functional>
#include <vector>

#include <wx/dialog.h>

#include "ui/pages/my_view.h"

class CMessagePreview;
class wxButton;
class wxListBox;
class wxListCtrl;
class wxNotebook;
class wxStaticText;
class wxTextCtrl;

// The HTML part as a reader sees it: pictures named relative to the mail
// file are looked up in `folder`; links are not followed.
class CPreviewView : public CMyVw {
 public:
  CPreviewView(wxWindow* parent, wxWindowID id);
  void ShowMail(const wxString& html, const wxString& folder);
  // The reader's own program would open a link; the preview stays on the mail.
  void OnLinkClicked(const wxHtmlLinkInfo&) override {}
};

class CPreviewDialog : public wxDialog {
 public:
  // `preview` must be open and outlive the dialog. Shows the first message.
  CPreviewDialog(wxWindow* parent, CMessagePreview& preview);

  // Shows message `mail` x `row` (both from 0, kept within range).
  void ShowMessage(int mail, int row);
  int Mail() const { return m_nMail; }
  int Row() const { return m_nRow; }
  // What would stop the run (shown above every message's own warnings).
  void SetRunProblems(const std::vector<wxString>& problems);
  // While a test send is under way every button is disabled and the dialog
  // cannot be closed.
  void SetSending(bool sending);

  // What 发送测试邮件 does with the message shown (mail, row), when set.
  std::function<void(int mail, int row)> m_onTestSend;

  wxButton* m_btnPrevMail = nullptr;  // ◀ 上一封
  wxButton* m_btnNextMail = nullptr;  // 下一封 ▶
  wxButton* m_btnPrevRow = nullptr;   // ◀ 上一行
  wxButton* m_btnNextRow = nullptr;   // 下一行 ▶
  wxStaticText* m_position = nullptr; // 邮件 i / M · 第 r / R 行
  wxStaticText* m_file = nullptr;
  wxStaticText* m_from = nullptr;
  wxStaticText* m_to = nullptr;
  wxStaticText* m_subject = nullptr;
  wxStaticText* m_size = nullptr;     // the whole message
  wxNotebook* m_parts = nullptr;      // 网页 (HTML), 纯文本
  CPreviewView* m_html = nullptr;
  wxTextCtrl* m_text = nullptr;       // the text part, read-only
  wxListCtrl* m_attachments = nullptr;
  wxListBox* m_warnings = nullptr;
  wxButton* m_btnTestSend = nullptr;  // 发送测试邮件
  wxButton* m_btnClose = nullptr;     // 关闭

 private:
  void CreateControls();
  void UpdateArrows();

  CMessagePreview& m_preview;
  int m_nMail = 0;
  int m_nRow = 0;
  bool m_bSending = false;
  bool m_bMade = false;  // the message shown could be made
  std::vector<wxString> m_runProblems;
};

// "532 字节", "12.3 KB", "4.5 MB": a size as the preview shows it.
wxString SizeText(unsigned long long bytes);
