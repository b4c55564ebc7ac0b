#include "ui/pages/source_page.h"

#include <algorithm>
#include <utility>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/spinctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/common/page_colour.h"
#include "ui/controls/group_box.h"
#include "ui/common/template_font.h"
#include "ui/common/text.h"

namespace {

// The page's right edge: the pane's width less the margin the left has.
constexpr int kPageRight = 222;
// Framed rows: a group box with an edit and, at its right, a "..." button.
// Right of the frames stands a column with 预览, 发送测试邮件 and 商业广告邮件,
// one beside each frame.
constexpr int kGroupX = 8;
constexpr int kGroupH = 28;
constexpr int kEditX = 16;
constexpr int kEditH = 13;
constexpr int kButtonW = 24;
constexpr int kColumnMinW = 56;
constexpr int kColumnGap = 6;
// Rows top to bottom: address list, mail folder, subject.
constexpr int kAddressY = 4;
constexpr int kFolderY = 34;
constexpr int kSubjectY = 64;
constexpr int kEditDy = 12;
// The rows under the groups: a label at the left, its control at kFieldX.
// Pace, what a failure does, the retry time, the exclusion list, the
// unsubscribe address.
constexpr int kRateY = 96;
constexpr int kOnErrorY = 115;
constexpr int kRetryY = 134;
constexpr int kExcludeY = 153;
constexpr int kUnsubscribeY = 172;
constexpr int kRowLabelH = 10;
constexpr int kLabelDy = 2;
constexpr int kFieldX = 70;
constexpr int kSpinW = 60;
constexpr int kUnitGap = 4;
// The largest retry time the page takes, in minutes (a week).
constexpr int kMaxRetryMinutes = 7 * 24 * 60;

// Puts `window` at its best height (at least `minHeight`), centred on the
// row that starts at `top` and is `rowHeight` high.
void CentreOnRow(wxWindow* window, int x, int top, int rowHeight, int width, int minHeight) {
  const int height = std::max(window->GetBestSize().y, minHeight);
  window->SetSize(x, top + (rowHeight - height) / 2, width, height);
}

}  // namespace

bool CSourcePage::Create(wxWindow* parent, wxWindowID id) {
  if (!wxPanel::Create(parent, id, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL)) {
    return false;
  }
  ApplyTemplateFont(this);
  UseDialogColour(this);
  auto at = [this](int x, int y) { return wxDLG_UNIT(this, wxPoint(x, y)); };
  auto size = [this](int w, int h) { return wxDLG_UNIT(this, wxSize(w, h)); };
  const int right = at(kPageRight, 0).x;
  const int editH = size(0, kEditH).y;

  // The column right of the frames is as wide as its widest control needs.
  m_btnPreview = new wxButton(this, 1015, wxString::FromUTF8("预览"));
  m_btnTestSend = new wxButton(this, 1016, wxString::FromUTF8("发送测试邮件"));
  m_checkAdvert = new wxCheckBox(this, 1013, wxString::FromUTF8("商业广告邮件"));
  int columnW = size(kColumnMinW, 0).x;
  for (wxWindow* w : {static_cast<wxWindow*>(m_btnPreview), static_cast<wxWindow*>(m_btnTestSend),
                      static_cast<wxWindow*>(m_checkAdvert)}) {
    columnW = std::max(columnW, w->GetBestSize().x);
  }
  const int columnX = right - columnW;
  const int groupRight = columnX - size(kColumnGap, 0).x;
  auto editTop = [&](int groupY) { return at(0, groupY + kEditDy).y; };
  CentreOnRow(m_btnPreview, columnX, editTop(kAddressY), editH, columnW, 0);
  CentreOnRow(m_btnTestSend, columnX, editTop(kFolderY), editH, columnW, 0);
  CentreOnRow(m_checkAdvert, columnX, editTop(kSubjectY), editH, columnW, 0);

  const int groupX = at(kGroupX, 0).x;
  const int editX = at(kEditX, 0).x;
  const int inner = editX - groupX;
  auto group = [&](const char* text, int y) {
    CGroupBox(this, wxString::FromUTF8(text),
              wxRect(wxPoint(groupX, at(0, y).y), wxSize(groupRight - groupX, size(0, kGroupH).y)));
  };
  const int buttonW = size(kButtonW, 0).x;
  const int gap = size(kUnitGap, 0).x;
  const int buttonX = groupRight - inner - buttonW;
  auto edit = [&](wxWindowID editId, int y, int editRight) {
    return new wxTextCtrl(this, editId, wxEmptyString, wxPoint(editX, editTop(y)),
                          wxSize(editRight - editX, editH));
  };
  auto button = [&](wxWindowID buttonId, int y) {
    // GTK buttons are taller than an edit: centred on the edit's row.
    auto* b = new wxButton(this, buttonId, "...", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT);
    CentreOnRow(b, buttonX, editTop(y), editH, buttonW, editH);
    return b;
  };

  // Created in keyboard order: folder row, address row, subject row.
  group("邮件保存目录:", kFolderY);
  m_editMailDir = edit(1003, kFolderY, buttonX - gap);
  m_btnBrowseDir = button(1004, kFolderY);
  group("邮件地址文件:", kAddressY);
  m_editAddress = edit(1005, kAddressY, buttonX - gap);
  m_btnBrowseAddress = button(1006, kAddressY);
  m_btnBrowseAddress->Hide();
  group("邮件标题:", kSubjectY);
  m_editSubject = edit(1007, kSubjectY, groupRight - inner);
  m_checkAdvert->MoveAfterInTabOrder(m_editSubject);
  // The labels first: the fields start right of the widest of them, and no
  // further left than the template has them.
  int fieldX = at(kFieldX, 0).x;
  const std::pair<const char*, int> labels[] = {{"每分钟最多发送:", kRateY}, {"出错时:", kOnErrorY},
                                                {"重试时限:", kRetryY},     {"排除名单:", kExcludeY},
                                                {"退订网址:", kUnsubscribeY}};
  for (const auto& [text, y] : labels) {
    auto* label = new wxStaticText(this, wxID_ANY, wxString::FromUTF8(text), at(kGroupX, y + kLabelDy),
                                   size(kFieldX - kGroupX, kRowLabelH));
    const wxSize best = label->GetBestSize();
    if (best.x > label->GetSize().x) label->SetSize(best.x, -1);
    fieldX = std::max(fieldX, label->GetPosition().x + best.x + kUnitGap);
  }
  auto fieldAt = [&](int y) { return wxPoint(fieldX, at(0, y).y); };
  // An up/down field of at least the template's width, its unit after it.
  auto spin = [&](wxWindowID spinId, int y, int max, const char* unit) {
    auto* field = new wxSpinCtrl(this, spinId, wxEmptyString, fieldAt(y), wxSize(-1, -1),
                                 wxSP_ARROW_KEYS, 0, max, 0);
    // wxMSW creates the control left of the position asked for; moved, it
    // stands there, in line with the other fields.
    if (field->GetPosition() != fieldAt(y)) field->Move(fieldAt(y));
    const wxPoint unitAt =
        field->GetPosition() + wxPoint(std::max(field->GetSize().x, size(kSpinW, 0).x) + kUnitGap, 0);
    new wxStaticText(this, wxID_ANY, wxString::FromUTF8(unit), wxPoint(unitAt.x, at(0, y + kLabelDy).y));
    return field;
  };
  m_spinRate = spin(1008, kRateY, kMaxRatePerMinute, "封 (0 为不限)");
  const wxString onErrorChoices[] = {wxString::FromUTF8("停止发送"),
                                     wxString::FromUTF8("跳过并记录, 继续发送")};
  m_choiceOnError = new wxChoice(this, 1009, fieldAt(kOnErrorY), wxDefaultSize, 2, onErrorChoices);
  m_spinRetry = spin(1010, kRetryY, kMaxRetryMinutes, "分钟 (0 为不重试)");
  // The button keeps its best size at the rows' right edge; the edit fills
  // the room left of it.
  m_btnBrowseExclude = new wxButton(this, 1012, wxString::FromUTF8("浏览..."), wxDefaultPosition,
                                    wxDefaultSize, wxBU_EXACTFIT);
  const wxSize buttonBest = m_btnBrowseExclude->GetBestSize();
  const wxPoint rowAt = fieldAt(kExcludeY);
  m_btnBrowseExclude->SetSize(right - buttonBest.x, rowAt.y + (editH - buttonBest.y) / 2,
                              buttonBest.x, buttonBest.y);
  m_editExclude = new wxTextCtrl(this, 1011, wxEmptyString, rowAt,
                                 wxSize(right - buttonBest.x - kUnitGap - rowAt.x, editH));
  m_btnBrowseExclude->MoveAfterInTabOrder(m_editExclude);
  const wxPoint unsubscribeAt = fieldAt(kUnsubscribeY);
  m_editUnsubscribe = new wxTextCtrl(this, 1014, wxEmptyString, unsubscribeAt,
                                     wxSize(right - unsubscribeAt.x, editH));
  m_editUnsubscribe->SetHint("https://");
  m_editUnsubscribe->SetToolTip(
      wxString::FromUTF8("收件人退订的网址, 可含字段, 如 https://example.com/退订?邮箱={{邮箱}}"));
  // The column comes last in the keyboard order, after every value.
  m_btnPreview->MoveAfterInTabOrder(m_editUnsubscribe);
  m_btnTestSend->MoveAfterInTabOrder(m_btnPreview);

  m_btnBrowseDir->Bind(wxEVT_BUTTON, &CSourcePage::OnBrowseMailDir, this);
  m_btnBrowseAddress->Bind(wxEVT_BUTTON, &CSourcePage::OnBrowseAddressFile, this);
  m_btnBrowseExclude->Bind(wxEVT_BUTTON, &CSourcePage::OnBrowseExcludeFile, this);
  m_btnPreview->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    if (m_onPreview) m_onPreview();
  });
  m_btnTestSend->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    if (m_onTestSend) m_onTestSend();
  });
  return true;
}

void CSourcePage::LoadSettings() {
  ReadSettings();
  FieldsToControls();
}

void CSourcePage::SaveSettings() {
  ControlsToFields();
  WriteSettings();
}

void CSourcePage::ControlsToFields() {
  m_strMailDir = ToCodePage(m_editMailDir->GetValue());
  m_strAddressFile = ToCodePage(m_editAddress->GetValue());
  m_strSubject = ToCodePage(m_editSubject->GetValue());
  m_nRate = m_spinRate->GetValue();
  m_nOnError = m_choiceOnError->GetSelection() == 1 ? OnErrorKeepGoing : OnErrorStop;
  m_nRetryMinutes = m_spinRetry->GetValue();
  m_strExcludeFile = ToCodePage(m_editExclude->GetValue());
  m_strUnsubscribe = ToCodePage(m_editUnsubscribe->GetValue().Strip(wxString::both));
  m_bAdvert = m_checkAdvert->GetValue() ? 1 : 0;
}

void CSourcePage::FieldsToControls() {
  m_editMailDir->ChangeValue(FromCodePage(m_strMailDir));
  m_editAddress->ChangeValue(FromCodePage(m_strAddressFile));
  m_editSubject->ChangeValue(FromCodePage(m_strSubject));
  m_spinRate->SetValue(std::clamp<int>(m_nRate, 0, kMaxRatePerMinute));
  m_choiceOnError->SetSelection(KeepGoing() ? 1 : 0);
  m_spinRetry->SetValue(std::clamp<int>(m_nRetryMinutes, 0, kMaxRetryMinutes));
  m_editExclude->ChangeValue(FromCodePage(m_strExcludeFile));
  m_editUnsubscribe->ChangeValue(FromCodePage(m_strUnsubscribe));
  m_checkAdvert->SetValue(m_bAdvert != 0);
}

// Only the edit the dialog fills changes: text typed into the other edits
// stays. Cancelling leaves the folder as it was.
// The browser opens in the folder typed in the edit (relative to the working
// directory) when it exists, else in the working directory, the program's
// start directory.
wxString CSourcePage::BrowseStartFolder() const {
  wxFileName typed = wxFileName::DirName(m_editMailDir->GetValue().Strip(wxString::both));
  if (!m_editMailDir->GetValue().Strip(wxString::both).empty()) {
    typed.MakeAbsolute();
    if (typed.DirExists()) return typed.GetPath();
  }
  return wxGetCwd();
}

void CSourcePage::OnBrowseMailDir(wxCommandEvent&) {
  wxDirDialog dialog(nullptr, wxString::FromUTF8("请选择一个文件夹:"), BrowseStartFolder(),
                     wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK) return;
  m_strMailDir = ToCodePage(dialog.GetPath());
  m_editMailDir->ChangeValue(FromCodePage(m_strMailDir));
}

void CSourcePage::OnBrowseAddressFile(wxCommandEvent&) {
  wxFileDialog dialog(nullptr, wxFileSelectorPromptStr, wxEmptyString, wxEmptyString,
                      wxString::FromUTF8("邮件地址文件(*.txt)|*.txt|All Files(*.*)|*.*"),
                      wxFD_OPEN);
  if (dialog.ShowModal() != wxID_OK) return;
  m_strAddressFile = ToCodePage(dialog.GetPath());
  m_editAddress->ChangeValue(FromCodePage(m_strAddressFile));
}

void CSourcePage::OnBrowseExcludeFile(wxCommandEvent&) {
  wxFileDialog dialog(nullptr, wxString::FromUTF8("请选择排除名单:"), wxGetCwd(), wxEmptyString,
                      wxString::FromUTF8("排除名单(*.txt)|*.txt|All Files(*.*)|*.*"),
                      wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK) return;
  m_editExclude->ChangeValue(RelativeToStartDir(dialog.GetPath()));
}

// Settings name files relative to the start directory; one chosen under it
// is stored that way, so the folder can move as a whole.
wxString CSourcePage::RelativeToStartDir(const wxString& path) {
  wxFileName name(path);
  const wxString start = wxGetCwd() + wxFILE_SEP_PATH;
  if (!name.GetFullPath().StartsWith(start)) return path;
  name.MakeRelativeTo(wxGetCwd());
  return name.GetFullPath();
}
