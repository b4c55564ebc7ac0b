#include "ui/app/mailer_dlg.h"

#include <algorithm>
#include <exception>

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/evtloop.h>
#include <wx/menu.h>
#include <wx/taskbar.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>

#include "platform/clock.h"
#include "platform/net.h"
#include "platform/sound.h"
#include "settings/profile_file.h"
#include "ui/app/about_box.h"
#include "ui/app/app_icon.h"
#include "ui/app/mailer_app.h"
#include "ui/app/system_menu.h"
#include "ui/controls/bitmap_static.h"
#include "ui/controls/link_label.h"
#include "ui/common/message_box.h"
#include "ui/common/template_font.h"
#include "ui/common/text.h"
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

CMailerApp* MailerApp() { return dynamic_cast<CMailerApp*>(wxTheApp); }

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

int g_scheduleFired = 0;

CMailerDlg::~CMailerDlg() {
  platform::SetNetWaitHook({});
  m_scheduleTimer.Stop();
  if (m_pTrayIcon) m_pTrayIcon->RemoveIcon();
  if (CMailerApp* app = MailerApp(); app && app->m_pPages == &m_pages) app->m_pPages = nullptr;
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
  m_scheduleTimer.SetOwner(this, SCHEDULE_TIMER_ID);
  Bind(wxEVT_TIMER, &CMailerDlg::OnScheduleTick, this, SCHEDULE_TIMER_ID);
  CreateControls();
  // While a run waits on a socket the window repaints but takes no input.
  platform::SetNetWaitHook([] {
    wxEventLoopGuarantor ensureLoop;
    wxEventLoopBase::GetActive()->YieldFor(wxEVT_CATEGORY_UI);
  });

  m_hIcon = AppIcons();
  if (!m_hIcon.IsEmpty()) SetIcons(m_hIcon);
  SetScheduleTitle(0);
  CreatePages();
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
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { RestoreFromTray(); }, WM_OpenTtask);
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
}

void CMailerDlg::CreatePages() {
  m_pages.m_pBanner = new CBannerPage;
  m_pages.m_pBanner->Create(this);
  m_pages.m_pSmtp = new CSmtpPage;
  m_pages.m_pSmtp->Create(this);
  m_pages.m_pSource = new CSourcePage;
  m_pages.m_pSource->Create(this);
  m_pages.m_pSound = new CSoundPage;
  m_pages.m_pSound->Create(this);
  m_pages.m_pTimer = new CTimerPage;
  m_pages.m_pTimer->Create(this, this);
  m_pages.m_pReport = new CReportPage;
  m_pages.m_pReport->Create(this);
  m_pages.m_pHelp = new CHelpPage;
  m_pages.m_pHelp->Create(this);
  m_pages.m_pVersion = new CVersionPage;
  m_pages.m_pVersion->Create(this);
  if (CMailerApp* app = MailerApp()) app->m_pPages = &m_pages;

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

// Arming an armed schedule restarts its period.
void CMailerDlg::ArmSchedule() {
  m_scheduleTimer.Stop();
  m_scheduleTimer.Start(SCHEDULE_PERIOD_MS);
  SetScheduleTitle(1);
  UpdateClockArea(1);
}

void CMailerDlg::DisarmSchedule() {
  m_scheduleTimer.Stop();
  SetScheduleTitle(0);
  UpdateClockArea(0);
}

// The set minute is normally seen by two ticks; g_scheduleFired lets only the
// first start a run and is cleared by the first tick after the minute. A tick
// that comes while another run is in progress (its socket waits and message
// boxes dispatch timer events) starts nothing and leaves the flag clear, so
// a later tick of the same minute still starts the scheduled run.
void CMailerDlg::OnScheduleTick(wxTimerEvent&) { ScheduleTick(); }

void CMailerDlg::ScheduleTick() {
  const platform::UtcTime now = platform::NowUtc();
  const CTimerPage& timer = *m_pages.m_pTimer;
  if (timer.m_nHour != HourUtcPlus8(now.hour) || timer.m_nMinute != now.minute) {
    g_scheduleFired = 0;
    return;
  }
  if (g_scheduleFired || m_bRunInProgress) return;
  g_scheduleFired = 1;
  RunBatch(0);
}

bool CMailerDlg::RunBatch(int showResult) {
  if (m_bRunInProgress) return false;
  m_bRunInProgress = true;
  // The core reports failures as results; this only keeps anything it could
  // still throw (memory exhausted by a huge mail file) out of the event loop,
  // and leaves the window ready for the next run.
  try {
    CBatchRun run(*this);
    run.m_bShowResult = showResult;
    if (m_nSmtpPortForTests) run.SetSmtpPortForTests(m_nSmtpPortForTests);
    run.Run();
  } catch (const std::exception& e) {
    AppMessageBox(wxString::FromUTF8("邮件发送错误!\n") + wxString::FromUTF8(e.what()),
                  wxOK | wxICON_EXCLAMATION, this);
  }
  m_bRunInProgress = false;
  return true;
}

void CMailerDlg::OnSendNow(wxCommandEvent&) { RunBatch(1); }

void CMailerDlg::OnIconize(wxIconizeEvent& event) {
  event.Skip();
  if (event.IsIconized()) MinimizeToTray();
}

// Without a notification area the window stays minimised on the task bar, so
// that it can still be reached.
void CMailerDlg::MinimizeToTray() {
  if (!wxTaskBarIcon::IsAvailable()) return;
  if (!m_pTrayIcon) {
    m_pTrayIcon = std::make_unique<wxTaskBarIcon>();
    m_pTrayIcon->Bind(wxEVT_TASKBAR_LEFT_DCLICK, &CMailerDlg::OnTrayNotify, this);
    m_pTrayIcon->Bind(wxEVT_TASKBAR_RIGHT_UP, &CMailerDlg::OnTrayNotify, this);
    m_pTrayIcon->Bind(wxEVT_MENU, [this](wxCommandEvent&) { RestoreFromTray(); },
                      WM_OpenTtask);
    m_pTrayIcon->Bind(wxEVT_MENU, [this](wxCommandEvent&) { EndDialogWith(wxID_CANCEL); },
                      wxID_CANCEL);
  }
  if (!m_pTrayIcon->IsIconInstalled()) {
    m_pTrayIcon->SetIcon(m_hIcon.IsEmpty() ? wxIcon() : m_hIcon.GetIcon(wxSize(22, 22)),
                         wxString::FromUTF8("飞鸿信使"));
  }
  // wxDialog::Show(false) would end the modal loop: hide the window itself.
  wxTopLevelWindow::Show(false);
}

void CMailerDlg::RestoreFromTray() {
  wxTopLevelWindow::Show(true);
  Iconize(false);
  Raise();
}

void CMailerDlg::OnTrayNotify(wxTaskBarIconEvent& event) {
  if (event.GetEventType() == wxEVT_TASKBAR_LEFT_DCLICK) {
    RestoreFromTray();
  } else if (event.GetEventType() == wxEVT_TASKBAR_RIGHT_UP && m_pTrayIcon) {
    std::unique_ptr<wxMenu> menu = TrayMenu();
    m_pTrayIcon->PopupMenu(menu.get());
  }
}

std::unique_ptr<wxMenu> CMailerDlg::TrayMenu() {
  auto menu = std::make_unique<wxMenu>();
  menu->Append(WM_OpenTtask, wxString::FromUTF8("显示窗口"));
  menu->AppendSeparator();
  menu->Append(wxID_CANCEL, wxString::FromUTF8("关闭程序"));
  return menu;
}

void CMailerDlg::EndDialogWith(int result) {
  if (IsModal()) {
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

void CMailerDlg::ReloadMailSource() { m_pages.m_pSource->LoadSettings(); }

CMailSource CMailerDlg::TakeMailSource() {
  m_pages.m_pSource->ControlsToFields();
  return *m_pages.m_pSource;
}

CSmtpAccount CMailerDlg::TakeSmtpAccount() {
  m_pages.m_pSmtp->ControlsToFields();
  return *m_pages.m_pSmtp;
}

CSoundSettings CMailerDlg::SoundSettings() { return *m_pages.m_pSound; }

void CMailerDlg::ShowMessage(const std::string& text) {
  AppMessageBox(FromCodePage(text), wxOK | wxICON_EXCLAMATION, this);
}

void CMailerDlg::PlayCue(const std::string& path) { platform::PlaySoundSync(path); }
