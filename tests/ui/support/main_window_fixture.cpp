#include "ui/support/main_window_fixture.h"

#include <filesystem>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/dirdlg.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "settings/profile_file.h"

namespace uitest {

int CDialogRecorder::Enter(wxDialog* dialog) {
  // The main window itself runs modally for real.
  if (dynamic_cast<CMailerDlg*>(dialog)) return wxID_NONE;
  CShownDialog shown;
  if (auto* box = dynamic_cast<wxMessageDialogBase*>(dialog)) {
    shown.m_strClass = "message";
    shown.m_strCaption = box->GetCaption();
    shown.m_strText = box->GetMessage();
    shown.m_style = box->GetMessageDialogStyle();
    for (wxWindow* child : box->GetChildren()) {
      if (auto* button = dynamic_cast<wxButton*>(child)) shown.m_buttons.push_back(button->GetLabel());
      if (auto* picture = dynamic_cast<wxStaticBitmap*>(child)) {
        shown.m_bIcon = shown.m_bIcon || picture->GetBitmap().IsOk();
      }
    }
    m_shown.push_back(shown);
    if (m_onShown) m_onShown(shown);
    return m_answer ? m_answer(shown) : wxID_OK;
  }
  shown.m_strClass = wxString::FromUTF8(typeid(*dialog).name());
  shown.m_strCaption = dialog->GetTitle();
  if (auto* dirs = dynamic_cast<wxDirDialog*>(dialog)) {
    shown.m_strText = dirs->GetMessage();
    shown.m_strPath = dirs->GetPath();
  }
  m_shown.push_back(shown);
  if (m_onShown) m_onShown(shown);
  return m_showForReal && m_showForReal(dialog) ? wxID_NONE : wxID_CANCEL;
}

void TypeInto(wxTextCtrl* edit, const std::string& text) {
  edit->SetFocus();
  EXPECT_TRUE(WaitUntil([edit] { return wxWindow::FindFocus() == edit; }));
  edit->SelectAll();
  wxUIActionSimulator sim;
  sim.Text(text.c_str());
  EXPECT_TRUE(WaitUntil([&] { return edit->GetValue() == wxString(text); }))
      << "typed " << text << ", the edit holds " << edit->GetValue().utf8_string();
}

CMainWindowTest::CMainWindowTest() {
  std::filesystem::create_directory(m_dir.Path() / "ini");
  m_recorder.Register();
}

CMainWindowTest::~CMainWindowTest() {
  platform::SetTestClock({});
  if (m_dlg) {
    m_dlg->Destroy();
    DispatchPending();
  }
  m_recorder.Unregister();
}

void CMainWindowTest::WriteSettings(const std::string& utf8Text) {
  m_dir.WriteFile("ini/Stmp.Ini", platform::FromUtf8(utf8Text));
}

void CMainWindowTest::WriteRunInputs() {
  m_dir.WriteFile("mail/one.txt", "Hello\r\n");
  m_dir.WriteFile("address.txt", "\r\nto@example.com\r\n");
  m_dir.WriteFile("运行报告.txt", "");
}

void CMainWindowTest::SetClock(int day, int hour, int minute, int second) {
  platform::SetTestClock([=] {
    platform::UtcTime t;
    t.year = 2003;
    t.month = 11;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
  });
}

void CMainWindowTest::Open() {
  if (m_dlg) return;
  m_dlg = new CMailerDlg(m_opener, m_nSmtpPort, m_pRunClock != nullptr ? *m_pRunClock : RealRunClock());
  ASSERT_TRUE(m_dlg->Create(nullptr));
  ShowAndWait(m_dlg);
}

void CMainWindowTest::Choose(const char* utf8Label) {
  wxTreeCtrl* tree = m_dlg->m_tree;
  wxString label = wxString::FromUTF8(utf8Label);
  // Depth-first search over the (small) tree, opening folded branches.
  std::vector<wxTreeItemId> todo{tree->GetRootItem()};
  wxTreeItemId found;
  while (!todo.empty() && !found.IsOk()) {
    wxTreeItemId item = todo.back();
    todo.pop_back();
    if (tree->GetItemText(item) == label) {
      found = item;
      break;
    }
    wxTreeItemIdValue cookie;
    for (wxTreeItemId c = tree->GetFirstChild(item, cookie); c.IsOk();
         c = tree->GetNextChild(item, cookie)) {
      todo.push_back(c);
    }
  }
  ASSERT_TRUE(found.IsOk()) << utf8Label;
  if (wxTreeItemId parent = tree->GetItemParent(found); parent.IsOk()) tree->Expand(parent);
  DispatchPending();
  wxRect rect;
  ASSERT_TRUE(tree->GetBoundingRect(found, rect, true));
  ClickAt(tree->ClientToScreen(wxPoint(rect.x + rect.width / 2, rect.y + rect.height / 2)));
  ASSERT_TRUE(tree->GetSelection() == found) << "the click did not select " << utf8Label;
}

std::string CMainWindowTest::Setting(const char* section, const char* key) {
  CProfileFile profile;
  profile.SetPath(kSettingsPath);
  std::string value;
  profile.ReadString(section, key, value);
  return platform::ToUtf8(value);
}

std::string CMainWindowTest::SettingsBytes() const { return m_dir.ReadFile("ini/Stmp.Ini"); }

std::vector<wxString> CMainWindowTest::Messages() const {
  std::vector<wxString> texts;
  for (const CShownDialog& d : m_recorder.m_shown) {
    if (d.m_strClass == "message") texts.push_back(d.m_strText);
  }
  return texts;
}

}  // namespace uitest
