#include "ui/pages/smtp_page.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/spinctrl.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/common/message_box.h"
#include "ui/common/page_colour.h"
#include "ui/common/template_font.h"
#include "ui/common/text.h"

namespace {

// Label column right-aligned up to x = 66 dialog units, edits from 70; the
// whole page fits the main window's pane (about 195 units wide).
constexpr int kLabelX = 4;
constexpr int kLabelW = 62;
constexpr int kEditX = 70;
constexpr int kEditW = 116;
constexpr int kEditH = 13;
constexpr int kBrowseW = 34;
constexpr int kMaxPort = 65535;
constexpr int kPlainEhlo = 3;  // the security mode without encryption that says EHLO
// The rows, top to bottom, in dialog units: edits 18 apart, the drop-down
// list and the spin controls (taller on GTK) 19 or 20 apart.
constexpr int kServerY = 12;
constexpr int kMailY = 30;
constexpr int kNameY = 48;
constexpr int kPasswordY = 66;
constexpr int kRuleY = 83;
constexpr int kAuthY = 88;
constexpr int kSecurityY = 101;
constexpr int kPortY = 121;
constexpr int kCaFileY = 141;
constexpr int kReuseY = 156;
constexpr int kConnectionsY = 175;

}  // namespace

bool CSmtpPage::Create(wxWindow* parent, wxWindowID id) {
  if (!wxPanel::Create(parent, id, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL)) {
    return false;
  }
  ApplyTemplateFont(this);
  UseDialogColour(this);
  auto at = [this](int x, int y) { return wxDLG_UNIT(this, wxPoint(x, y)); };
  auto size = [this](int w, int h) { return wxDLG_UNIT(this, wxSize(w, h)); };
  // A drop-down list and a spin control are drawn larger than an edit on
  // GTK: they take their own height (the spin control its own size too), or
  // their text and buttons are cut off.
  auto width = [this](int w) { return wxSize(wxDLG_UNIT(this, wxSize(w, 0)).x, wxDefaultCoord); };
  auto label = [&](const char* text, int y, int h) {
    new wxStaticText(this, wxID_ANY, wxString::FromUTF8(text), at(kLabelX, y), size(kLabelW, h),
                     wxALIGN_RIGHT | wxST_NO_AUTORESIZE);
  };
  auto edit = [&](wxWindowID editId, int y, long style) {
    return new wxTextCtrl(this, editId, wxEmptyString, at(kEditX, y), size(kEditW, kEditH),
                          style);
  };

  label("邮件发送服务器\n(SMTP):", kServerY - 4, 20);
  m_editServer = edit(1001, kServerY, 0);
  label("电子邮件地址:", kMailY + 2, 10);
  m_editMail = edit(1002, kMailY, 0);
  label("用户名:", kNameY + 2, 10);
  m_editName = edit(1003, kNameY, 0);
  label("密码:", kPasswordY + 2, 10);
  m_editPassword = edit(1004, kPasswordY, wxTE_PASSWORD);
  new wxStaticLine(this, wxID_ANY, at(kLabelX, kRuleY), size(kEditX + kEditW - kLabelX, 1));
  m_checkAuth = new wxCheckBox(this, 1015, wxString::FromUTF8("我的发送服务器(SMTP)需要验证"),
                               at(kLabelX + 16, kAuthY), wxDefaultSize);
  label("安全连接:", kSecurityY + 4, 10);
  m_choiceSecurity = new wxChoice(this, 1016, at(kEditX, kSecurityY), width(kEditW));
  for (const char* mode : {"无", "STARTTLS", "SSL/TLS", "无加密 (本机或内网转发)"}) {
    m_choiceSecurity->Append(wxString::FromUTF8(mode));
  }
  m_choiceSecurity->SetSelection(0);
  label("端口:", kPortY + 4, 10);
  m_spinPort = new wxSpinCtrl(this, 1017, wxEmptyString, at(kEditX, kPortY), wxDefaultSize,
                              wxSP_ARROW_KEYS, 1, kMaxPort, 25);
  // On Windows the native up-down control, joined to its edit while that is
  // still empty, moves itself left of the edit, and the control then takes
  // its left edge as its position, over the label: put it back in place.
  m_spinPort->Move(at(kEditX, kPortY));
  label("证书文件:", kCaFileY + 2, 10);
  m_editCaFile = new wxTextCtrl(this, 1018, wxEmptyString, at(kEditX, kCaFileY),
                                size(kEditW - kBrowseW - 2, kEditH));
  m_buttonBrowse = new wxButton(this, 1019, wxString::FromUTF8("浏览..."),
                                at(kEditX + kEditW - kBrowseW, kCaFileY), size(kBrowseW, kEditH));
  label("每个连接发送:", kReuseY + 4, 10);
  m_spinReuse = new wxSpinCtrl(this, 1020, wxEmptyString, at(kEditX, kReuseY), wxDefaultSize,
                               wxSP_ARROW_KEYS, 1, CSmtpAccount::kMaxReuse,
                               CSmtpAccount::kDefaultReuse);
  m_spinReuse->Move(at(kEditX, kReuseY));  // as the port spin, on Windows
  new wxStaticText(this, wxID_ANY, wxString::FromUTF8("封"),
                   wxPoint(m_spinReuse->GetRect().GetRight() + wxDLG_UNIT(this, wxSize(3, 0)).x,
                           at(0, kReuseY + 4).y));
  label("同时连接数:", kConnectionsY + 4, 10);
  m_spinConnections = new wxSpinCtrl(this, 1021, wxEmptyString, at(kEditX, kConnectionsY),
                                     wxDefaultSize, wxSP_ARROW_KEYS, 1,
                                     CSmtpAccount::kMaxConnections, 1);
  m_spinConnections->Move(at(kEditX, kConnectionsY));
  m_choiceSecurity->Bind(wxEVT_CHOICE, &CSmtpPage::OnSecurityChosen, this);
  m_checkAuth->Bind(wxEVT_CHECKBOX, &CSmtpPage::OnAuthClicked, this);
  m_buttonBrowse->Bind(wxEVT_BUTTON, &CSmtpPage::OnBrowse, this);
  return true;
}

void CSmtpPage::OnSecurityChosen(wxCommandEvent&) {
  const int chosen = m_choiceSecurity->GetSelection();
  if (chosen == wxNOT_FOUND) return;
  if (m_spinPort->GetValue() == static_cast<int>(DefaultSmtpPort(m_nShownSecurity))) {
    m_spinPort->SetValue(static_cast<int>(DefaultSmtpPort(chosen)));
  }
  m_nShownSecurity = chosen;
  EnableReuse();
  if (chosen == kPlainEhlo && m_checkAuth->GetValue()) WarnOfPlainLogin();
}

void CSmtpPage::EnableReuse() {
  const bool carries = std::max(m_choiceSecurity->GetSelection(), 0) != 0;
  m_spinReuse->Enable(carries);
  m_spinConnections->Enable(carries);
}

void CSmtpPage::OnAuthClicked(wxCommandEvent&) {
  if (m_checkAuth->GetValue() && m_choiceSecurity->GetSelection() == kPlainEhlo) WarnOfPlainLogin();
}

void CSmtpPage::WarnOfPlainLogin() {
  if (m_bPlainLoginWarned) return;
  m_bPlainLoginWarned = true;
  AppMessageBox(wxString::FromUTF8("“无加密”方式下，用户名和密码以明文经过网络。\n"
                                   "只有当邮件服务器就是本机（或在可信的内网中）时才应这样登录。"),
                wxOK | wxICON_EXCLAMATION, this);
}

void CSmtpPage::OnBrowse(wxCommandEvent&) {
  wxFileDialog dialog(this, wxString::FromUTF8("选择证书文件"), wxEmptyString,
                      m_editCaFile->GetValue(),
                      wxString::FromUTF8("证书文件 (*.pem;*.crt)|*.pem;*.crt|所有文件|*"),
                      wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  if (dialog.ShowModal() == wxID_OK) m_editCaFile->ChangeValue(dialog.GetPath());
}

void CSmtpPage::LoadSettings() {
  ReadSettings();
  FieldsToControls();
}

void CSmtpPage::SaveSettings() {
  ControlsToFields();
  WriteSettings();
}

void CSmtpPage::ControlsToFields() {
  m_strMail = ToCodePage(m_editMail->GetValue());
  m_strName = ToCodePage(m_editName->GetValue());
  m_strPassword = ToCodePage(m_editPassword->GetValue());
  m_strServer = ToCodePage(m_editServer->GetValue());
  m_bAuth = m_checkAuth->GetValue() ? 1 : 0;
  m_nPort = m_spinPort->GetValue();
  m_nSecurity = std::max(m_choiceSecurity->GetSelection(), 0);
  m_strCaFile = ToCodePage(m_editCaFile->GetValue());
  m_nReuse = m_spinReuse->GetValue();
  m_nConnections = m_spinConnections->GetValue();
}

void CSmtpPage::FieldsToControls() {
  m_editMail->ChangeValue(FromCodePage(m_strMail));
  m_editName->ChangeValue(FromCodePage(m_strName));
  m_editPassword->ChangeValue(FromCodePage(m_strPassword));
  m_editServer->ChangeValue(FromCodePage(m_strServer));
  m_checkAuth->SetValue(m_bAuth != 0);
  m_nShownSecurity = Security();
  m_choiceSecurity->SetSelection(m_nShownSecurity);
  m_spinPort->SetValue(static_cast<int>(Port()));
  m_editCaFile->ChangeValue(FromCodePage(m_strCaFile));
  // What the account carries in modes 1-3, shown in mode 0 too (greyed).
  CSmtpAccount shown = *this;
  if (shown.Security() == 0) shown.m_nSecurity = 1;
  m_spinReuse->SetValue(shown.MessagesPerConnection());
  m_spinConnections->SetValue(shown.Connections());
  EnableReuse();
}
