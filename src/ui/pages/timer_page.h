// The timer page: the daily send time (hour and minute, 24-hour clock) and the
// switch of the daily schedule. Its fields are the live schedule settings.
#pragma once

#include <wx/panel.h>

#include "settings/timer_settings.h"

class wxCheckBox;
class wxCommandEvent;
class wxSpinButton;
class wxSpinEvent;
class wxTextCtrl;

// What the page's check box switches: the main window's schedule.
class CScheduleSwitch {
 public:
  virtual ~CScheduleSwitch() = default;
  virtual void ArmSchedule() = 0;
  virtual void DisarmSchedule() = 0;
  // The page's hour or minute may have changed: what shows them follows.
  virtual void ScheduledTimeChanged() = 0;
};

class CTimerPage : public wxPanel, public CTimerSettings {
 public:
  CTimerPage() = default;
  bool Create(wxWindow* parent, CScheduleSwitch* schedule, wxWindowID id = wxID_ANY);

  // Reads section "timer" into the fields (as stored, unchecked) and shows them.
  void LoadSettings();
  // Takes the controls in (validation messages included) and writes the
  // fields as they then stand, whatever the validation said.
  void SaveSettings();
  // Minute (0-59), then hour (0-23), then the check box; stops at the first
  // edit that fails, after its message, with that edit focused and selected.
  bool ControlsToFields();
  void FieldsToControls();

  // Check box 1019: toggles the flag, arms or disarms the schedule, takes
  // the controls in and stores the flag alone.
  void OnTimerCheck(wxCommandEvent& event);

  wxSpinButton* m_spinMinute = nullptr;  // 1008
  wxSpinButton* m_spinHour = nullptr;    // 1007
  wxTextCtrl* m_editHour = nullptr;      // 1005
  wxTextCtrl* m_editMinute = nullptr;    // 1006
  wxCheckBox* m_checkTimer = nullptr;    // 1019

 private:
  // One edit into `value`; false after the message when it is no integer or
  // out of [low, high] (an out-of-range integer is still stored).
  bool TakeInt(wxTextCtrl* edit, int low, int high, int& value);
  // The spin button follows its edit and writes into it, as a buddy does;
  // Up and Down in the edit step it, and it takes no Tab stop of its own.
  void BindBuddy(wxSpinButton* spin, wxTextCtrl* edit);

  CScheduleSwitch* m_pSchedule = nullptr;
};

// Parses an integer the way the edits accept it: blanks around one optionally
// signed decimal number that fits an int. False for anything else.
bool ParseEditInt(const wxString& text, int& value);
