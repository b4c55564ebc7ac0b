// The batch runs of the main window (send now and the daily schedule): the
// pages are the run's inputs, message boxes its messages and the system's
// player its cues. A run executes on the window's thread and blocks it; while
// the run waits on a socket, the window repaints but takes no input.
#pragma once

#include <string>

#include "dispatch/batch_run.h"

class wxWindow;
struct CMailerPages;

class CWindowBatchHost : public CBatchHost {
 public:
  // `window` parents the message boxes; `pages` must outlive the host.
  // `smtpPort` is the port every session connects to (0: the standard one).
  CWindowBatchHost(wxWindow& window, CMailerPages& pages, unsigned int smtpPort);

  // One batch run, with its final message box when `showResult` is 1, unless
  // another is in progress; false when none started.
  bool Run(int showResult);
  bool IsRunning() const { return m_bRunning; }

  void ReloadMailSource() override;
  CMailSource TakeMailSource() override;
  CSmtpAccount TakeSmtpAccount() override;
  CSoundSettings SoundSettings() override;
  void ShowMessage(const std::string& text) override;
  void PlayCue(const std::string& path) override;

 private:
  wxWindow& m_window;
  CMailerPages& m_pages;
  unsigned int m_nSmtpPort;
  bool m_bRunning = false;
};
