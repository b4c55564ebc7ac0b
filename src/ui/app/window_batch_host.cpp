#include "ui/app/window_batch_host.h"

#include <exception>
#include <filesystem>

#include <wx/evtloop.h>
#include <wx/window.h>

#include "platform/codepage.h"
#include "platform/dirs.h"
#include "platform/net.h"
#include "platform/sound.h"
#include "ui/app/mailer_dlg.h"
#include "ui/common/message_box.h"
#include "ui/common/text.h"
#include "ui/pages/smtp_page.h"
#include "ui/pages/sound_page.h"
#include "ui/pages/source_page.h"

namespace {

// While it lives, the run's waits repaint the window, dispatch input (the
// stop button, closing the window) and fire timers; other events wait.
// Timers are named because wxMSW holds back every message outside the
// categories asked for and posts it again to the thread without its window,
// where it is lost; it may also take a click that arrived meanwhile in the
// timer's place. (GTK fires timers inside any yield.)
class CLiveWaits {
 public:
  CLiveWaits() {
    platform::SetNetWaitHook([] {
      wxEventLoopGuarantor ensureLoop;
      wxEventLoopBase::GetActive()->YieldFor(wxEVT_CATEGORY_UI | wxEVT_CATEGORY_USER_INPUT |
                                             wxEVT_CATEGORY_TIMER);
    });
  }
  ~CLiveWaits() { platform::SetNetWaitHook({}); }
  CLiveWaits(const CLiveWaits&) = delete;
  CLiveWaits& operator=(const CLiveWaits&) = delete;
};

}  // namespace

CWindowBatchHost::CWindowBatchHost(wxWindow& window, CMailerPages& pages, unsigned int smtpPort,
                                   CRunClock& clock)
    : m_window(window), m_pages(pages), m_nSmtpPort(smtpPort), m_clock(clock) {}

bool CWindowBatchHost::Run(int showResult, bool resume) {
  return Start(showResult, resume ? RunKind::Resume : RunKind::Normal);
}

bool CWindowBatchHost::RunRetryFailed() { return Start(1, RunKind::RetryFailed); }

bool CWindowBatchHost::Start(int showResult, RunKind kind) {
  if (m_bRunning) return false;
  m_bRunning = true;
  m_stop.Clear();
  if (m_onRunning) m_onRunning(true);
  // The core reports failures as results; this only keeps anything it could
  // still throw (memory exhausted by a huge mail file) out of the event loop,
  // and leaves the window ready for the next run.
  try {
    CLiveWaits waits;
    CBatchRun run(*this);
    run.m_bShowResult = showResult;
    run.m_bResume = kind == RunKind::Resume ? 1 : 0;
    run.m_bRetryFailed = kind == RunKind::RetryFailed ? 1 : 0;
    if (m_nSmtpPort != 0) run.SetSmtpPortForTests(m_nSmtpPort);
    run.Run();
  } catch (const std::exception& e) {
    AppMessageBox(wxString::FromUTF8("邮件发送错误!\n") + wxString::FromUTF8(e.what()),
                  wxOK | wxICON_EXCLAMATION, &m_window);
  }
  m_bRunning = false;
  if (m_onRunning) m_onRunning(false);
  return true;
}

bool CWindowBatchHost::RunTestSend(const std::function<void()>& send) {
  if (m_bRunning) return false;
  m_bRunning = true;
  if (m_onTestSending) m_onTestSending(true);
  try {
    CLiveWaits waits;
    send();
  } catch (const std::exception& e) {
    AppMessageBox(wxString::FromUTF8("邮件发送错误!\n") + wxString::FromUTF8(e.what()),
                  wxOK | wxICON_EXCLAMATION, &m_window);
  }
  m_bRunning = false;
  if (m_onTestSending) m_onTestSending(false);
  return true;
}

MessageTarget CWindowBatchHost::Target() {
  MessageTarget target;
  target.m_account = TakeSmtpAccount();
  target.m_nPort = m_nSmtpPort;
  const std::filesystem::path startDir = platform::WorkingDirPath();
  target.m_strStartDir = startDir.empty() ? std::string() : platform::PathToCodePage(startDir);
  return target;
}

void CWindowBatchHost::ReloadMailSource() { m_pages.m_pSource->LoadSettings(); }

CMailSource CWindowBatchHost::TakeMailSource() {
  m_pages.m_pSource->ControlsToFields();
  return *m_pages.m_pSource;
}

CSmtpAccount CWindowBatchHost::TakeSmtpAccount() {
  m_pages.m_pSmtp->ControlsToFields();
  return *m_pages.m_pSmtp;
}

CSoundSettings CWindowBatchHost::SoundSettings() { return *m_pages.m_pSound; }

void CWindowBatchHost::ShowMessage(const std::string& text) {
  AppMessageBox(FromCodePage(text), wxOK | wxICON_EXCLAMATION, &m_window);
}

void CWindowBatchHost::PlayCue(const std::string& path) { platform::PlaySoundSync(path); }

void CWindowBatchHost::ShowProgress(const RunProgress& progress) {
  if (m_onProgress) m_onProgress(progress);
}
