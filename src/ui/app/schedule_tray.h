// The main window's daily schedule and its notification-area icon.
#pragma once

#include <functional>
#include <memory>

#include <wx/iconbndl.h>
#include <wx/taskbar.h>
#include <wx/timer.h>

#include "ui/common/double_click.h"

class CTimerSettings;
class wxMenu;
class wxTopLevelWindow;

// The daily schedule: while armed, timer SCHEDULE_TIMER_ID of the owner window
// ticks every SCHEDULE_PERIOD_MS and a tick in the set UTC+8 hour and minute
// starts a run.
inline constexpr int SCHEDULE_TIMER_ID = 0;
inline constexpr int SCHEDULE_PERIOD_MS = 30000;
// 1 from the start of a scheduled run until the first tick outside the set
// minute: one scheduled run per occurrence of the set minute.
extern int g_scheduleFired;

class CDailySchedule {
 public:
  // `times` are the timer page's live fields, read afresh at every tick.
  // `startRun` starts a run without its final message box unless one is in
  // progress, and says whether it started one. Both must outlive the schedule.
  CDailySchedule(wxWindow& owner, const CTimerSettings& times, std::function<bool()> startRun);
  ~CDailySchedule();
  CDailySchedule(const CDailySchedule&) = delete;
  CDailySchedule& operator=(const CDailySchedule&) = delete;

  // Arming an armed schedule restarts its period.
  void Arm();
  void Disarm();
  bool IsArmed() const { return m_timer.IsRunning(); }
  // One tick: the time of day against the set time.
  void Tick();

 private:
  void OnTimer(wxTimerEvent& event);

  wxWindow& m_owner;
  const CTimerSettings& m_times;
  std::function<bool()> m_startRun;
  wxTimer m_timer;
};

// The command that shows the window again (tray menu item 显示窗口). Menu
// commands must stay below 0x7FFF here, so it is 0x7003 rather than 0x8003.
inline constexpr int WM_OpenTtask = 0x7003;

// The icon's menu: 显示窗口 (WM_OpenTtask), a separator, 关闭程序 (Cancel).
std::unique_ptr<wxMenu> MakeTrayMenu();

// Minimising hides the window behind an icon in the notification area (where
// the desktop has one; elsewhere it stays minimised on the task bar). The icon
// stays until this object ends with the window. A double click on the icon
// shows the window again; a single click does nothing. The menu button opens
// the tray menu, whose commands the window receives: 显示窗口 shows it,
// 关闭程序 calls `close`.
class CTrayIcon {
 public:
  // `close` ends the program (the menu's 关闭程序). `window` must outlive this;
  // its menu commands WM_OpenTtask and wxID_CANCEL are handled here.
  CTrayIcon(wxTopLevelWindow& window, std::function<void()> close);
  ~CTrayIcon();
  CTrayIcon(const CTrayIcon&) = delete;
  CTrayIcon& operator=(const CTrayIcon&) = delete;

  // Shows the icon (once) with the tip "飞鸿信使" and hides the window.
  void Minimize(const wxIconBundle& icons);
  // Shows the window again in its normal size; the icon stays.
  void Restore();
  // The icon, null before the first minimise to a notification area.
  wxTaskBarIcon* Icon() const { return m_pIcon.get(); }

 private:
  void OnLeftDown(wxTaskBarIconEvent& event);
  void OnDoubleClick(wxTaskBarIconEvent& event);
  void OnMenuButton(wxTaskBarIconEvent& event);
  void OnShowCommand(wxCommandEvent& event);
  void OnCloseCommand(wxCommandEvent& event);

  wxTopLevelWindow& m_window;
  std::function<void()> m_close;
  std::unique_ptr<wxTaskBarIcon> m_pIcon;
  CDoubleClickPairer m_clicks;
};
