// The main window: a fixed-size dialog with the navigation tree on the left,
// the pane in which one page is shown at a time, and the status strip with the
// send-now button and the schedule indicator. It owns the eight pages as child
// windows, saves a settings page when it is left and loads one when it is
// shown, and runs batch runs on its own thread.
#pragma once

#include <memory>
#include <string>

#include <wx/dialog.h>
#include <wx/font.h>
#include <wx/iconbndl.h>
#include <wx/taskbar.h>
#include <wx/timer.h>

#include "dispatch/batch_run.h"
#include "ui/pages/timer_page.h"

class CBannerPage;
class CBitmapStatic;
class CHelpPage;
class CLinkLabel;
class CReportPage;
class CSmtpPage;
class CSoundPage;
class CSourcePage;
class CVersionPage;
class wxButton;
class wxContextMenuEvent;
class wxIconizeEvent;
class wxMenu;
class wxTreeCtrl;
class wxTreeEvent;

// The eight pages, in the order they are created. Non-owning: they are child
// windows of the main window and die with it.
struct CMailerPages {
  CBannerPage* m_pBanner = nullptr;
  CSmtpPage* m_pSmtp = nullptr;
  CSourcePage* m_pSource = nullptr;
  CSoundPage* m_pSound = nullptr;
  CTimerPage* m_pTimer = nullptr;
  CReportPage* m_pReport = nullptr;
  CHelpPage* m_pHelp = nullptr;
  CVersionPage* m_pVersion = nullptr;
};

// Page codes: the index of a label in g_navLabels, or 20 plus its index in
// g_navSubLabels.
enum {
  PAGE_BANNER = 0,
  PAGE_SMTP = 1,
  PAGE_SOURCE = 2,
  PAGE_TIMER = 3,
  PAGE_REPORT = 4,
  PAGE_HELP = 5,
  PAGE_VERSION = 6,
  PAGE_MAIL = 20,
  PAGE_SOUND = 21,
};

// The font of the main window's and the About box's templates: the template
// face at 9 points.
wxFont MainTemplateFont();

// The daily schedule: while armed, timer SCHEDULE_TIMER_ID ticks every
// SCHEDULE_PERIOD_MS and a tick in the set UTC+8 hour and minute starts a run.
inline constexpr int SCHEDULE_TIMER_ID = 0;
inline constexpr int SCHEDULE_PERIOD_MS = 30000;
// The command that shows the window again (tray menu item 显示窗口). Menu
// commands must stay below 0x7FFF here, so it is 0x7003 rather than 0x8003.
inline constexpr int WM_OpenTtask = 0x7003;
// 1 from the start of a scheduled run until the first tick outside the set
// minute: one scheduled run per occurrence of the set minute.
extern int g_scheduleFired;

// The page code of a tree label, or -1.
int PageCodeOfLabel(const wxString& label);

class CMailerDlg : public wxDialog, public CBatchHost, public CScheduleSwitch {
 public:
  enum {
    IDC_TREE = 1000,
    IDC_PAGE_BOTTOM = 1017,
    IDC_SEND_NOW = 1018,
    IDC_CLOCK_PICTURE = 1020,
    IDC_CLOCK_LABEL = 1021,
    IDM_ABOUTBOX = 16,
  };

  CMailerDlg() = default;
  ~CMailerDlg() override;
  // Creates the window, its controls and pages, loads the settings pages,
  // shows the banner page, fills the tree and loads the schedule state.
  bool Create(wxWindow* parent);

  void ShowPage(int page);
  void LeavePage();
  // Shows the armed (flag 1) or unarmed state of the schedule in the strip.
  void UpdateClockArea(int flag);
  void SetScheduleTitle(int flag);
  // The pane: right of the tree, above the status strip.
  wxRect PageRect() const;

  // The schedule: the stored flag arms it at start; the timer page's check
  // box arms and disarms it.
  void LoadSchedule();
  void ArmSchedule() override;
  void DisarmSchedule() override;
  // One tick of the schedule timer.
  void OnScheduleTick(wxTimerEvent& event);
  void ScheduleTick();
  bool IsScheduleArmed() const { return m_scheduleTimer.IsRunning(); }

  // Minimising hides the window behind an icon in the notification area
  // (where the desktop has one; elsewhere it stays minimised on the task
  // bar). The icon stays until the window is destroyed.
  void MinimizeToTray();
  void RestoreFromTray();
  void OnTrayNotify(wxTaskBarIconEvent& event);
  // The icon's menu: 显示窗口 (WM_OpenTtask), a separator, 关闭程序 (Cancel).
  static std::unique_ptr<wxMenu> TrayMenu();
  wxTaskBarIcon* TrayIcon() const { return m_pTrayIcon.get(); }

  // Send now: one batch run with its final message box.
  void OnSendNow(wxCommandEvent& event);
  void OnAbout(wxCommandEvent& event);

  // CBatchHost, with the pages.
  void ReloadMailSource() override;
  CMailSource TakeMailSource() override;
  CSmtpAccount TakeSmtpAccount() override;
  CSoundSettings SoundSettings() override;
  void ShowMessage(const std::string& text) override;
  void PlayCue(const std::string& path) override;

  int m_nCurrentPage = 0;
  int m_nSelectedPage = 0;
  CLinkLabel* m_clockLabel = nullptr;      // 1021
  CBitmapStatic* m_clockPicture = nullptr; // 1020
  wxButton* m_btnSendNow = nullptr;        // 1018
  wxWindow* m_pageBottom = nullptr;        // 1017, hidden
  wxTreeCtrl* m_tree = nullptr;            // 1000
  wxIconBundle m_hIcon;
  CMailerPages m_pages;
  // True while a batch run started here is in progress.
  bool m_bRunInProgress = false;
  // Tests only: the SMTP port of the runs started here (0: the standard port).
  unsigned int m_nSmtpPortForTests = 0;

 private:
  void CreateControls();
  void CreatePages();
  void FillTree();
  void OnSelChanged(wxTreeEvent& event);
  void OnPaint(wxPaintEvent& event);
  void OnContextMenu(wxContextMenuEvent& event);
  void OnCharHook(wxKeyEvent& event);
  void OnIconize(wxIconizeEvent& event);
  // Ends the dialog (and the program) with `result`.
  void EndDialogWith(int result);
  // One batch run unless another is in progress; false when none started.
  bool RunBatch(int showResult);
  // Brings the status strip up to date when what it shows has changed.
  void SyncClockArea();

  // What the strip last showed: flag, hour, minute.
  int m_nShownFlag = -1;
  int m_nShownHour = -1;
  int m_nShownMinute = -1;

  wxTimer m_scheduleTimer;
  std::unique_ptr<wxTaskBarIcon> m_pTrayIcon;
};
