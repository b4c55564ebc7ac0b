#include "support/fake_shell.h"

// POSIX only: the Windows shell is not faked.
#ifndef _WIN32

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace testsupport {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void Restore(const char* name, bool had, const std::string& value) {
  if (had) {
    setenv(name, value.c_str(), 1);
  } else {
    unsetenv(name);
  }
}

}  // namespace

CFakeShell::CFakeShell() {
  const char* path = std::getenv("PATH");
  m_savedPath = path != nullptr ? path : "";
  if (const char* v = std::getenv("XDG_DATA_HOME")) m_savedDataHome = v, m_hadDataHome = true;
  if (const char* v = std::getenv("XDG_DATA_DIRS")) m_savedDataDirs = v, m_hadDataDirs = true;

  const std::string root = m_dir.Path().string();
  setenv("PATH", (root + "/bin:" + m_savedPath).c_str(), 1);
  setenv("XDG_DATA_HOME", (root + "/share").c_str(), 1);
  setenv("XDG_DATA_DIRS", (root + "/none").c_str(), 1);
  WriteScript("browser", "printf '%s\\n' \"$@\" >> '" + root + "/browser.args'\n");
  SetOpenerExit(0);
  SetBrowserExec("");
}

CFakeShell::~CFakeShell() {
  setenv("PATH", m_savedPath.c_str(), 1);
  Restore("XDG_DATA_HOME", m_hadDataHome, m_savedDataHome);
  Restore("XDG_DATA_DIRS", m_hadDataDirs, m_savedDataDirs);
}

void CFakeShell::WriteScript(const std::string& name, const std::string& body) const {
  m_dir.WriteFile("bin/" + name, "#!/bin/sh\n" + body);
  chmod((m_dir.Path() / "bin" / name).c_str(), 0755);
}

void CFakeShell::SetOpenerExit(int status) {
  WriteScript("xdg-open", "printf '%s\\n' \"$@\" >> '" + m_dir.Path().string() +
                              "/opener.args'\nexit " + std::to_string(status) + "\n");
}

void CFakeShell::SetBrowserExec(const std::string& exec) {
  if (exec.empty()) {
    WriteScript("xdg-mime", "exit 0\n");
    return;
  }
  WriteScript("xdg-mime", "echo fake-browser.desktop\n");
  std::string line = exec;
  const std::string marker = "@BROWSER@";
  if (const auto at = line.find(marker); at != std::string::npos) {
    line.replace(at, marker.size(), (m_dir.Path() / "bin" / "browser").string());
  }
  m_dir.WriteFile("share/applications/fake-browser.desktop",
                  "[Desktop Entry]\nType=Application\nName=Fake\nExec[zh_CN]=wrong %u\n"
                  "Exec=" + line + "\n\n[Desktop Action other]\nExec=wrong %u\n");
}

std::vector<std::string> CFakeShell::OpenerArgs() const {
  return Lines(m_dir.ReadFile("opener.args"));
}

std::vector<std::string> CFakeShell::BrowserArgs() const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (m_dir.ReadFile("browser.args").empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return Lines(m_dir.ReadFile("browser.args"));
}

}  // namespace testsupport

#endif  // _WIN32
