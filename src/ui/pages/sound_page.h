// The sound page: whether runs play cues, and the three wave names (typed in:
// the "..." buttons beside them are never shown).
#pragma once

#include <string>

#include <wx/panel.h>

#include "settings/sound_settings.h"

class wxButton;
class wxCheckBox;
class wxCommandEvent;
class wxTextCtrl;

class CSoundPage : public wxPanel, public CSoundSettings {
 public:
  CSoundPage() = default;
  bool Create(wxWindow* parent, wxWindowID id = wxID_ANY);

  // Reads section "sound" into the fields and shows them. The edits keep
  // their enabled state.
  void LoadSettings();
  // Takes the controls into the fields and writes section "sound".
  void SaveSettings();
  // Fields from controls in the order begin, ok, err, play.
  void ControlsToFields();
  void FieldsToControls();

  // Check box 1016: takes the controls in and enables the three edits when
  // cues are on, disables them when off.
  void OnPlayCheck(wxCommandEvent& event);
  void OnBrowseBegin(wxCommandEvent& event);
  void OnBrowseOk(wxCommandEvent& event);
  void OnBrowseErr(wxCommandEvent& event);

  wxTextCtrl* m_editBegin = nullptr;  // 1005
  wxTextCtrl* m_editOk = nullptr;     // 1007
  wxTextCtrl* m_editErr = nullptr;    // 1009
  wxCheckBox* m_checkPlay = nullptr;  // 1016

 private:
  // A file-open dialog for waves; on OK the path goes into `field` and `edit`.
  void BrowseWave(std::string& field, wxTextCtrl* edit);
};
