// The mail source page: the mail folder, the address list file, the subject
// of every mail and the pace of a run (每分钟最多发送, 0 for no limit). Shown
// for both 目录设置 and 邮件设置.
#pragma once

#include <wx/panel.h>

#include "settings/mail_source.h"

class wxButton;
class wxCommandEvent;
class wxSpinCtrl;
class wxTextCtrl;

class CSourcePage : public wxPanel, public CMailSource {
 public:
  CSourcePage() = default;
  bool Create(wxWindow* parent, wxWindowID id = wxID_ANY);

  // Reads section "maildir" into the fields and shows them.
  void LoadSettings();
  // Takes the controls into the fields and writes section "maildir".
  void SaveSettings();
  void ControlsToFields();
  void FieldsToControls();

  // The "..." beside the mail folder: a folder browser.
  void OnBrowseMailDir(wxCommandEvent& event);
  // The "..." beside the address list (never shown): a file-open dialog.
  void OnBrowseAddressFile(wxCommandEvent& event);

  wxButton* m_btnBrowseAddress = nullptr;  // 1006, hidden
  wxButton* m_btnBrowseDir = nullptr;      // 1004
  wxTextCtrl* m_editMailDir = nullptr;     // 1003
  wxTextCtrl* m_editAddress = nullptr;     // 1005
  wxTextCtrl* m_editSubject = nullptr;     // 1007
  wxSpinCtrl* m_spinRate = nullptr;        // 1008: messages a minute
};

// The largest pace the page takes, in messages a minute.
inline constexpr int kMaxRatePerMinute = 100000;
