// A stand-in for the desktop's URL handlers, so that tests can open links
// without starting a browser. It puts scripts named xdg-open and xdg-mime first
// in PATH and a desktop entry for a recording "browser" in XDG_DATA_HOME; every
// program records its arguments, one per line, in a file. The environment is
// restored when the object ends.
#pragma once

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace testsupport {

class CFakeShell {
 public:
  CFakeShell();
  ~CFakeShell();
  CFakeShell(const CFakeShell&) = delete;
  CFakeShell& operator=(const CFakeShell&) = delete;

  // xdg-open exits with `status` (0 opens, 3 or 4 means no handler).
  void SetOpenerExit(int status);
  // xdg-mime names the desktop entry "fake-browser.desktop" whose Exec line is
  // `exec` ("" makes xdg-mime report nothing). "@BROWSER@" in `exec` stands for
  // the recording browser's path.
  void SetBrowserExec(const std::string& exec);

  // The arguments xdg-open and the browser received, over all their runs.
  std::vector<std::string> OpenerArgs() const;
  // Waits up to two seconds for the browser to have run (it is started
  // without waiting), then returns its arguments.
  std::vector<std::string> BrowserArgs() const;

 private:
  void WriteScript(const std::string& name, const std::string& body) const;

  CTempDir m_dir;
  std::string m_savedPath, m_savedDataHome, m_savedDataDirs;
  bool m_hadDataHome = false, m_hadDataDirs = false;
};

}  // namespace testsupport
