// The SMTP account page: server, sender address, login, whether the server
// wants a login, the port, the security mode, a file of extra certificate
// authorities, how many messages one connection carries and how many
// connections a run keeps busy (modes 1-3). Its controls are what a run sends
// with, even before the page is left and stored.
#pragma once

#include <wx/panel.h>

#include "settings/smtp_account.h"

class wxButton;
class wxCheckBox;
class wxChoice;
class wxCommandEvent;
class wxSpinCtrl;
class wxTextCtrl;

class CSmtpPage : public wxPanel, public CSmtpAccount {
 public:
  CSmtpPage() = default;
  bool Create(wxWindow* parent, wxWindowID id = wxID_ANY);

  // Reads section "smtp" into the fields and shows them.
  void LoadSettings();
  // Takes the controls into the fields and writes section "smtp".
  void SaveSettings();
  // Fields from controls, in the order mail, name, password, server, auth,
  // port, security, certificate file, messages per connection, connections.
  void ControlsToFields();
  void FieldsToControls();

  wxTextCtrl* m_editServer = nullptr;    // 1001
  wxTextCtrl* m_editMail = nullptr;      // 1002
  wxTextCtrl* m_editName = nullptr;      // 1003
  wxTextCtrl* m_editPassword = nullptr;  // 1004
  wxCheckBox* m_checkAuth = nullptr;     // 1015
  wxChoice* m_choiceSecurity = nullptr;  // 1016: 无 / STARTTLS / SSL/TLS / 无加密 (本机或内网转发)
  wxSpinCtrl* m_spinPort = nullptr;      // 1017
  wxTextCtrl* m_editCaFile = nullptr;    // 1018
  wxButton* m_buttonBrowse = nullptr;    // 1019
  wxSpinCtrl* m_spinReuse = nullptr;     // 1020: 每个连接发送, enabled in modes 1-3
  wxSpinCtrl* m_spinConnections = nullptr;  // 1021: 同时连接数, enabled in modes 1-3

 private:
  // A new mode moves the port to its default when the port shows the old
  // mode's default.
  void OnSecurityChosen(wxCommandEvent& event);
  void OnAuthClicked(wxCommandEvent& event);
  void OnBrowse(wxCommandEvent& event);
  // The plain EHLO mode with login on: warns once per run that the password
  // crosses the network unencrypted.
  void WarnOfPlainLogin();
  // The messages-per-connection and connections spins work in modes 1-3 only.
  void EnableReuse();

  int m_nShownSecurity = 0;  // the mode the port follows
  bool m_bPlainLoginWarned = false;
};
