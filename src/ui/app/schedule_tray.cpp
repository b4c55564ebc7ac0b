#include "ui/app/schedule_tray.h"

#include <wx/menu.h>
#include <wx/toplevel.h>

#include "platform/clock.h"
#include "settings/timer_settings.h"

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

CTrayIcon::CTrayIcon(wxTopLevelWindow& window, std::function<void()> close)
    : m_window(window), m_close(std::move(close)) {}

CTrayIcon::~CTrayIcon() {
  if (m_pIcon) m_pIcon->RemoveIcon();
}

// Without a notification area the window stays minimised on the task bar, so
// that it can still be reached.
void CTrayIcon::Minimize(const wxIconBundle& icons) {
  if (!wxTaskBarIcon::IsAvailable()) return;
  if (!m_pIcon) {
    m_pIcon = std::make_unique<wxTaskBarIcon>();
    m_pIcon->Bind(wxEVT_TASKBAR_LEFT_DCLICK, &CTrayIcon::OnNotify, this);
    m_pIcon->Bind(wxEVT_TASKBAR_RIGHT_UP, &CTrayIcon::OnNotify, this);
    m_pIcon->Bind(wxEVT_MENU, [this](wxCommandEvent&) { Restore(); }, WM_OpenTtask);
    m_pIcon->Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_close(); }, wxID_CANCEL);
  }
  if (!m_pIcon->IsIconInstalled()) {
    m_pIcon->SetIcon(icons.IsEmpty() ? wxIcon() : icons.GetIcon(wxSize(22, 22)),
                     wxString::FromUTF8("飞鸿信使"));
  }
  // wxDialog::Show(false) would end the modal loop: hide the window itself.
  m_window.wxTopLevelWindow::Show(false);
}

void CTrayIcon::Restore() {
  m_window.wxTopLevelWindow::Show(true);
  m_window.Iconize(false);
  m_window.Raise();
}

void CTrayIcon::OnNotify(wxTaskBarIconEvent& event) {
  if (event.GetEventType() == wxEVT_TASKBAR_LEFT_DCLICK) {
    Restore();
  } else if (event.GetEventType() == wxEVT_TASKBAR_RIGHT_UP && m_pIcon) {
    // 显示窗口 (WM_OpenTtask), a separator, 关闭程序 (Cancel).
    wxMenu menu;
    menu.Append(WM_OpenTtask, wxString::FromUTF8("显示窗口"));
    menu.AppendSeparator();
    menu.Append(wxID_CANCEL, wxString::FromUTF8("关闭程序"));
    m_pIcon->PopupMenu(&menu);
  }
}
