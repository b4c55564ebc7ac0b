// The main window: a fixed-size dialog with the navigation tree on the left,
// the pane in which one page is shown at a time, and the status strip with the
// send-now button and the schedule indicator. It owns the eight pages as child
// windows, saves a settings page when it is left and loads one when it is
// shown. Batch runs (send now, the daily schedule) run on the window's own
// thread, inside the event handler that starts them (window_batch_host.h);
// the schedule and the notification-area icon live in schedule_tray.h.
#pragma once

#include <memory>

#include <wx/dialog.h>
#include <wx/font.h>
#include <wx/iconbndl.h>

#include "ui/app/preview_actions.h"
#include "ui/app/schedule_tray.h"
#include "ui/app/window_batch_host.h"
#include "ui/pages/timer_page.h"

class CBannerPage;
class CBitmapStatic;
class CHelpPage;
class CLinkLabel;
class CLinkOpener;
class CReportPage;
class CSmtpPage;
class CSoundPage;
class CSourcePage;
class CVersionPage;
class wxButton;
class wxCloseEvent;
class wxContextMenuEvent;
class wxGauge;
class wxStaticText;
class wxIconizeEvent;
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

// The page code of a tree label, or -1.
int PageCodeOfLabel(const wxString& label);

class CMailerDlg : public wxDialog, public CScheduleSwitch {
 public:
  enum {
    IDC_TREE = 1000,
    IDC_PAGE_BOTTOM = 1017,
    IDC_SEND_NOW = 1018,
    IDC_CLOCK_PICTURE = 1020,
    IDC_CLOCK_LABEL = 1021,
    IDM_ABOUTBOX = 16,
  };

  // The pages' links open with `opener`; runs connect to `smtpPort` (0: the
  // standard SMTP port). `opener` must outlive the window.
  // The runs' waits go by `clock`, which must outlive the window.
  explicit CMailerDlg(CLinkOpener& opener, unsigned int smtpPort = 0,
                      CRunClock& clock = RealRunClock())
      : m_opener(opener), m_runs(*this, m_pages, smtpPort, clock) {}
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
  void ScheduledTimeChanged() override { SyncClockArea(); }
  CDailySchedule& Schedule() { return *m_pSchedule; }

  // Minimising hides the window behind the notification-area icon.
  void MinimizeToTray();
  void RestoreFromTray();
  CTrayIcon& Tray() { return m_tray; }

  // Send now: one batch run with its final message box, after asking whether
  // to continue an interrupted one; during a run the button is 停止发送 and
  // asks the run to stop.
  void OnSendNow(wxCommandEvent& event);
  void OnAbout(wxCommandEvent& event);
  // The report page's 重发未送达: a run that sends again what the newest
  // record did not deliver, then the report reread.
  void OnRetryFailed();

  int m_nCurrentPage = 0;
  int m_nSelectedPage = 0;
  CLinkLabel* m_clockLabel = nullptr;      // 1021
  CBitmapStatic* m_clockPicture = nullptr; // 1020
  wxButton* m_btnSendNow = nullptr;        // 1018
  wxStaticText* m_runText = nullptr;       // "正在发送 第 i / N 封", during a run
  wxRect m_runTextHome;                    // its place in the template
  wxGauge* m_runGauge = nullptr;           // the same as a bar
  wxWindow* m_pageBottom = nullptr;        // 1017, hidden
  wxTreeCtrl* m_tree = nullptr;            // 1000
  wxIconBundle m_hIcon;
  CMailerPages m_pages;

 private:
  void CreateControls();
  void CreatePages();
  void FillTree();
  void OnSelChanged(wxTreeEvent& event);
  void OnPaint(wxPaintEvent& event);
  void OnContextMenu(wxContextMenuEvent& event);
  void OnCharHook(wxKeyEvent& event);
  void OnIconize(wxIconizeEvent& event);
  // Ends the dialog (and the program) with `result`; during a run, asks it
  // to stop and ends the dialog once it has.
  void EndDialogWith(int result);
  void OnClose(wxCloseEvent& event);
  // A run starts or ends: the strip, the button and what takes input.
  void ShowRunning(bool running);
  // A test send starts or ends: nothing takes input meanwhile.
  void ShowTestSending(bool sending);
  // The tree and every page take input, or none of them does.
  void EnablePages(bool enable);
  // Ends the dialog once a run or a test send is over, if it was asked to.
  void EndIfAskedToEnd();
  void ShowRunProgress(const RunProgress& progress);
  // Sizes the run's line to its text within the strip.
  void FitRunText();
  // Brings the status strip up to date when what it shows has changed.
  void SyncClockArea();

  // What the strip last showed: flag, hour, minute.
  int m_nShownFlag = -1;
  int m_nShownHour = -1;
  int m_nShownMinute = -1;
  // The result to end the dialog with once the run in progress is over.
  int m_nEndAfterRun = 0;

  CLinkOpener& m_opener;
  CWindowBatchHost m_runs;
  CPreviewActions m_preview{*this, m_runs};
  // Made once the timer page exists.
  std::unique_ptr<CDailySchedule> m_pSchedule;
  CTrayIcon m_tray{*this, [this] { EndDialogWith(wxID_CANCEL); }};
};
