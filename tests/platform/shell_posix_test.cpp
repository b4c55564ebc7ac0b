#include "platform/shell.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/codepage.h"
#include "support/fake_shell.h"

namespace {

using Args = std::vector<std::string>;

TEST(ShellOpen, HandsTheAddressToXdgOpenAndMapsItsVerdict) {
  testsupport::CFakeShell shell;
  EXPECT_GT(platform::ShellOpen("https://www.example.com/a?b=1&c=2", platform::kShowNormal), 32);
  EXPECT_EQ(shell.OpenerArgs(), Args({"https://www.example.com/a?b=1&c=2"}));

  shell.SetOpenerExit(2);
  EXPECT_EQ(platform::ShellOpen("file:///missing", platform::kShowNormal), 2);
  shell.SetOpenerExit(3);
  EXPECT_EQ(platform::ShellOpen("mailto:a@b", platform::kShowNormal), 31);
  shell.SetOpenerExit(4);
  EXPECT_EQ(platform::ShellOpen("mailto:a@b", platform::kShowNormal), 31);
}

TEST(ShellOpen, AddressInTheCodePageReachesTheOpenerAsUtf8) {
  testsupport::CFakeShell shell;
  EXPECT_GT(platform::ShellOpen(platform::FromUtf8("https://例子.example/帮助"), 5), 32);
  EXPECT_EQ(shell.OpenerArgs(), Args({"https://例子.example/帮助"}));
}

TEST(DefaultBrowserCommand, ReadsTheExecLineOfTheDefaultHtmlEntry) {
  testsupport::CFakeShell shell;
  std::string command;
  EXPECT_FALSE(platform::DefaultBrowserCommand(&command));
  shell.SetBrowserExec(R"(@BROWSER@ --private\swindow %u --tail)");
  ASSERT_TRUE(platform::DefaultBrowserCommand(&command));
  EXPECT_NE(command.find(" --private window %u --tail"), std::string::npos) << command;
}

TEST(OpenUrl, FallsBackToTheBrowserCutAtItsPlaceholder) {
  testsupport::CFakeShell shell;
  shell.SetOpenerExit(3);
  shell.SetBrowserExec(R"("@BROWSER@" --new-window "%u" --dropped)");
  // The address stays one argument: no shell sees its '&' or spaces.
  EXPECT_GT(platform::OpenUrl("https://www.example.com/?q=a b&x=1", 5), 32);
  EXPECT_EQ(shell.BrowserArgs(), Args({"--new-window", "https://www.example.com/?q=a b&x=1"}));
}

TEST(OpenUrl, KeepsTheOpenersErrorWhenThereIsNoBrowser) {
  testsupport::CFakeShell shell;
  shell.SetOpenerExit(4);
  EXPECT_EQ(platform::OpenUrl("https://www.example.com/", 5), 31);
  shell.SetBrowserExec("/nonexistent/browser %U");
  EXPECT_EQ(platform::OpenUrl("https://www.example.com/", 5), 2);
}

}  // namespace
