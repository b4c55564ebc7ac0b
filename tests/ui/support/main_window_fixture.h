// Window tests of the main window: a scratch working directory with an ini/
// folder, the real main window shown on the Xvfb display, message boxes
// recorded instead of shown, and helpers that drive the real controls.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/modalhook.h>
#include <wx/string.h>

#include "support/scripted_smtp_server.h"
#include "support/temp_dir.h"
#include "ui/app/mailer_dlg.h"
#include "ui/support/fake_link_opener.h"
#include "ui/support/window_testing.h"

class wxTextCtrl;
class wxWindow;

namespace uitest {

// One modal dialog that was about to be shown.
struct CShownDialog {
  wxString m_strClass;    // "message" for message boxes, else the dialog's class name
  wxString m_strCaption;  // title or caption
  wxString m_strText;     // the message of a message box or a folder browser
  long m_style = 0;       // message box style
  wxString m_strPath;     // the folder a folder browser starts in
  std::vector<wxString> m_buttons;  // the button labels of a message box
  bool m_bIcon = false;   // whether a message box shows a picture
};

// Answers every modal dialog but the main window at once (OK for message
// boxes, Cancel for other dialogs) and records it.
class CDialogRecorder : public wxModalDialogHook {
 public:
  std::vector<CShownDialog> m_shown;
  // Runs while a recorded dialog stands for being on screen.
  std::function<void(const CShownDialog&)> m_onShown;
  // The answer to a message box (wxID_YES, wxID_NO, ...) when set; wxID_OK
  // otherwise.
  std::function<int(const CShownDialog&)> m_answer;
  // Dialogs (not message boxes) for which this returns true are recorded and
  // then shown for real, for the test to work them.
  std::function<bool(wxDialog*)> m_showForReal;

 protected:
  int Enter(wxDialog* dialog) override;
  void Exit(wxDialog*) override {}
};

// Focuses an edit, selects its text and types `text` (ASCII) over it.
void TypeInto(wxTextCtrl* edit, const std::string& text);

class CMainWindowTest : public ::testing::Test {
 protected:
  CMainWindowTest();
  ~CMainWindowTest() override;

  // Writes the settings file before the window is opened.
  void WriteSettings(const std::string& utf8Text);
  // A mail folder "mail" with one file, the address list "address.txt" with
  // one address, and an empty report file: what a run needs besides settings.
  void WriteRunInputs();
  // Sets the UTC clock (November 2003) until the end of the test.
  void SetClock(int day, int hour, int minute, int second = 0);
  // Opens the main window (once), shows it and lets it settle.
  void Open();
  // Chooses the tree item with this label by clicking it.
  void Choose(const char* utf8Label);
  // A value of the settings file (UTF-8), "" when absent.
  std::string Setting(const char* section, const char* key);
  // The settings file's bytes, "" when it is missing.
  std::string SettingsBytes() const;
  // Message box texts recorded so far.
  std::vector<wxString> Messages() const;

  testsupport::CTempDir m_dir;
  testsupport::CWorkingDirGuard m_cwd{m_dir.Path()};
  CDialogRecorder m_recorder;
  CFakeLinkOpener m_opener;
  // The port the window's runs connect to, when set before Open.
  unsigned int m_nSmtpPort = 0;
  // The clock the window's runs wait by, when set before Open.
  CRunClock* m_pRunClock = nullptr;
  CMailerDlg* m_dlg = nullptr;
};

}  // namespace uitest
