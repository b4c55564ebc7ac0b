// Opening addresses through GIO against a desktop of the test's own: desktop
// entries and mimeapps.list in scratch XDG folders, and a recording "browser"
// script. GIO reads those folders once per process, so the desktop is set up
// before the first open and kept for the rest of the process.
#include "platform/shell.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/codepage.h"
#include "support/temp_dir.h"

namespace {

using Args = std::vector<std::string>;

// A desktop whose only browser is a script that records its process id, its
// parent's id and its arguments. `handlesHtml`: whether it is also the default
// application of text/html.
class CTestDesktop {
 public:
  explicit CTestDesktop(bool handlesHtml) {
    const std::string root = m_dir.Path().string();
    m_dir.WriteFile("bin/browser",
                    "#!/bin/sh\n{ echo \"$$ $PPID\"; printf '%s\\n' \"$@\"; } > '" + root +
                        "/run.tmp'\nmv '" + root + "/run.tmp' '" + root + "/run'\n");
    chmod((m_dir.Path() / "bin/browser").c_str(), 0755);
    const std::string types = handlesHtml ? "x-scheme-handler/https;text/html;"
                                          : "x-scheme-handler/https;";
    // Its desktop-file id, "postwing-test-web-browser.desktop", comes from the
    // folders it lies in.
    m_dir.WriteFile("share/applications/postwing-test/web/browser.desktop",
                    "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" + root +
                        "/bin/browser --new-window %u\nMimeType=" + types + "\n");
    std::string defaults = "[Default Applications]\n"
                           "x-scheme-handler/https=postwing-test-web-browser.desktop\n";
    if (handlesHtml) defaults += "text/html=postwing-test-web-browser.desktop\n";
    m_dir.WriteFile("config/mimeapps.list", defaults);
    setenv("XDG_DATA_HOME", (root + "/share").c_str(), 1);
    setenv("XDG_DATA_DIRS", (root + "/none").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (root + "/none").c_str(), 1);
  }

  // The browser's last run: its process id, its parent's and its arguments.
  // Waits up to five seconds for it.
  bool LastRun(pid_t* pid, pid_t* parent, Args* args) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string text;
    while ((text = m_dir.ReadFile("run")).empty() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::remove((m_dir.Path() / "run").c_str());
    std::istringstream in(text);
    if (!(in >> *pid >> *parent)) return false;
    in.ignore(1);
    args->clear();
    for (std::string line; std::getline(in, line);) args->push_back(line);
    return true;
  }

 private:
  testsupport::CTempDir m_dir;
};

CTestDesktop& Desktop() {
  static CTestDesktop desktop(true);
  return desktop;
}

// Whether process `pid` has ended (gone, or a zombie of whoever reaps it).
bool HasEnded(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto paren = stat.rfind(')');
  return paren == std::string::npos || stat.compare(paren + 2, 1, "Z") == 0;
}

// Whether an ended child of this process waits to be reaped.
bool HasZombieChild() {
  siginfo_t info{};
  return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

// Opens `url` with `open` and expects the browser to have received it.
void ExpectBrowserRun(int result, const std::string& utf8Url) {
  EXPECT_TRUE(platform::IsOpened(result)) << result;
  pid_t pid = 0, parent = 0;
  Args args;
  ASSERT_TRUE(Desktop().LastRun(&pid, &parent, &args)) << "the browser did not run";
  EXPECT_EQ(args, Args({"--new-window", utf8Url}));
  // The browser is not this process's child, and nothing is left to reap.
  EXPECT_NE(parent, getpid());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!HasEnded(pid) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_FALSE(HasZombieChild());
}

TEST(ShellOpen, StartsTheDefaultHandlerDetachedWithTheAddressAsOneArgument) {
  Desktop();
  // The address stays one argument: no shell sees its '&' or spaces.
  const std::string url = "https://www.example.com/?q=a b&x=1";
  ExpectBrowserRun(platform::ShellOpen(url, platform::kShowNormal), url);
}

TEST(ShellOpen, AddressInTheCodePageReachesTheHandlerAsUtf8) {
  Desktop();
  ExpectBrowserRun(platform::ShellOpen(platform::FromUtf8("https://例子.example/帮助"),
                                       platform::kShowNormal),
                   "https://例子.example/帮助");
}

TEST(ShellOpen, SaysWhyNothingWasOpened) {
  Desktop();
  const struct {
    const char* target;
    int result;
  } cases[] = {
      {"postwing-none:nothing-handles-this", platform::kShellNoAssociation},
      {"file:///nonexistent-postwing-folder/missing.txt", platform::kShellFileNotFound},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::ShellOpen(c.target, platform::kShowNormal), c.result) << c.target;
  }
}

TEST(OpenUrl, FallsBackToTheDefaultApplicationOfWebPages) {
  Desktop();
  // Nothing handles http:// addresses as such; the text/html application does.
  const std::string url = "http://www.example.com/postwing/";
  EXPECT_EQ(platform::ShellOpen(url, platform::kShowNormal), platform::kShellNoAssociation);
  ExpectBrowserRun(platform::OpenUrl(url, platform::kShowNormal), url);
}

TEST(OpenUrl, KeepsTheShellsErrorWithoutAWebPageApplication) {
  // Another desktop needs a fresh process: the test runs in one of its own.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        CTestDesktop withoutHtml(false);
        std::exit(platform::OpenUrl("http://www.example.com/", platform::kShowNormal));
      },
      ::testing::ExitedWithCode(platform::kShellNoAssociation), "");
}

}  // namespace
