#include "ui/pages/preview_dialog.h"

#include <algorithm>
#include <initializer_list>

#include <wx/button.h>
#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/notebook.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "dispatch/message_preview.h"
#include "platform/codepage.h"
#include "ui/common/template_font.h"
#include "ui/common/text.h"

CPreviewView::CPreviewView(wxWindow* parent, wxWindowID id) {
  Create(parent, id, wxDefaultPosition, wxDefaultSize, wxHW_SCROLLBAR_AUTO | wxBORDER_SUNKEN);
}

void CPreviewView::ShowMail(const wxString& html, const wxString& folder) {
  if (!folder.empty()) {
    m_FS->ChangePathTo(wxFileSystem::FileNameToURL(wxFileName::DirName(folder)), true);
  }
  SetPage(html);
}

namespace {

constexpr int kDialogW = 620;
constexpr int kDialogH = 660;
constexpr int kPartsH = 230;
constexpr int kListH = 64;
constexpr int kSizeColumnW = 110;
constexpr int kGap = 6;
constexpr unsigned long long kKilo = 1024;

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

// Shows `text` in full as the label's tooltip too: the label cuts it at the
// dialog's edge.
void SetField(wxStaticText* label, const wxString& text) {
  label->SetLabel(text);
  label->SetToolTip(text);
}

}  // namespace

wxString SizeText(unsigned long long bytes) {
  if (bytes < kKilo) return wxString::Format("%llu ", bytes) + U("字节");
  if (bytes < kKilo * kKilo) return wxString::Format("%.1f KB", bytes / double(kKilo));
  return wxString::Format("%.1f MB", bytes / double(kKilo * kKilo));
}

CPreviewDialog::CPreviewDialog(wxWindow* parent, CMessagePreview& preview)
    : wxDialog(parent, wxID_ANY, U("预览邮件"), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_preview(preview) {
  SetFont(TemplateFont());
  CreateControls();
  SetSize(FromDIP(wxSize(kDialogW, kDialogH)));
  CentreOnParent();
  ShowMessage(0, 0);
}

void CPreviewDialog::CreateControls() {
  auto* top = new wxBoxSizer(wxVERTICAL);

  // The arrows and where they stand.
  auto* steps = new wxBoxSizer(wxHORIZONTAL);
  m_btnPrevMail = new wxButton(this, wxID_ANY, U("◀ 上一封"));
  m_btnNextMail = new wxButton(this, wxID_ANY, U("下一封 ▶"));
  m_position = new wxStaticText(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE);
  m_btnPrevRow = new wxButton(this, wxID_ANY, U("◀ 上一行"));
  m_btnNextRow = new wxButton(this, wxID_ANY, U("下一行 ▶"));
  steps->Add(m_btnPrevMail, 0, wxALIGN_CENTRE_VERTICAL);
  steps->Add(m_btnNextMail, 0, wxALIGN_CENTRE_VERTICAL | wxLEFT, kGap);
  steps->Add(m_position, 1, wxALIGN_CENTRE_VERTICAL | wxLEFT | wxRIGHT, kGap);
  steps->Add(m_btnPrevRow, 0, wxALIGN_CENTRE_VERTICAL);
  steps->Add(m_btnNextRow, 0, wxALIGN_CENTRE_VERTICAL | wxLEFT, kGap);
  top->Add(steps, 0, wxEXPAND | wxALL, kGap * 2);

  // The header lines.
  auto* fields = new wxFlexGridSizer(2, kGap, kGap * 2);
  fields->AddGrowableCol(1);
  auto field = [&](const char* title) {
    fields->Add(new wxStaticText(this, wxID_ANY, U(title)), 0, wxALIGN_RIGHT);
    auto* value = new wxStaticText(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                   wxST_ELLIPSIZE_END | wxST_NO_AUTORESIZE);
    fields->Add(value, 1, wxEXPAND);
    return value;
  };
  m_file = field("邮件文件:");
  m_from = field("发件人:");
  m_to = field("收件人:");
  m_subject = field("主题:");
  m_size = field("大小:");
  top->Add(fields, 0, wxEXPAND | wxLEFT | wxRIGHT, kGap * 2);

  // The HTML as the reader sees it, and the text part.
  m_parts = new wxNotebook(this, wxID_ANY, wxDefaultPosition, wxSize(-1, FromDIP(kPartsH)));
  m_html = new CPreviewView(m_parts, wxID_ANY);
  m_text = new wxTextCtrl(m_parts, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                          wxTE_MULTILINE | wxTE_READONLY | wxTE_DONTWRAP | wxHSCROLL);
  m_parts->AddPage(m_html, U("网页 (HTML)"));
  m_parts->AddPage(m_text, U("纯文本"));
  top->Add(m_parts, 1, wxEXPAND | wxALL, kGap * 2);

  top->Add(new wxStaticText(this, wxID_ANY, U("附件:")), 0, wxLEFT | wxRIGHT, kGap * 2);
  m_attachments = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxSize(-1, FromDIP(kListH)),
                                 wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_SUNKEN);
  m_attachments->InsertColumn(0, U("文件"));
  m_attachments->InsertColumn(1, U("大小"), wxLIST_FORMAT_RIGHT, FromDIP(kSizeColumnW));
  // The name takes what the size leaves of the list's width.
  m_attachments->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    event.Skip();
    const int rest = m_attachments->GetClientSize().x - m_attachments->GetColumnWidth(1);
    if (rest > 0) m_attachments->SetColumnWidth(0, rest);
  });
  top->Add(m_attachments, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, kGap * 2);

  top->Add(new wxStaticText(this, wxID_ANY, U("提示:")), 0, wxLEFT | wxRIGHT, kGap * 2);
  m_warnings = new wxListBox(this, wxID_ANY, wxDefaultPosition, wxSize(-1, FromDIP(kListH)));
  top->Add(m_warnings, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, kGap * 2);

  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  m_btnTestSend = new wxButton(this, wxID_ANY, U("发送测试邮件"));
  m_btnClose = new wxButton(this, wxID_CANCEL, U("关闭"));
  buttons->Add(m_btnTestSend);
  buttons->AddStretchSpacer();
  buttons->Add(m_btnClose);
  top->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, kGap * 2);
  SetSizer(top);
  SetEscapeId(wxID_CANCEL);

  m_btnPrevMail->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowMessage(m_nMail - 1, m_nRow); });
  m_btnNextMail->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowMessage(m_nMail + 1, m_nRow); });
  m_btnPrevRow->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowMessage(m_nMail, m_nRow - 1); });
  m_btnNextRow->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowMessage(m_nMail, m_nRow + 1); });
  m_btnTestSend->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    if (m_onTestSend) m_onTestSend(m_nMail, m_nRow);
  });
  // A test send in progress keeps the dialog open: its waits dispatch input.
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& event) {
    if (m_bSending && event.CanVeto()) {
      event.Veto();
      return;
    }
    event.Skip();
  });
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
    if (m_bSending && event.GetKeyCode() == WXK_ESCAPE) return;
    event.Skip();
  });
}

void CPreviewDialog::ShowMessage(int mail, int row) {
  m_nMail = std::clamp(mail, 0, std::max(m_preview.MailCount() - 1, 0));
  m_nRow = std::clamp(row, 0, std::max(m_preview.RowCount() - 1, 0));
  const wxString mailAt = wxString::Format(U("邮件 %d / %d"), m_nMail + 1, m_preview.MailCount());
  m_position->SetLabel(m_preview.RowCount() == 0
                           ? mailAt + U(" · 没有收件人")
                           : mailAt + wxString::Format(U(" · 第 %d / %d 行"), m_nRow + 1,
                                                       m_preview.RowCount()));

  PreviewPage page;
  const bool made = m_preview.Make(m_nMail, m_nRow, page);
  SetField(m_file, FromCodePage(page.m_strMailFile));
  SetField(m_from, FromCodePage(page.m_strFrom));
  SetField(m_to, FromCodePage(page.m_strTo));
  SetField(m_subject, FromCodePage(page.m_strSubject));
  SetField(m_size, made ? SizeText(page.m_nMessageSize) : wxString());
  m_text->ChangeValue(FromCodePage(page.m_strText));
  if (!page.m_strHtml.empty()) {
    m_html->ShowMail(FromCodePage(page.m_strHtml),
                     page.m_htmlFolder.empty()
                         ? wxString()
                         : FromCodePage(platform::PathToCodePage(page.m_htmlFolder)));
    m_parts->ChangeSelection(0);
  } else {
    m_html->SetPage("<html><body><p>" + U("这封邮件是纯文本, 没有网页部分。") +
                    "</p></body></html>");
    m_parts->ChangeSelection(1);
  }

  m_attachments->DeleteAllItems();
  for (const message::AttachmentInfo& attachment : page.m_attachments) {
    const long item = m_attachments->InsertItem(m_attachments->GetItemCount(),
                                                FromCodePage(attachment.m_strName));
    m_attachments->SetItem(item, 1, SizeText(attachment.m_nSize));
  }
  m_warnings->Clear();
  for (const wxString& problem : m_runProblems) m_warnings->Append(U("发送会停止: ") + problem);
  for (const std::string& warning : page.m_warnings) m_warnings->Append(FromCodePage(warning));
  if (m_warnings->IsEmpty()) m_warnings->Append(U("没有发现问题。"));
  m_bMade = made;
  m_btnTestSend->Enable(made && !m_bSending);
  UpdateArrows();
  Layout();
}

void CPreviewDialog::SetRunProblems(const std::vector<wxString>& problems) {
  m_runProblems = problems;
  ShowMessage(m_nMail, m_nRow);
}

void CPreviewDialog::UpdateArrows() {
  const bool idle = !m_bSending;
  m_btnPrevMail->Enable(idle && m_nMail > 0);
  m_btnNextMail->Enable(idle && m_nMail + 1 < m_preview.MailCount());
  m_btnPrevRow->Enable(idle && m_nRow > 0);
  m_btnNextRow->Enable(idle && m_nRow + 1 < m_preview.RowCount());
}

void CPreviewDialog::SetSending(bool sending) {
  m_bSending = sending;
  m_btnTestSend->SetLabel(sending ? U("正在发送...") : U("发送测试邮件"));
  m_btnTestSend->Enable(!sending && m_bMade);
  m_btnClose->Enable(!sending);
  UpdateArrows();
}
