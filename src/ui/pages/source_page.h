// The mail source page: the mail folder, the address list file, the subject
// of every mail, the pace of a run (每分钟最多发送, 0 for no limit), what a
// failure does (出错时), how long temporary failures are tried again
// (重试时限), the file of addresses never sent to (排除名单), whether the
// mail is commercial (商业广告邮件) and where a recipient unsubscribes
// (退订网址). 预览 and 发送测试邮件 hand the page's values, as they stand, to
// the window (m_onPreview, m_onTestSend). Shown for both 目录设置 and 邮件设置.
#pragma once

#include <functional>

#include <wx/panel.h>

#include "settings/mail_source.h"

class wxButton;
class wxCheckBox;
class wxChoice;
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

  // The "..." beside the mail folder: a folder browser, opened in
  // BrowseStartFolder.
  void OnBrowseMailDir(wxCommandEvent& event);
  // The typed mail folder as an absolute path when it exists, else the
  // working directory.
  wxString BrowseStartFolder() const;
  // The "..." beside the address list (never shown): a file-open dialog.
  void OnBrowseAddressFile(wxCommandEvent& event);
  // 浏览... beside the exclusion list: a file-open dialog in the working
  // directory; a file under it is taken relative to it.
  void OnBrowseExcludeFile(wxCommandEvent& event);
  static wxString RelativeToStartDir(const wxString& path);

  wxButton* m_btnBrowseAddress = nullptr;  // 1006, hidden
  wxButton* m_btnBrowseDir = nullptr;      // 1004
  wxTextCtrl* m_editMailDir = nullptr;     // 1003
  wxTextCtrl* m_editAddress = nullptr;     // 1005
  wxTextCtrl* m_editSubject = nullptr;     // 1007
  wxSpinCtrl* m_spinRate = nullptr;        // 1008: messages a minute
  wxChoice* m_choiceOnError = nullptr;     // 1009: 停止发送 / 跳过并记录, 继续发送
  wxSpinCtrl* m_spinRetry = nullptr;       // 1010: minutes
  wxTextCtrl* m_editExclude = nullptr;     // 1011
  wxButton* m_btnBrowseExclude = nullptr;  // 1012: 浏览...
  wxCheckBox* m_checkAdvert = nullptr;     // 1013: 商业广告邮件
  wxTextCtrl* m_editUnsubscribe = nullptr; // 1014: 退订网址
  wxButton* m_btnPreview = nullptr;        // 1015: 预览
  wxButton* m_btnTestSend = nullptr;       // 1016: 发送测试邮件

  // What 预览 and 发送测试邮件 do (the main window's), when set.
  std::function<void()> m_onPreview;
  std::function<void()> m_onTestSend;
};

// The largest pace the page takes, in messages a minute.
inline constexpr int kMaxRatePerMinute = 100000;
