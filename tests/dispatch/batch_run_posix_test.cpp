#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "dispatch/batch_run.h"
#include "platform/dirs.h"
#include "dispatch/batch_run_fixture.h"

namespace {

using batchtest::BatchRunTest;
using platform::FromUtf8;

// The address list or the mail file cannot be used: "发送错误!" with the reason,
// even on a timer run, then the final box on a button run.
TEST_F(BatchRunTest, UnusableInputsShowTheSendErrorFirst) {
  m_dir.WriteFile("mail/one", "x");
  std::filesystem::create_directory(m_dir.Path() / "broken");
  // A file that lists but cannot be opened: a link to nothing.
  std::filesystem::create_symlink(m_dir.Path() / "gone", m_dir.Path() / "broken/dangling");
  m_dir.WriteFile("list.txt", "x@example.com\n");
  struct Case {
    std::string folder, list, error;
  };
  const Case cases[] = {
      {"mail", "", "没有设置邮件地址列表文件."},
      {"mail", "nowhere.txt", "无法打开邮件地址列表文件."},
      {"broken", "list.txt", "邮件文件 dangling 无法读取。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    WriteSettings(c.folder, c.list);
    const std::string error = FromUtf8(c.error);
    m_host.m_events.clear();
    Run(true);
    EXPECT_EQ(m_run.m_strError, error);
    EXPECT_EQ(m_run.m_nMailCount, 1);
    EXPECT_EQ(m_run.m_nAddressCount, 0);
    EXPECT_EQ(m_host.m_events,
              (std::vector<std::string>{Cue("begin.wav"), "reload",
                                        "box:" + FromUtf8("发送错误!\n") + error, Cue("err.wav"),
                                        "box:" + FromUtf8("邮件发送错误!\n") + error}));
    m_host.m_events.clear();
    Run(false);
    EXPECT_EQ(m_host.m_events,
              (std::vector<std::string>{Cue("begin.wav"), "reload",
                                        "box:" + FromUtf8("发送错误!\n") + error, Cue("err.wav")}));
  }
}

// A pipe in the mail folder is no mail: opening it would wait for a writer.
TEST_F(BatchRunTest, SkipsPipesInTheMailFolder) {
  m_dir.WriteFile("mail/one", "x");
  ASSERT_EQ(mkfifo((m_dir.Path() / "mail/pipe").c_str(), 0600), 0);
  WriteSettings("mail", "");
  Run(false);
  EXPECT_EQ(m_run.m_nMailCount, 1);
  EXPECT_EQ(m_run.m_strError, FromUtf8("没有设置邮件地址列表文件."));
}

// Names made on Windows keep their GBK bytes when unpacked here, and some
// names are no text at all: every one must open again as it is. The start
// directory has such a name too; the settings name the folder and the list in
// the code page, as the Windows program stored them.
TEST_F(BatchRunTest, NamesThatAreNotUtf8OpenAgain) {
  namespace fs = std::filesystem;
  const std::string start = "\xC6\xF4\xB6\xAF-\xFF";  // "启动" in GBK, then no text
  const std::string folder = "\xD3\xCA\xBC\xFE";       // "邮件"
  const std::string list = "\xC1\xD0\xB1\xED.txt";     // "列表.txt"
  const fs::path startDir = m_dir.Path() / start;
  for (const std::string name : {"\xD6\xD0\xCE\xC4.txt", "bad\xFF\xFE\x80.txt", "\xE4\xB8"}) {
    m_dir.WriteFile(start + "/" + folder + "/" + name, "body of " + name + "\n");
  }
  m_dir.WriteFile(start + "/" + list, "x@example.com\n");
  m_dir.WriteFile(start + "/运行报告.txt", "");
  fs::create_directories(startDir / "ini");
  {
    std::ofstream ini(startDir / "ini/Stmp.Ini", std::ios::binary);
    ini << "[smtp]\r\nsmtp=127.0.0.1\r\nMail=s@example.com\r\n[maildir]\r\nmaildir=" << folder
        << "\r\naddress=" << list << "\r\nmailsubject=s\r\n";
  }
  testsupport::CWorkingDirGuard inStart(startDir);
  testsupport::CScriptedSmtpServer server(testsupport::CSmtpScript::Accepting());
  m_host.Load();
  m_run.m_bShowResult = 1;
  m_run.SetSmtpPortForTests(server.Port());
  m_run.Run();

  EXPECT_EQ(m_run.m_strError, "");
  EXPECT_EQ(m_run.m_nMailCount, 3);
  ASSERT_EQ(server.SessionCount(), 3);
  std::string bodies;
  for (int i = 0; i < 3; ++i) bodies += server.ReceivedMessage(i);
  for (const std::string name : {"\xD6\xD0\xCE\xC4.txt", "bad\xFF\xFE\x80.txt", "\xE4\xB8"}) {
    EXPECT_NE(bodies.find("body of " + name + "\r\n"), std::string::npos) << name;
  }
  EXPECT_EQ(fs::current_path(), startDir);
  EXPECT_EQ(m_host.m_events.back(), "box:" + FromUtf8("所有邮件已经发送成功."));
  std::ifstream report(startDir / "运行报告.txt", std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
  EXPECT_EQ(written, "\r\n2004- 1- 1 ,  7:30 , 3 , 1 , " + FromUtf8("成功"));
}

// The start directory is renamed while the run is in the mail folder (here
// during the end cue): the run says so, writes no report line elsewhere, and
// leaves the process in a folder that still exists.
TEST_F(BatchRunTest, StartDirectoryGoneByTheEndIsReported) {
  namespace fs = std::filesystem;
  struct CMovingHost : batchtest::CRecordingHost {
    std::function<void()> m_move;
    void PlayCue(const std::string& path) override {
      CRecordingHost::PlayCue(path);
      if (path.ends_with("ok.wav")) m_move();
    }
  } host;
  const fs::path startDir = m_dir.Path() / "start";
  m_dir.WriteFile("start/mail/one", "x");
  m_dir.WriteFile("start/list.txt", "x@example.com\n");
  m_dir.WriteFile("start/运行报告.txt", "");
  WriteSettings("mail", "list.txt");
  fs::rename(m_dir.Path() / "ini", startDir / "ini");
  host.m_move = [&] { fs::rename(startDir, m_dir.Path() / "moved"); };
  testsupport::CWorkingDirGuard inStart(startDir);
  testsupport::CScriptedSmtpServer server(testsupport::CSmtpScript::Accepting());
  host.Load();
  CBatchRun run(host);
  run.m_bShowResult = 1;
  run.SetSmtpPortForTests(server.Port());
  run.Run();

  EXPECT_EQ(run.m_strError, "");
  EXPECT_EQ(platform::WorkingDirPath(), m_dir.Path());
  EXPECT_EQ(host.m_events.back(),
            "box:" + FromUtf8("所有邮件已经发送成功.\n无法回到启动目录 <") +
                platform::PathToCodePage(startDir) + FromUtf8(">，工作目录已改为 <") +
                platform::PathToCodePage(m_dir.Path()) + FromUtf8(">。"));
  EXPECT_EQ(m_dir.ReadFile("moved/运行报告.txt"), "");  // the start directory's path names nothing now
  EXPECT_FALSE(fs::exists(m_dir.Path() / "运行报告.txt"));
}

// The address list is a pipe whose writer sends the next line only once the
// message for the line before has been received: each line must be sent
// before the next one is read.
TEST_F(BatchRunTest, AddressListIsReadOneLineAtATime) {
  m_dir.WriteFile("mail/one", "x");
  ASSERT_EQ(mkfifo((m_dir.Path() / "list.pipe").c_str(), 0600), 0);
  WriteSettings("mail", "list.pipe");
  testsupport::CScriptedSmtpServer server(testsupport::CSmtpScript::Accepting());
  bool writerWaitedInVain = false;
  std::thread writer([&] {
    const int fd = ::open((m_dir.Path() / "list.pipe").c_str(), O_WRONLY);
    if (fd < 0) return;
    for (int line = 0; line < 3; ++line) {
      const std::string text = "to" + std::to_string(line) + "@example.com\n";
      if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) break;
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (server.SessionCount() <= line || !server.WaitForSessionEnd(line, std::chrono::milliseconds(0))) {
        if (std::chrono::steady_clock::now() > deadline) {
          writerWaitedInVain = true;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    ::close(fd);
  });
  Run(false, server.Port());
  writer.join();
  EXPECT_FALSE(writerWaitedInVain);
  EXPECT_EQ(server.SessionCount(), 3);
  EXPECT_EQ(m_run.m_nAddressCount, 3);
  EXPECT_EQ(m_run.m_strError, "");
}

TEST(BatchRunPaths, JoinPathAddsOneSeparator) {
  EXPECT_EQ(platform::JoinPath("/start", "list.txt"), "/start/list.txt");
  EXPECT_EQ(platform::JoinPath("/", "list.txt"), "/list.txt");
  EXPECT_EQ(platform::JoinPath("", "list.txt"), "/list.txt");
  EXPECT_EQ(platform::JoinPath("/start", "/abs/list.txt"), "/start//abs/list.txt");
  EXPECT_EQ(platform::ResolveUnder("/start", "/abs/list.txt"), "/abs/list.txt");
  EXPECT_EQ(platform::ResolveUnder("/start", "sub/list.txt"), "/start/sub/list.txt");
}

}  // namespace
