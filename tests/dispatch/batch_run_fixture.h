// A batch run in a scratch start directory holding ini/Stmp.Ini, with a host
// that reads the settings file as the window's pages would and records what
// the run shows and plays.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dispatch/batch_run.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/dirs.h"
#include "support/scripted_smtp_server.h"
#include "support/temp_dir.h"

namespace batchtest {

using platform::FromUtf8;

// The host as the window would be, with plain settings read from the
// working directory's settings file, recording what the run shows and plays.
class CRecordingHost : public CBatchHost {
 public:
  void ReloadMailSource() override {
    m_events.push_back("reload");
    m_source.ReadSettings();
  }
  CMailSource TakeMailSource() override { return m_source; }
  CSmtpAccount TakeSmtpAccount() override { return m_account; }
  CSoundSettings SoundSettings() override { return m_sound; }
  void ShowMessage(const std::string& text) override { m_events.push_back("box:" + text); }
  void PlayCue(const std::string& path) override { m_events.push_back("cue:" + path); }
  void ShowProgress(const RunProgress& progress) override { m_progress.push_back(progress); }
  int StopLevel() override { return m_stopLevel ? m_stopLevel() : StopNone; }
  CRunClock& RunClock() override { return m_clock ? *m_clock : RealRunClock(); }

  void Load() {
    m_account.ReadSettings();
    m_sound.ReadSettings();
  }

  std::vector<std::string> m_events;
  std::vector<RunProgress> m_progress;
  // What StopLevel answers; none when empty.
  std::function<int()> m_stopLevel;
  CMailSource m_source;
  CSmtpAccount m_account;
  CSoundSettings m_sound;
  CRunClock* m_clock = nullptr;  // the real clock when unset
};

// A clock that never waits: a wait moves it on to its end at once (ticking
// once, as the real one does every second), so runs that would wait minutes
// for their retries take no time.
class CInstantClock : public CRunClock {
 public:
  Clock::time_point Now() const override { return m_now; }
  bool WaitUntil(Clock::time_point until, const std::function<bool()>& stop,
                 const std::function<void()>& tick) override {
    if (stop && stop()) return false;
    if (until > m_now) {
      m_waited += until - m_now;
      m_now = until;
      if (tick) tick();
    }
    return true;
  }
  Clock::time_point m_now = Clock::now();
  Clock::duration m_waited{};  // the time all waits together would have taken
};

class BatchRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_cwd.emplace(m_dir.Path());
    m_start = platform::GetWorkingDir();
    platform::SetTestClock([] {
      platform::UtcTime t;
      t.year = 2003;
      t.month = 12;
      t.day = 31;
      t.hour = 23;
      t.minute = 30;
      return t;
    });
  }
  void TearDown() override { platform::SetTestClock(nullptr); }

  // ini/Stmp.Ini naming the mail folder and address list, with cues on.
  void WriteSettings(const std::string& mailDir, const std::string& addressFile,
                     const std::string& beginWave = "begin.wav") {
    m_dir.WriteFile("ini/Stmp.Ini",
                    FromUtf8("[smtp]\r\nsmtp=127.0.0.1\r\nMail=sender@example.com\r\n"
                             "emstp=0\r\n[maildir]\r\nmaildir=") +
                        mailDir + "\r\naddress=" + addressFile +
                        FromUtf8("\r\nmailsubject=月报\r\n[sound]\r\nplay=1\r\nbegin=") +
                        beginWave + "\r\nok=ok.wav\r\nerr=err.wav\r\n");
  }

  // Runs once as the button does (or the timer, without the final box) and
  // checks that the working directory is the start directory again.
  // Port 0 stands for a port on which nothing listens.
  void Run(bool showResult = true, unsigned int port = 0) {
    m_host.Load();
    m_run.m_bShowResult = showResult ? 1 : 0;
    m_run.SetSmtpPortForTests(port != 0 ? port : testsupport::CScriptedSmtpServer::UnusedPort());
    m_run.Run();
    EXPECT_EQ(platform::GetWorkingDir(), m_start);
    EXPECT_EQ(m_run.m_strStartDir, m_start);
  }

  std::string Cue(const std::string& name) const { return "cue:" + platform::JoinPath(m_start, name); }

  // The mail files of `folder` (under the scratch directory) in the order
  // the system lists them, read without the project's own listing.
  std::vector<std::string> MailOrder(const std::string& folder) const {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path() / folder)) {
      if (!entry.is_directory()) files.push_back(entry.path().filename().string());
    }
    return files;
  }

  testsupport::CTempDir m_dir;
  std::optional<testsupport::CWorkingDirGuard> m_cwd;
  std::string m_start;
  CRecordingHost m_host;
  CBatchRun m_run{m_host};
};

}  // namespace batchtest
