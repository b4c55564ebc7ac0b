#include "ui/pages/timer_page.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <utility>

#include <wx/checkbox.h>
#include <wx/spinbutt.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "settings/profile_file.h"
#include "ui/common/message_box.h"
#include "ui/common/page_colour.h"
#include "ui/controls/group_box.h"
#include "ui/common/template_font.h"

bool ParseEditInt(const wxString& text, int& value) {
  std::string bytes = text.utf8_string();
  const char* p = bytes.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  char* end = nullptr;
  errno = 0;
  long parsed = std::strtol(p, &end, 10);
  if (end == p || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return false;
  value = static_cast<int>(parsed);
  return true;
}

bool CTimerPage::Create(wxWindow* parent, CScheduleSwitch* schedule, wxWindowID id) {
  if (!wxPanel::Create(parent, id, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL)) {
    return false;
  }
  m_pSchedule = schedule;
  ApplyTemplateFont(this);
  UseDialogColour(this);
  auto at = [this](int x, int y) { return wxDLG_UNIT(this, wxPoint(x, y)); };
  auto size = [this](int w, int h) { return wxDLG_UNIT(this, wxSize(w, h)); };

  // The group box goes first so that it stays behind the edits; the spin
  // buttons are far wider on GTK than the edits' neighbours on the template,
  // so the frame is widened to hold them.
  CGroupBox group(this, wxString::FromUTF8("设置定时时间(24h)"),
                  wxRect(at(17, 16), size(130, 64)));
  m_editHour = new wxTextCtrl(this, 1005, wxEmptyString, at(68, 35), size(40, 12));
  m_spinHour = new wxSpinButton(this, 1007, at(110, 34), wxDefaultSize,
                                wxSP_VERTICAL | wxSP_ARROW_KEYS);
  m_editMinute = new wxTextCtrl(this, 1006, wxEmptyString, at(68, 55), size(40, 12));
  m_spinMinute = new wxSpinButton(this, 1008, at(110, 54), wxDefaultSize,
                                  wxSP_VERTICAL | wxSP_ARROW_KEYS);
  new wxStaticText(this, wxID_ANY, wxString::FromUTF8("小时:"), at(43, 37), wxDefaultSize);
  new wxStaticText(this, wxID_ANY, wxString::FromUTF8("分钟:"), at(43, 58), wxDefaultSize);

  // Rows are 20 units apart; a GTK spin button can be taller than that.
  int spinRight = m_spinHour->GetRect().GetRight();
  if (spinRight + 8 > group.Rect().GetRight()) group.SetRight(spinRight + 8);
  wxRect frame = group.Rect();
  new wxStaticLine(this, wxID_ANY, wxPoint(frame.x, at(17, 94).y),
                   wxSize(frame.width, 1));
  m_checkTimer = new wxCheckBox(this, 1019, wxString::FromUTF8("设置为定时发送邮件"),
                                at(18, 100), wxDefaultSize);

  // Centre each spin button on its edit's row.
  for (auto [spin, edit] : {std::pair{m_spinHour, m_editHour}, {m_spinMinute, m_editMinute}}) {
    wxRect e = edit->GetRect();
    wxSize s = spin->GetSize();
    spin->Move(spin->GetPosition().x, e.y + (e.height - s.y) / 2);
  }

  FieldsToControls();
  m_spinHour->SetRange(0, 23);
  m_spinMinute->SetRange(0, 59);
  BindBuddy(m_spinHour, m_editHour);
  BindBuddy(m_spinMinute, m_editMinute);
  m_checkTimer->Bind(wxEVT_CHECKBOX, &CTimerPage::OnTimerCheck, this);
  return true;
}

void CTimerPage::BindBuddy(wxSpinButton* spin, wxTextCtrl* edit) {
  edit->Bind(wxEVT_TEXT, [spin, edit](wxCommandEvent& event) {
    int value = 0;
    if (ParseEditInt(edit->GetValue(), value)) {
      spin->SetValue(std::clamp(value, spin->GetMin(), spin->GetMax()));
    }
    event.Skip();
  });
  spin->Bind(wxEVT_SPIN, [edit](wxSpinEvent& event) {
    edit->ChangeValue(wxString::Format("%d", event.GetPosition()));
  });
  // Up and Down in the edit step the value as the arrows do, from the number
  // typed (kept in range) or, when there is none, from the spin button's.
  edit->Bind(wxEVT_KEY_DOWN, [spin, edit](wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    int step = 0;
    if (key == WXK_UP || key == WXK_NUMPAD_UP) step = 1;
    if (key == WXK_DOWN || key == WXK_NUMPAD_DOWN) step = -1;
    if (step == 0 || event.HasAnyModifiers()) {
      event.Skip();
      return;
    }
    int value = spin->GetValue();
    if (int typed = 0; ParseEditInt(edit->GetValue(), typed)) value = typed;
    value = std::clamp(value + step, spin->GetMin(), spin->GetMax());
    spin->SetValue(value);
    edit->ChangeValue(wxString::Format("%d", value));
    edit->SetInsertionPointEnd();
  });
  // The keyboard reaches the value through the edit; Tab passes the arrows.
  spin->DisableFocusFromKeyboard();
}

void CTimerPage::LoadSettings() {
  ReadSettings();
  FieldsToControls();
}

void CTimerPage::SaveSettings() {
  ControlsToFields();
  WriteSettings();
}

bool CTimerPage::TakeInt(wxTextCtrl* edit, int low, int high, int& value) {
  int parsed = 0;
  bool ok = ParseEditInt(edit->GetValue(), parsed);
  if (!ok) {
    AppMessageBox(wxString::FromUTF8("请键入一个整数。"), wxOK | wxICON_EXCLAMATION, this);
  } else {
    value = parsed;
    ok = parsed >= low && parsed <= high;
    if (!ok) {
      wxString text = wxString::FromUTF8("“请填入一个在%1和%2之间的整数。”");
      text.Replace("%1", wxString::Format("%d", low));
      text.Replace("%2", wxString::Format("%d", high));
      AppMessageBox(text, wxOK | wxICON_EXCLAMATION, this);
    }
  }
  if (!ok) {
    edit->SetFocus();
    edit->SelectAll();
  }
  return ok;
}

bool CTimerPage::ControlsToFields() {
  if (!TakeInt(m_editMinute, 0, 59, m_nMinute)) return false;
  if (!TakeInt(m_editHour, 0, 23, m_nHour)) return false;
  m_bTimer = m_checkTimer->GetValue() ? 1 : 0;
  return true;
}

void CTimerPage::FieldsToControls() {
  m_editMinute->ChangeValue(wxString::Format("%d", m_nMinute));
  m_editHour->ChangeValue(wxString::Format("%d", m_nHour));
  m_spinMinute->SetValue(std::clamp(m_nMinute, 0, 59));
  m_spinHour->SetValue(std::clamp(m_nHour, 0, 23));
  m_checkTimer->SetValue(m_bTimer != 0);
}

void CTimerPage::OnTimerCheck(wxCommandEvent&) {
  m_bTimer = m_bTimer ? 0 : 1;
  if (m_pSchedule) {
    if (m_bTimer) {
      m_pSchedule->ArmSchedule();
    } else {
      m_pSchedule->DisarmSchedule();
    }
  }
  // The click takes the edits in; the strip shows the time now armed for,
  // not the one before (no repaint of the window need follow the click).
  ControlsToFields();
  if (m_pSchedule) m_pSchedule->ScheduledTimeChanged();
  CProfileFile profile;
  profile.SetPath(kSettingsPath);
  profile.WriteBool("timer", "timer", m_bTimer);
}
