#include "ui/pages/sound_page.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/filedlg.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/common/page_colour.h"
#include "ui/controls/group_box.h"
#include "ui/common/template_font.h"
#include "ui/common/text.h"

namespace {

constexpr int kGroupX = 8;
constexpr int kGroupY = 6;
constexpr int kGroupW = 176;
constexpr int kGroupH = 150;
constexpr int kInnerX = 18;
constexpr int kEditW = 130;
constexpr int kEditH = 13;
constexpr int kButtonW = 20;
constexpr int kFirstRowY = 36;  // label of the first wave
constexpr int kRowDy = 38;      // from one wave's label to the next
constexpr int kEditDy = 11;     // from a label to its edit

}  // namespace

bool CSoundPage::Create(wxWindow* parent, wxWindowID id) {
  if (!wxPanel::Create(parent, id, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL)) {
    return false;
  }
  ApplyTemplateFont(this);
  UseDialogColour(this);
  auto at = [this](int x, int y) { return wxDLG_UNIT(this, wxPoint(x, y)); };
  auto size = [this](int w, int h) { return wxDLG_UNIT(this, wxSize(w, h)); };

  CGroupBox(this, wxEmptyString, wxRect(at(kGroupX, kGroupY), size(kGroupW, kGroupH)));
  m_checkPlay = new wxCheckBox(this, 1016, wxString::FromUTF8("需要声音提示"),
                               at(kInnerX, kGroupY + 12), wxDefaultSize);
  auto row = [&](int index, const char* text, wxWindowID editId) {
    int y = kFirstRowY + index * kRowDy;
    new wxStaticText(this, wxID_ANY, wxString::FromUTF8(text), at(kInnerX, y), wxDefaultSize);
    auto* edit = new wxTextCtrl(this, editId, wxEmptyString, at(kInnerX, y + kEditDy),
                                size(kEditW, kEditH));
    auto* browse = new wxButton(this, editId + 1, "...", at(kInnerX + kEditW + 4, y + kEditDy),
                                size(kButtonW, kEditH), wxBU_EXACTFIT);
    browse->Hide();
    return std::pair(edit, browse);
  };
  auto [begin, beginButton] = row(0, "准备发送", 1005);
  auto [ok, okButton] = row(1, "发送成功", 1007);
  auto [err, errButton] = row(2, "发送错误", 1009);
  m_editBegin = begin;
  m_editOk = ok;
  m_editErr = err;

  m_checkPlay->Bind(wxEVT_CHECKBOX, &CSoundPage::OnPlayCheck, this);
  beginButton->Bind(wxEVT_BUTTON, &CSoundPage::OnBrowseBegin, this);
  okButton->Bind(wxEVT_BUTTON, &CSoundPage::OnBrowseOk, this);
  errButton->Bind(wxEVT_BUTTON, &CSoundPage::OnBrowseErr, this);
  return true;
}

void CSoundPage::LoadSettings() {
  ReadSettings();
  FieldsToControls();
}

void CSoundPage::SaveSettings() {
  ControlsToFields();
  WriteSettings();
}

void CSoundPage::ControlsToFields() {
  m_strBeginWave = ToCodePage(m_editBegin->GetValue());
  m_strOkWave = ToCodePage(m_editOk->GetValue());
  m_strErrWave = ToCodePage(m_editErr->GetValue());
  m_bPlay = m_checkPlay->GetValue() ? 1 : 0;
}

void CSoundPage::FieldsToControls() {
  m_editBegin->ChangeValue(FromCodePage(m_strBeginWave));
  m_editOk->ChangeValue(FromCodePage(m_strOkWave));
  m_editErr->ChangeValue(FromCodePage(m_strErrWave));
  m_checkPlay->SetValue(m_bPlay != 0);
}

void CSoundPage::OnPlayCheck(wxCommandEvent&) {
  ControlsToFields();
  bool enable = m_bPlay != 0;
  m_editBegin->Enable(enable);
  m_editOk->Enable(enable);
  m_editErr->Enable(enable);
}

void CSoundPage::OnBrowseBegin(wxCommandEvent&) { BrowseWave(m_strBeginWave, m_editBegin); }
void CSoundPage::OnBrowseOk(wxCommandEvent&) { BrowseWave(m_strOkWave, m_editOk); }
void CSoundPage::OnBrowseErr(wxCommandEvent&) { BrowseWave(m_strErrWave, m_editErr); }

void CSoundPage::BrowseWave(std::string& field, wxTextCtrl* edit) {
  wxFileDialog dialog(nullptr, wxFileSelectorPromptStr, wxEmptyString, wxEmptyString,
                      "Wave File(*.wav)|*.wav|All Files(*.*)|*.*", wxFD_OPEN);
  if (dialog.ShowModal() != wxID_OK) return;
  field = ToCodePage(dialog.GetPath());
  edit->ChangeValue(FromCodePage(field));
}
