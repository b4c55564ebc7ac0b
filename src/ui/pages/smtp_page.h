// The SMTP account page: server, sender address, login and whether the server
// wants AUTH LOGIN. Its controls are what a run sends with, even before the
// page is left and stored.
#pragma once

#include <wx/panel.h>

#include "settings/smtp_account.h"

class wxCheckBox;
class wxTextCtrl;

class CSmtpPage : public wxPanel, public CSmtpAccount {
 public:
  CSmtpPage() = default;
  bool Create(wxWindow* parent, wxWindowID id = wxID_ANY);

  // Reads section "smtp" into the fields and shows them.
  void LoadSettings();
  // Takes the controls into the fields and writes section "smtp".
  void SaveSettings();
  // Fields from controls, in the order mail, name, password, server, auth.
  void ControlsToFields();
  void FieldsToControls();

  wxTextCtrl* m_editServer = nullptr;    // 1001
  wxTextCtrl* m_editMail = nullptr;      // 1002
  wxTextCtrl* m_editName = nullptr;      // 1003
  wxTextCtrl* m_editPassword = nullptr;  // 1004
  wxCheckBox* m_checkAuth = nullptr;     // 1015
};
