#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

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
      {"broken", "list.txt", "无法打开邮件文件."},
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

TEST(BatchRunPaths, JoinPathAddsOneSeparator) {
  EXPECT_EQ(platform::JoinPath("/start", "list.txt"), "/start/list.txt");
  EXPECT_EQ(platform::JoinPath("/", "list.txt"), "/list.txt");
  EXPECT_EQ(platform::JoinPath("", "list.txt"), "/list.txt");
  EXPECT_EQ(platform::JoinPath("/start", "/abs/list.txt"), "/start//abs/list.txt");
  EXPECT_EQ(platform::ResolveUnder("/start", "/abs/list.txt"), "/abs/list.txt");
  EXPECT_EQ(platform::ResolveUnder("/start", "sub/list.txt"), "/start/sub/list.txt");
}

}  // namespace
