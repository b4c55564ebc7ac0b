// The window program as a process of its own, started as a person starts it:
// in a fresh copy of its run folder, and watched from outside (its windows on
// the X server, its exit).
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include <wx/gdicmn.h>
#include <wx/string.h>

#include "support/temp_dir.h"

namespace uitest {

class CProgramProcess {
 public:
  CProgramProcess();
  // Ends the program if it still runs.
  ~CProgramProcess();
  CProgramProcess(const CProgramProcess&) = delete;
  CProgramProcess& operator=(const CProgramProcess&) = delete;

  // The run folder (a copy of runtime/), to be prepared before Start.
  const std::filesystem::path& Folder() const { return m_dir.Path(); }
  // Starts the built program in the run folder, with this process's
  // environment less its locale variables, plus `variables`; whether it
  // started.
  bool Start(const std::map<wxString, wxString>& variables = {});
  long Pid() const { return m_pid; }
  // Its exit status once it has ended (the ending seen while events were
  // dispatched), nothing while it runs.
  std::optional<int> ExitStatus() const;
  // The largest of its windows that is mapped (an X window id and its place
  // on the screen), or nothing; its notification-area icon, tooltips and
  // menus do not count.
  std::optional<std::pair<unsigned long, wxRect>> MappedWindow() const;

 private:
  class CWatch;
  testsupport::CTempDir m_dir;
  long m_pid = 0;
  std::shared_ptr<std::optional<int>> m_status;
  CWatch* m_watch = nullptr;  // wx's child watch, owned while the child runs
};

}  // namespace uitest
