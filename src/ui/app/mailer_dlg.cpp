#include "ui/app/mailer_dlg.h"

#include <cstdint>
#include <initializer_list>

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/gauge.h>
#include <wx/menu.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>

#include "dispatch/run_journal.h"
#include "platform/dirs.h"
#include "settings/profile_file.h"
#include "ui/app/about_box.h"
#include "ui/app/app_icon.h"
#include "ui/app/mailer_app.h"
#include "ui/app/run_strip.h"
#include "ui/app/show_message.h"
#include "ui/app/system_menu.h"
#include "ui/controls/bitmap_static.h"
#include "ui/controls/link_label.h"
#include "ui/common/message_box.h"
#include "ui/common/template_font.h"
#include "ui/pages/banner_page.h"
#include "ui/pages/help_page.h"
#include "ui/pages/report_page.h"
#include "ui/pages/smtp_page.h"
#include "ui/pages/sound_page.h"
#include "ui/pages/source_page.h"
#include "ui/pages/timer_page.h"
#include "ui/pages/version_page.h"

namespace {

const wxColour kBackground(172, 168, 153);
const wxColour kClockText(185, 0, 0);
constexpr int kClockFontSize = 14;
constexpr int kAlarmClockBitmap = 148;
constexpr int kBlankClockBitmap = 149;
// The pictures are 26 x 34 pixels; their control is at least that large.
const wxSize kClockPictureSize(26, 34);

wxString SendNowLabel() { return wxString::FromUTF8("立即发送邮件"); }
wxString StopLabel() { return wxString::FromUTF8("停止发送"); }

}  // namespace

wxFont MainTemplateFont() {
  wxFont font = TemplateFont();
  font.SetPointSize(9);
  return font;
}

int PageCodeOfLabel(const wxString& label) {
  for (int i = 0; i < 7; ++i) {
    if (label == g_navLabels[i]) return i;
  }
  for (int i = 0; i < 2; ++i) {
    if (label == g_navSubLabels[i]) return 20 + i;
  }
  return -1;
}

bool CMailerDlg::Create(wxWindow* parent) {
  if (!wxDialog::Create(parent, wxID_ANY, "Postwing", wxDefaultPosition, wxDefaultSize,
                        wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX)) {
    return false;
  }
  SetFont(MainTemplateFont());
  SetOwnBackgroundColour(kBackground);
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  SetClientSize(wxDLG_UNIT(this, wxSize(320, 226)));
  CreateControls();

  m_hIcon = AppIcons();
  if (!m_hIcon.IsEmpty()) SetIcons(m_hIcon);
  SetScheduleTitle(0);
  CreatePages();
  m_pSchedule = std::make_unique<CDailySchedule>(*this, *m_pages.m_pTimer,
                                                 [this] { return m_runs.Run(0); });
  FillTree();
  LoadSchedule();
  Centre(wxBOTH);
  m_btnSendNow->SetFocus();

  Bind(wxEVT_PAINT, &CMailerDlg::OnPaint, this);
  Bind(wxEVT_BUTTON, &CMailerDlg::OnSendNow, this, IDC_SEND_NOW);
  Bind(wxEVT_TREE_SEL_CHANGED, &CMailerDlg::OnSelChanged, this, IDC_TREE);
  // The About command is in the system menu; where the toolkit cannot extend
  // that menu, the window's context menu offers it.
  if (!AppendSystemMenuCommand(this, IDM_ABOUTBOX, wxString::FromUTF8("关于 Postwing(&A)..."))) {
    Bind(wxEVT_CONTEXT_MENU, &CMailerDlg::OnContextMenu, this);
  }
  Bind(wxEVT_MENU, &CMailerDlg::OnAbout, this, IDM_ABOUTBOX);
  Bind(wxEVT_CHAR_HOOK, &CMailerDlg::OnCharHook, this);
  Bind(wxEVT_ICONIZE, &CMailerDlg::OnIconize, this);
  Bind(wxEVT_CLOSE_WINDOW, &CMailerDlg::OnClose, this);
  m_runs.m_onRunning = [this](bool running) { ShowRunning(running); };
  m_runs.m_onProgress = [this](const RunProgress& progress) { ShowRunProgress(progress); };
  m_runs.m_onTestSending = [this](bool sending) { ShowTestSending(sending); };
  // Another program can ask for the window too (the tray's show command),
  // where the toolkit lets it.
  AcceptShowWindowMessage(WM_OpenTtask);
  return true;
}

// Created in the keyboard order of the window: the send-now button is the
// first control that takes the focus.
void CMailerDlg::CreateControls() {
  auto at = [this](int x, int y) { return wxDLG_UNIT(this, wxPoint(x, y)); };
  auto size = [this](int w, int h) { return wxDLG_UNIT(this, wxSize(w, h)); };

  wxSize pictureSize = size(20, 20);
  pictureSize.IncTo(kClockPictureSize);
  m_clockPicture = new CBitmapStatic;
  m_clockPicture->Create(this, IDC_CLOCK_PICTURE, at(10, 198), pictureSize);

  // The bold 14-pixel time is taller than the template's 8 units: the label
  // grows around the template's centre line.
  m_clockLabel = new CLinkLabel;
  wxSize labelSize = size(30, 8);
  labelSize.IncTo(wxSize(48, 20));
  wxPoint labelPos = at(34, 207);
  labelPos.y -= (labelSize.y - size(30, 8).y) / 2;
  m_clockLabel->Create(this, IDC_CLOCK_LABEL, "Static", labelPos, labelSize);

  m_pageBottom = new wxWindow(this, IDC_PAGE_BOTTOM, at(20, 195), size(300, 30));
  m_pageBottom->Hide();

  m_btnSendNow = new wxButton(this, IDC_SEND_NOW, wxString::FromUTF8("立即发送邮件"),
                              at(245, 201), size(60, 19));
  wxSize best = m_btnSendNow->GetBestSize();
  if (best.x > m_btnSendNow->GetSize().x) {
    // Keep the right edge where the template has it.
    wxRect r = m_btnSendNow->GetRect();
    m_btnSendNow->SetSize(r.GetRight() + 1 - best.x, r.y, best.x, r.height);
  }

  m_tree = new wxTreeCtrl(this, IDC_TREE, at(0, 0), size(90, 195),
                          wxTR_SINGLE | wxBORDER_SUNKEN);

  // The run's progress, between the clock and the button, shown during a run.
  m_runText = new wxStaticText(this, wxID_ANY, wxEmptyString, at(92, 199), size(140, 9));
  m_runGauge = new wxGauge(this, wxID_ANY, kRunBarPulseRange, at(92, 210), size(145, 8));
  m_runTextHome = m_runText->GetRect();
  m_runText->Hide();
  m_runGauge->Hide();
}

void CMailerDlg::CreatePages() {
  m_pages.m_pBanner = new CBannerPage(m_opener);
  m_pages.m_pBanner->Create(this);
  m_pages.m_pSmtp = new CSmtpPage;
  m_pages.m_pSmtp->Create(this);
  m_pages.m_pSource = new CSourcePage;
  m_pages.m_pSource->Create(this);
  m_pages.m_pSource->m_onPreview = [this] { m_preview.ShowPreview(); };
  m_pages.m_pSource->m_onTestSend = [this] { m_preview.TestSendFirst(); };
  m_pages.m_pSound = new CSoundPage;
  m_pages.m_pSound->Create(this);
  m_pages.m_pTimer = new CTimerPage;
  m_pages.m_pTimer->Create(this, this);
  m_pages.m_pReport = new CReportPage(m_opener);
  m_pages.m_pReport->Create(this);
  m_pages.m_pReport->m_onRetryFailed = [this] { OnRetryFailed(); };
  m_pages.m_pHelp = new CHelpPage(m_opener);
  m_pages.m_pHelp->Create(this);
  m_pages.m_pVersion = new CVersionPage(m_opener);
  m_pages.m_pVersion->Create(this);

  LeavePage();
  m_pages.m_pSmtp->LoadSettings();
  m_pages.m_pSource->LoadSettings();
  m_pages.m_pSound->LoadSettings();
  m_pages.m_pTimer->LoadSettings();
  ShowPage(PAGE_BANNER);
}

void CMailerDlg::FillTree() {
  m_tree->SetWindowStyle(m_tree->GetWindowStyle() | wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT);
  wxTreeItemId root = m_tree->AddRoot(g_navLabels[0]);
  wxTreeItemId source;
  for (int i = 1; i < 7; ++i) {
    wxTreeItemId item = m_tree->AppendItem(root, g_navLabels[i], 0, 0);
    if (i == PAGE_SOURCE) source = item;
  }
  for (const wxString& label : g_navSubLabels) m_tree->AppendItem(source, label, 0, 0);
  m_tree->Expand(root);
  // The tree marks its root as current when it is added; nothing is chosen yet.
  m_tree->Unselect();
}

void CMailerDlg::OnSelChanged(wxTreeEvent& event) {
  wxTreeItemId item = event.GetItem();
  if (!item.IsOk()) return;
  int page = PageCodeOfLabel(m_tree->GetItemText(item));
  if (page < 0) return;
  m_nSelectedPage = page;
  ShowPage(page);
}

void CMailerDlg::LeavePage() {
  m_pages.m_pBanner->Hide();
  m_pages.m_pSmtp->Hide();
  m_pages.m_pSource->Hide();
  m_pages.m_pSound->Hide();
  m_pages.m_pTimer->Hide();
  m_pages.m_pReport->Hide();
  m_pages.m_pHelp->Hide();
  m_pages.m_pVersion->Hide();
  switch (m_nCurrentPage) {
    case PAGE_SMTP:
      m_pages.m_pSmtp->SaveSettings();
      break;
    case PAGE_SOURCE:
    case PAGE_MAIL:
      m_pages.m_pSource->SaveSettings();
      break;
    case PAGE_TIMER:
      m_pages.m_pTimer->SaveSettings();
      UpdateClockArea(m_pages.m_pTimer->m_bTimer ? 1 : 0);
      break;
    case PAGE_SOUND:
      m_pages.m_pSound->SaveSettings();
      break;
    default:
      break;
  }
  m_nCurrentPage = m_nSelectedPage;
}

wxRect CMailerDlg::PageRect() const {
  wxRect rect;
  rect.SetLeft(m_tree->GetRect().GetRight() + 1);
  rect.SetTop(0);
  rect.SetRight(GetClientSize().x - 1);
  rect.SetBottom(m_pageBottom->GetPosition().y - 1);
  return rect;
}

void CMailerDlg::ShowPage(int page) {
  LeavePage();
  wxRect rect = PageRect();
  auto place = [&rect](wxWindow* window) {
    window->SetSize(rect);
    window->Show();
    window->Refresh();
  };
  switch (page) {
    case PAGE_BANNER:
      place(m_pages.m_pBanner);
      break;
    case PAGE_HELP:
      place(m_pages.m_pHelp);
      break;
    case PAGE_VERSION:
      place(m_pages.m_pVersion);
      break;
    case PAGE_SMTP:
      place(m_pages.m_pSmtp);
      m_pages.m_pSmtp->LoadSettings();
      break;
    case PAGE_SOURCE:
    case PAGE_MAIL:
      place(m_pages.m_pSource);
      m_pages.m_pSource->LoadSettings();
      break;
    case PAGE_TIMER:
      place(m_pages.m_pTimer);
      m_pages.m_pTimer->LoadSettings();
      break;
    case PAGE_SOUND:
      place(m_pages.m_pSound);
      m_pages.m_pSound->LoadSettings();
      break;
    case PAGE_REPORT:
      m_pages.m_pReport->PlacePage(rect);
      m_pages.m_pReport->Show();
      m_pages.m_pReport->LoadReport();
      break;
    default:
      break;
  }
}

void CMailerDlg::UpdateClockArea(int flag) {
  const CTimerPage& timer = *m_pages.m_pTimer;
  m_clockLabel->SetBkColor(kBackground)
      .SetTextColor(kClockText)
      .SetFontBold(true)
      .SetFontSize(kClockFontSize);
  m_clockLabel->SetText(wxString::Format("%02d:%02d", timer.m_nHour, timer.m_nMinute));
  // The label grows to its text, around its centre line, never shrinking.
  const wxSize best = m_clockLabel->GetBestSize();
  wxRect labelRect = m_clockLabel->GetRect();
  if (best.x > labelRect.width || best.y > labelRect.height) {
    const int centreY = labelRect.y + labelRect.height / 2;
    labelRect.width = std::max(labelRect.width, best.x);
    labelRect.height = std::max(labelRect.height, best.y);
    labelRect.y = centreY - labelRect.height / 2;
    m_clockLabel->SetSize(labelRect);
  }
  if (flag == 1) {
    m_clockLabel->Show();
    m_clockPicture->LoadDib(kAlarmClockBitmap);
  } else {
    m_clockLabel->Hide();
    m_clockPicture->LoadDib(kBlankClockBitmap);
  }
  m_clockPicture->Draw();
  m_nShownFlag = flag;
  m_nShownHour = timer.m_nHour;
  m_nShownMinute = timer.m_nMinute;
}

void CMailerDlg::SyncClockArea() {
  const CTimerPage& timer = *m_pages.m_pTimer;
  int flag = timer.m_bTimer ? 1 : 0;
  if (flag != m_nShownFlag || timer.m_nHour != m_nShownHour ||
      timer.m_nMinute != m_nShownMinute) {
    UpdateClockArea(flag);
  }
}

void CMailerDlg::SetScheduleTitle(int flag) {
  SetTitle(wxString::FromUTF8(flag ? "飞鸿信使(已定时)" : "飞鸿信使"));
}

void CMailerDlg::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  dc.SetBackground(wxBrush(kBackground));
  dc.Clear();
  SyncClockArea();
}

void CMailerDlg::LoadSchedule() {
  CTimerPage& timer = *m_pages.m_pTimer;
  CProfileFile profile;
  profile.SetPath(kSettingsPath);
  std::int32_t flag = 0;
  profile.ReadInt("timer", "timer", flag);
  timer.m_bTimer = flag;
  timer.FieldsToControls();
  if (timer.m_bTimer) {
    ArmSchedule();
  } else {
    UpdateClockArea(0);
  }
}

void CMailerDlg::ArmSchedule() {
  m_pSchedule->Arm();
  SetScheduleTitle(1);
  UpdateClockArea(1);
}

void CMailerDlg::DisarmSchedule() {
  m_pSchedule->Disarm();
  SetScheduleTitle(0);
  UpdateClockArea(0);
}

void CMailerDlg::OnSendNow(wxCommandEvent&) {
  if (m_runs.IsRunning()) {
    m_runs.RequestStop();
    return;
  }
  // The run reads the mail source from the settings file, and so does the
  // question.
  CMailSource source;
  source.ReadSettings();
  const ResumePoint point = FindResumePoint(platform::WorkingDirPath(), source);
  const wxString done = wxString::Format("%lld", static_cast<long long>(point.m_nDone));
  bool resume = false;
  if (point.m_state == ResumePoint::Same) {
    const int answer = AppMessageBox(
        wxString::FromUTF8("上次发送在第 ") + done + wxString::FromUTF8(" 封后中断, 是否从中断处继续?"),
        wxYES_NO | wxCANCEL | wxICON_QUESTION, this);
    if (answer == wxCANCEL) return;
    resume = answer == wxYES;
  } else if (point.m_state == ResumePoint::Changed) {
    const int answer = AppMessageBox(
        wxString::FromUTF8("上次发送在第 ") + done +
            wxString::FromUTF8(" 封后中断, 但邮件目录、邮件地址列表或邮件主题已改变, "
                               "只能从第一封重新开始. 是否重新开始?"),
        wxOK | wxCANCEL | wxICON_QUESTION, this);
    if (answer != wxOK) return;
  }
  m_runs.Run(1, resume);
}

void CMailerDlg::OnRetryFailed() {
  if (!m_runs.RunRetryFailed()) return;
  // The run added its line to the report and made a record of its own.
  if (m_pages.m_pReport->IsShown()) m_pages.m_pReport->LoadReport();
}

void CMailerDlg::ShowRunning(bool running) {
  m_btnSendNow->SetLabel(running ? StopLabel() : SendNowLabel());
  // During a run the stop button is the one control that takes input.
  EnablePages(!running);
  m_runText->Show(running);
  m_runGauge->Show(running);
  if (running) {
    m_runText->SetLabel(wxEmptyString);
    m_runGauge->SetValue(0);
    return;
  }
  EndIfAskedToEnd();
}

void CMailerDlg::ShowTestSending(bool sending) {
  EnablePages(!sending);
  m_btnSendNow->Enable(!sending);
  if (!sending) EndIfAskedToEnd();
}

void CMailerDlg::EnablePages(bool enable) {
  m_tree->Enable(enable);
  const CMailerPages& p = m_pages;
  for (wxWindow* page : std::initializer_list<wxWindow*>{p.m_pBanner, p.m_pSmtp, p.m_pSource,
                                                         p.m_pSound, p.m_pTimer, p.m_pReport,
                                                         p.m_pHelp, p.m_pVersion}) {
    if (page != nullptr) page->Enable(enable);
  }
}

void CMailerDlg::EndIfAskedToEnd() {
  if (m_nEndAfterRun != 0) {
    const int result = m_nEndAfterRun;
    m_nEndAfterRun = 0;
    EndDialogWith(result);
  }
}

void CMailerDlg::ShowRunProgress(const RunProgress& progress) {
  const wxString text = RunStripText(progress);
  if (m_runText->GetLabel() != text) {
    m_runText->SetLabel(text);
    FitRunText();
  }
  ShowRunBar(*m_runGauge, progress);
}

void CMailerDlg::FitRunText() {
  const wxWindow* clock = m_clockLabel->IsShown() ? static_cast<wxWindow*>(m_clockLabel)
                                                  : static_cast<wxWindow*>(m_clockPicture);
  FitRunLine(*m_runText, m_runTextHome, clock->GetRect().GetRight() + 1,
             m_btnSendNow->GetRect().x);
}

void CMailerDlg::OnClose(wxCloseEvent& event) {
  if (!m_runs.IsRunning()) {
    event.Skip();
    return;
  }
  if (event.CanVeto()) event.Veto();
  EndDialogWith(wxID_CANCEL);
}

void CMailerDlg::OnIconize(wxIconizeEvent& event) {
  event.Skip();
  if (event.IsIconized()) MinimizeToTray();
}

void CMailerDlg::MinimizeToTray() { m_tray.Minimize(m_hIcon); }

void CMailerDlg::RestoreFromTray() { m_tray.Restore(); }

void CMailerDlg::EndDialogWith(int result) {
  if (m_runs.IsRunning()) {
    m_runs.RequestStop();
    m_nEndAfterRun = result;
    return;
  }
  if (IsModal()) {
    // wxMSW ends the modal loop only by hiding a window it takes to be
    // shown. Hidden in the tray, the window is taken to be shown again (the
    // toolkit's own flag: nothing reaches the screen), or 关闭程序 would
    // leave the program running.
    if (!IsShown()) wxWindowBase::Show(true);
    EndModal(result);
  } else {
    Hide();
  }
}

// Esc is the Cancel command; Enter, unless a push button has the focus (which
// then takes it), is the OK command. Both end the dialog without saving.
void CMailerDlg::OnCharHook(wxKeyEvent& event) {
  int key = event.GetKeyCode();
  if (event.HasAnyModifiers() || (key != WXK_ESCAPE && key != WXK_RETURN &&
                                  key != WXK_NUMPAD_ENTER)) {
    event.Skip();
    return;
  }
  if (key != WXK_ESCAPE && dynamic_cast<wxButton*>(wxWindow::FindFocus())) {
    event.Skip();
    return;
  }
  EndDialogWith(key == WXK_ESCAPE ? wxID_CANCEL : wxID_OK);
}

void CMailerDlg::OnContextMenu(wxContextMenuEvent& event) {
  // Edits keep their own menu.
  if (dynamic_cast<wxTextCtrl*>(event.GetEventObject())) {
    event.Skip();
    return;
  }
  wxMenu menu;
  menu.Append(IDM_ABOUTBOX, wxString::FromUTF8("关于 Postwing(&A)..."));
  PopupMenu(&menu);
}

void CMailerDlg::OnAbout(wxCommandEvent&) {
  CAboutBox box(this);
  box.ShowModal();
}
