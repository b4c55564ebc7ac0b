// The batch runs of the main window (send now and the daily schedule): the
// pages are the run's inputs, message boxes its messages and the system's
// player its cues. A run executes on the window's thread; while it waits on a
// socket or for its pace, the window repaints and takes input, which the main
// window limits to its stop button (every other control is disabled).
#pragma once

#include <functional>
#include <string>

#include "dispatch/batch_run.h"
#include "dispatch/message_send.h"

class wxWindow;
struct CMailerPages;

class CWindowBatchHost : public CBatchHost {
 public:
  // `window` parents the message boxes; `pages` must outlive the host.
  // `smtpPort` is the port every session connects to (0: the standard one).
  // The run's waits go by `clock`, which must outlive the host.
  CWindowBatchHost(wxWindow& window, CMailerPages& pages, unsigned int smtpPort,
                   CRunClock& clock = RealRunClock());

  // One batch run, with its final message box when `showResult` is 1, unless
  // another is in progress; false when none started. `resume` continues the
  // run the journal describes.
  bool Run(int showResult, bool resume = false);
  // Sends again, with the final message box, what the newest record lists as
  // still failing or not sent (the report page's 重发未送达), unless another
  // run is in progress; false when none started.
  bool RunRetryFailed();
  bool IsRunning() const { return m_bRunning; }
  // Runs `send` (one test message) on the window's thread with the waits of
  // a run, but as no run: no cues, journal, record, report line or strip.
  // No run starts meanwhile; false, without calling it, while one is in
  // progress.
  bool RunTestSend(const std::function<void()>& send);
  // Where a message of the window goes: the SMTP page's account as its
  // controls hold it now, the window's port, the working directory.
  MessageTarget Target();
  // Asks the run in progress to stop (a second request: at once).
  void RequestStop() { m_stop.Request(); }

  // Called when a run starts and ends, and with its progress.
  std::function<void(bool running)> m_onRunning;
  std::function<void(const RunProgress&)> m_onProgress;
  // Called when a test send starts and ends.
  std::function<void(bool sending)> m_onTestSending;

  void ReloadMailSource() override;
  CMailSource TakeMailSource() override;
  CSmtpAccount TakeSmtpAccount() override;
  CSoundSettings SoundSettings() override;
  void ShowMessage(const std::string& text) override;
  void PlayCue(const std::string& path) override;
  void ShowProgress(const RunProgress& progress) override;
  int StopLevel() override { return m_stop.Level(); }
  CRunClock& RunClock() override { return m_clock; }

 private:
  enum class RunKind { Normal, Resume, RetryFailed };
  bool Start(int showResult, RunKind kind);

  wxWindow& m_window;
  CMailerPages& m_pages;
  unsigned int m_nSmtpPort;
  CRunClock& m_clock;
  bool m_bRunning = false;
  CStopRequest m_stop;
};
