#include "ui/support/desktop.h"

#include <utility>

#include <wx/process.h>
#include <wx/taskbar.h>
#include <wx/utils.h>
#include <wx/window.h>

#include "ui/support/xdotool.h"

namespace uitest {

std::vector<std::pair<unsigned long, wxRect>> WindowGeometries(const wxString& searchArgs) {
  wxArrayString ids, err;
  std::vector<std::pair<unsigned long, wxRect>> found;
  if (wxExecute("xdotool search " + searchArgs, ids, err, wxEXEC_SYNC | wxEXEC_NODISABLE) != 0) {
    return found;
  }
  for (const wxString& id : ids) {
    unsigned long window = 0;
    if (!id.ToULong(&window)) continue;
    wxArrayString out;
    if (wxExecute("xdotool getwindowgeometry --shell " + id, out, err,
                  wxEXEC_SYNC | wxEXEC_NODISABLE) != 0) {
      continue;
    }
    wxRect rect;
    for (const wxString& line : out) {
      long value = 0;
      if (!line.AfterFirst('=').ToLong(&value)) continue;
      const int v = static_cast<int>(value);
      if (line.StartsWith("X=")) rect.x = v;
      if (line.StartsWith("Y=")) rect.y = v;
      if (line.StartsWith("WIDTH=")) rect.width = v;
      if (line.StartsWith("HEIGHT=")) rect.height = v;
    }
    found.emplace_back(window, rect);
  }
  return found;
}

// The next test's desktop must not meet this one still leaving.
CDesktopProgram::~CDesktopProgram() {
  if (m_pid > 0) {
    wxKill(m_pid, wxSIGTERM);
    if (!WaitFor([this] { return !wxProcess::Exists(m_pid); }, std::chrono::seconds(5))) {
      wxKill(m_pid, wxSIGKILL);
      WaitFor([this] { return !wxProcess::Exists(m_pid); }, std::chrono::seconds(5));
    }
  }
}

bool CDesktopProgram::Start(const wxString& command) {
  m_pid = wxExecute(command, wxEXEC_ASYNC);
  return m_pid > 0;
}

bool CTray::Start() {
  return CDesktopProgram::Start(
             "trayer --edge top --align left --widthtype request --height 32 "
             "--SetDockType true --expand true") &&
         WaitFor([] { return wxTaskBarIcon::IsAvailable(); });
}

wxRect CTray::ScreenRect() const {
  const auto found = WindowGeometries(wxString::Format("--onlyvisible --pid %ld", Pid()));
  return found.empty() ? wxRect() : found.front().second;
}

bool CTray::HoldsAnIcon() const {
  const wxRect rect = ScreenRect();
  return rect.height > 0 && rect.width >= rect.height;
}

namespace {

// Whether a window manager runs: the root's _NET_SUPPORTING_WM_CHECK names a
// window that exists and names the window manager. The root keeps the
// property after a window manager has gone, and the X server gives a new
// program the window ids of one that has ended, so the window itself is asked.
bool WindowManagerRuns() {
  for (const std::string& line : Xprop("-root _NET_SUPPORTING_WM_CHECK")) {
    const std::size_t id = line.find("window id # ");
    if (id == std::string::npos) continue;
    for (const std::string& name :
         Xprop("-id " + wxString::FromUTF8(line.substr(id + 12)) + " _NET_WM_NAME")) {
      if (name.find("Openbox") != std::string::npos) return true;
    }
  }
  return false;
}

}  // namespace

bool CWindowManager::Start() {
  return CDesktopProgram::Start("openbox --sm-disable") && WaitFor(WindowManagerRuns);
}

std::vector<std::string> Xprop(const wxString& args) {
  wxArrayString out, err;
  std::vector<std::string> lines;
  if (wxExecute("xprop " + args, out, err, wxEXEC_SYNC | wxEXEC_NODISABLE) != 0) return lines;
  for (const wxString& line : out) lines.push_back(line.utf8_string());
  return lines;
}

unsigned long MappedWindowId(const wxWindow* window) {
  for (const auto& [id, rect] :
       WindowGeometries(wxString::Format("--onlyvisible --pid %lu", wxGetProcessId()))) {
    if (rect.GetSize() == window->GetClientSize()) return id;
  }
  return 0;
}

}  // namespace uitest
