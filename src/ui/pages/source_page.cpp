#include "ui/pages/source_page.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/spinctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/common/template_font.h"
#include "ui/common/text.h"

namespace {

// One framed row: a group box with an edit and, at its right, a "..." button.
constexpr int kGroupX = 8;
constexpr int kGroupW = 172;
constexpr int kGroupH = 38;
constexpr int kEditX = 16;
constexpr int kEditW = 128;
constexpr int kEditH = 13;
constexpr int kButtonX = 148;
constexpr int kButtonW = 24;
// Rows top to bottom: address list, mail folder, subject.
constexpr int kAddressY = 8;
constexpr int kFolderY = 56;
constexpr int kSubjectY = 104;
constexpr int kEditDy = 16;
// The pace row under the groups: a label, the up/down field, its unit.
constexpr int kRateY = 148;
constexpr int kRateLabelH = 10;
constexpr int kRateSpinX = 70;
constexpr int kRateSpinW = 60;

}  // namespace

bool CSourcePage::Create(wxWindow* parent, wxWindowID id) {
  if (!wxPanel::Create(parent, id, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL)) {
    return false;
  }
  ApplyTemplateFont(this);
  auto at = [this](int x, int y) { return wxDLG_UNIT(this, wxPoint(x, y)); };
  auto size = [this](int w, int h) { return wxDLG_UNIT(this, wxSize(w, h)); };
  auto group = [&](const char* text, int y) {
    new wxStaticBox(this, wxID_ANY, wxString::FromUTF8(text), at(kGroupX, y),
                    size(kGroupW, kGroupH));
  };
  auto edit = [&](wxWindowID editId, int y, int w) {
    return new wxTextCtrl(this, editId, wxEmptyString, at(kEditX, y + kEditDy), size(w, kEditH));
  };
  auto button = [&](wxWindowID buttonId, int y) {
    wxPoint pos = at(kButtonX, y + kEditDy);
    wxSize sz = size(kButtonW, kEditH);
    // GTK buttons are taller than an edit: centre it on the edit's row.
    auto* b = new wxButton(this, buttonId, "...", pos, sz, wxBU_EXACTFIT);
    wxSize best = b->GetBestSize();
    if (best.y > sz.y) {
      b->SetSize(pos.x, pos.y - (best.y - sz.y) / 2, sz.x, best.y);
    }
    return b;
  };

  // Created in keyboard order: folder row, address row, subject row.
  group("邮件保存目录:", kFolderY);
  m_editMailDir = edit(1003, kFolderY, kEditW);
  m_btnBrowseDir = button(1004, kFolderY);
  group("邮件地址文件:", kAddressY);
  m_editAddress = edit(1005, kAddressY, kEditW);
  m_btnBrowseAddress = button(1006, kAddressY);
  m_btnBrowseAddress->Hide();
  group("邮件标题:", kSubjectY);
  m_editSubject = edit(1007, kSubjectY, kGroupW - 2 * (kEditX - kGroupX));
  new wxStaticText(this, wxID_ANY, wxString::FromUTF8("每分钟最多发送:"), at(kGroupX, kRateY + 2),
                   size(kRateSpinX - kGroupX, kRateLabelH));
  m_spinRate = new wxSpinCtrl(this, 1008, wxEmptyString, at(kRateSpinX, kRateY),
                              wxSize(-1, -1), wxSP_ARROW_KEYS, 0, kMaxRatePerMinute, 0);
  const wxPoint unitAt = m_spinRate->GetPosition() +
                         wxPoint(std::max(m_spinRate->GetSize().x, size(kRateSpinW, 0).x) + 4, 0);
  new wxStaticText(this, wxID_ANY, wxString::FromUTF8("封 (0 为不限)"),
                   wxPoint(unitAt.x, at(0, kRateY + 2).y));

  m_btnBrowseDir->Bind(wxEVT_BUTTON, &CSourcePage::OnBrowseMailDir, this);
  m_btnBrowseAddress->Bind(wxEVT_BUTTON, &CSourcePage::OnBrowseAddressFile, this);
  return true;
}

void CSourcePage::LoadSettings() {
  ReadSettings();
  FieldsToControls();
}

void CSourcePage::SaveSettings() {
  ControlsToFields();
  WriteSettings();
}

void CSourcePage::ControlsToFields() {
  m_strMailDir = ToCodePage(m_editMailDir->GetValue());
  m_strAddressFile = ToCodePage(m_editAddress->GetValue());
  m_strSubject = ToCodePage(m_editSubject->GetValue());
  m_nRate = m_spinRate->GetValue();
}

void CSourcePage::FieldsToControls() {
  m_editMailDir->ChangeValue(FromCodePage(m_strMailDir));
  m_editAddress->ChangeValue(FromCodePage(m_strAddressFile));
  m_editSubject->ChangeValue(FromCodePage(m_strSubject));
  m_spinRate->SetValue(std::clamp<int>(m_nRate, 0, kMaxRatePerMinute));
}

// Only the edit the dialog fills changes: text typed into the other edits
// stays. Cancelling leaves the folder as it was.
void CSourcePage::OnBrowseMailDir(wxCommandEvent&) {
  wxDirDialog dialog(nullptr, wxString::FromUTF8("请选择一个文件夹:"), wxEmptyString,
                     wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK) return;
  m_strMailDir = ToCodePage(dialog.GetPath());
  m_editMailDir->ChangeValue(FromCodePage(m_strMailDir));
}

void CSourcePage::OnBrowseAddressFile(wxCommandEvent&) {
  wxFileDialog dialog(nullptr, wxFileSelectorPromptStr, wxEmptyString, wxEmptyString,
                      wxString::FromUTF8("邮件地址文件(*.txt)|*.txt|All Files(*.*)|*.*"),
                      wxFD_OPEN);
  if (dialog.ShowModal() != wxID_OK) return;
  m_strAddressFile = ToCodePage(dialog.GetPath());
  m_editAddress->ChangeValue(FromCodePage(m_strAddressFile));
}
