// Input from a thread of its own, for the moments the window's thread is held
// in a loop of the toolkit's: a pop-up menu runs one on that thread until it
// closes. The test's thread keeps dispatching events (WaitFor) while this one
// clicks, waits for windows on the X server and presses keys. Nothing here
// touches wx or GTK: xdotool runs as a child process and the X server is asked
// through a connection of its own.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include <wx/gdicmn.h>

namespace uitest {

// Runs `xdotool <args>` (words separated by blanks) and waits for it to end;
// whether it succeeded.
bool SpawnXdotool(const std::string& args);

// The screen rectangle of a pop-up menu (a top-level window of the type
// _NET_WM_WINDOW_TYPE_POPUP_MENU) once one is mapped, or nothing when none is
// mapped within `limit`.
std::optional<wxRect> WaitForPopupMenu(std::chrono::milliseconds limit);

// Whether no pop-up menu is mapped, or none is any more within `limit`.
bool WaitForNoPopupMenu(std::chrono::milliseconds limit);

// Runs `script` on a thread of its own from construction; the destructor
// waits for it.
class CInputThread {
 public:
  explicit CInputThread(std::function<bool()> script);
  ~CInputThread();
  CInputThread(const CInputThread&) = delete;
  CInputThread& operator=(const CInputThread&) = delete;

  bool Done() const { return m_done.load(); }
  // What the script returned; false until it is done.
  bool Succeeded() const { return m_done.load() && m_ok; }

 private:
  bool m_ok = false;
  std::atomic<bool> m_done{false};
  std::thread m_thread;
};

}  // namespace uitest
