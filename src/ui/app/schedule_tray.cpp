#include "ui/app/schedule_tray.h"

#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/toplevel.h>

#include "platform/clock.h"
#include "settings/timer_settings.h"
#include "ui/app/tray_menu.h"

int g_scheduleFired = 0;

CDailySchedule::CDailySchedule(wxWindow& owner, const CTimerSettings& times,
                               std::function<bool()> startRun)
    : m_owner(owner),
      m_times(times),
      m_startRun(std::move(startRun)),
      m_timer(&owner, SCHEDULE_TIMER_ID) {
  m_owner.Bind(wxEVT_TIMER, &CDailySchedule::OnTimer, this, SCHEDULE_TIMER_ID);
}

CDailySchedule::~CDailySchedule() {
  m_timer.Stop();
  m_owner.Unbind(wxEVT_TIMER, &CDailySchedule::OnTimer, this, SCHEDULE_TIMER_ID);
}

void CDailySchedule::OnTimer(wxTimerEvent&) { Tick(); }

void CDailySchedule::Arm() {
  m_timer.Stop();
  m_timer.Start(SCHEDULE_PERIOD_MS);
}

void CDailySchedule::Disarm() { m_timer.Stop(); }

// The set minute is normally seen by two ticks; g_scheduleFired lets only the
// first start a run and is cleared by the first tick after the minute. A tick
// that comes while another run is in progress (its socket waits and message
// boxes dispatch timer events) starts nothing and leaves the flag clear, so
// a later tick of the same minute still starts the scheduled run.
void CDailySchedule::Tick() {
  const platform::UtcTime now = platform::NowUtc();
  if (m_times.m_nHour != platform::HourUtcPlus8(now.hour) || m_times.m_nMinute != now.minute) {
    g_scheduleFired = 0;
    return;
  }
  if (g_scheduleFired) return;
  g_scheduleFired = 1;
  if (!m_startRun()) g_scheduleFired = 0;
}

// The menu's commands reach the window (PopUpTrayMenu); WM_OpenTtask also
// comes from other programs where the system lets them send it.
CTrayIcon::CTrayIcon(wxTopLevelWindow& window, std::function<void()> close)
    : m_window(window), m_close(std::move(close)) {
  m_window.Bind(wxEVT_MENU, &CTrayIcon::OnShowCommand, this, WM_OpenTtask);
  m_window.Bind(wxEVT_MENU, &CTrayIcon::OnCloseCommand, this, wxID_CANCEL);
}

CTrayIcon::~CTrayIcon() {
  m_window.Unbind(wxEVT_MENU, &CTrayIcon::OnShowCommand, this, WM_OpenTtask);
  m_window.Unbind(wxEVT_MENU, &CTrayIcon::OnCloseCommand, this, wxID_CANCEL);
  if (m_pIcon) m_pIcon->RemoveIcon();
}

// Without a notification area the window stays minimised on the task bar, so
// that it can still be reached.
void CTrayIcon::Minimize(const wxIconBundle& icons) {
  if (!wxTaskBarIcon::IsAvailable()) return;
  if (!m_pIcon) {
    m_pIcon = std::make_unique<wxTaskBarIcon>();
    m_pIcon->Bind(wxEVT_TASKBAR_LEFT_DOWN, &CTrayIcon::OnLeftDown, this);
    m_pIcon->Bind(wxEVT_TASKBAR_LEFT_DCLICK, &CTrayIcon::OnDoubleClick, this);
    m_pIcon->Bind(wxEVT_TASKBAR_CLICK, &CTrayIcon::OnMenuButton, this);
  }
  if (!m_pIcon->IsIconInstalled()) {
    m_pIcon->SetIcon(icons.IsEmpty() ? wxIcon() : icons.GetIcon(wxSize(22, 22)),
                     wxString::FromUTF8("飞鸿信使"));
  }
  // wxDialog::Show(false) would end the modal loop: hide the window itself.
  m_window.wxTopLevelWindow::Show(false);
}

// The window left the screen minimised: GTK keeps that state while it is
// hidden and would show it minimised again (mapped as an icon, which the
// window manager keeps off the screen). Ending the minimised state first
// makes the show a normal one.
void CTrayIcon::Restore() {
  m_window.Iconize(false);
  m_window.wxTopLevelWindow::Show(true);
  m_window.Raise();
}

namespace {

// The double-click time where the desktop does not say.
constexpr int kDefaultDoubleClickMs = 500;

}  // namespace

// GTK's icon reports each press of the left button as a left-button-down and
// never a double click; when the press goes unhandled, wx passes it on as a
// double click as well, so that a single click would restore the window.
// The press is therefore always handled here, and two presses within the
// desktop's double-click time make the double click. Where the system
// reports double clicks itself (Windows), they arrive as OnDoubleClick.
void CTrayIcon::OnLeftDown(wxTaskBarIconEvent&) {
  const int interval = wxSystemSettings::GetMetric(wxSYS_DCLICK_MSEC);
  if (m_clicks.Press(CDoubleClickPairer::Clock::now(),
                     std::chrono::milliseconds(interval > 0 ? interval : kDefaultDoubleClickMs))) {
    Restore();
  }
}

void CTrayIcon::OnDoubleClick(wxTaskBarIconEvent&) {
  m_clicks.Reset();
  Restore();
}

// wx reports the menu button as the event the system's tray really sends
// for it (a press on GTK, a release on Windows). Handling it here keeps wx
// from opening the icon's menu from its own hidden frame.
void CTrayIcon::OnMenuButton(wxTaskBarIconEvent&) {
  const std::unique_ptr<wxMenu> menu = MakeTrayMenu();
  PopUpTrayMenu(m_window, *menu);
}

void CTrayIcon::OnShowCommand(wxCommandEvent&) { Restore(); }

void CTrayIcon::OnCloseCommand(wxCommandEvent&) { m_close(); }

std::unique_ptr<wxMenu> MakeTrayMenu() {
  auto menu = std::make_unique<wxMenu>();
  menu->Append(WM_OpenTtask, wxString::FromUTF8("显示窗口"));
  menu->AppendSeparator();
  menu->Append(wxID_CANCEL, wxString::FromUTF8("关闭程序"));
  return menu;
}
