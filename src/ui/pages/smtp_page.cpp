#include "ui/pages/smtp_page.h"

#include <wx/checkbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

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

}  // namespace

bool CSmtpPage::Create(wxWindow* parent, wxWindowID id) {
  if (!wxPanel::Create(parent, id, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL)) {
    return false;
  }
  ApplyTemplateFont(this);
  UseDialogColour(this);
  auto at = [this](int x, int y) { return wxDLG_UNIT(this, wxPoint(x, y)); };
  auto size = [this](int w, int h) { return wxDLG_UNIT(this, wxSize(w, h)); };
  auto label = [&](const char* text, int y, int h) {
    new wxStaticText(this, wxID_ANY, wxString::FromUTF8(text), at(kLabelX, y), size(kLabelW, h),
                     wxALIGN_RIGHT | wxST_NO_AUTORESIZE);
  };
  auto edit = [&](wxWindowID editId, int y, long style) {
    return new wxTextCtrl(this, editId, wxEmptyString, at(kEditX, y), size(kEditW, kEditH),
                          style);
  };

  label("邮件发送服务器\n(SMTP):", 16, 20);
  m_editServer = edit(1001, 20, 0);
  label("电子邮件地址:", 48, 10);
  m_editMail = edit(1002, 46, 0);
  label("用户名:", 74, 10);
  m_editName = edit(1003, 72, 0);
  label("密码:", 100, 10);
  m_editPassword = edit(1004, 98, wxTE_PASSWORD);
  new wxStaticLine(this, wxID_ANY, at(kLabelX, 124), size(kEditX + kEditW - kLabelX, 1));
  m_checkAuth = new wxCheckBox(this, 1015, wxString::FromUTF8("我的发送服务器(SMTP)需要验证"),
                               at(kLabelX + 16, 134), wxDefaultSize);
  return true;
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
}

void CSmtpPage::FieldsToControls() {
  m_editMail->ChangeValue(FromCodePage(m_strMail));
  m_editName->ChangeValue(FromCodePage(m_strName));
  m_editPassword->ChangeValue(FromCodePage(m_strPassword));
  m_editServer->ChangeValue(FromCodePage(m_strServer));
  m_checkAuth->SetValue(m_bAuth != 0);
}
