#include "ui/support/program_process.h"

#include <wx/process.h>
#include <wx/utils.h>

#include "ui/support/desktop.h"
#include "ui/support/xdotool.h"

namespace uitest {

namespace {

const char kProgram[] = POSTWING_BINARY_DIR "/src/ui/postwing";
constexpr std::chrono::seconds kEndWait(10);

}  // namespace

// Keeps the exit status where the test object can read it, even when the
// child ends after the test object (it then deletes itself).
class CProgramProcess::CWatch : public wxProcess {
 public:
  explicit CWatch(std::shared_ptr<std::optional<int>> status) : m_status(std::move(status)) {}
  void OnTerminate(int, int status) override {
    *m_status = status;
    if (m_bOrphan) delete this;
  }
  bool m_bOrphan = false;

 private:
  std::shared_ptr<std::optional<int>> m_status;
};

CProgramProcess::CProgramProcess() : m_status(std::make_shared<std::optional<int>>()) {
  std::filesystem::copy(POSTWING_SOURCE_DIR "/runtime", m_dir.Path(),
                        std::filesystem::copy_options::recursive);
}

CProgramProcess::~CProgramProcess() {
  if (m_watch == nullptr) return;
  if (!m_status->has_value()) {
    wxKill(m_pid, wxSIGTERM);
    if (!WaitFor([this] { return m_status->has_value(); }, kEndWait)) {
      wxKill(m_pid, wxSIGKILL);
      WaitFor([this] { return m_status->has_value(); }, kEndWait);
    }
  }
  if (m_status->has_value()) {
    delete m_watch;
  } else {
    m_watch->m_bOrphan = true;
  }
}

bool CProgramProcess::Start(const std::map<wxString, wxString>& variables) {
  wxExecuteEnv env;
  env.cwd = m_dir.Path().string();
  wxGetEnvMap(&env.env);
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LC_MESSAGES", "LANG", "LANGUAGE"}) {
    env.env.erase(name);
  }
  for (const auto& [name, value] : variables) env.env[name] = value;
  m_watch = new CWatch(m_status);
  m_pid = wxExecute(kProgram, wxEXEC_ASYNC, m_watch, &env);
  if (m_pid > 0) return true;
  delete m_watch;
  m_watch = nullptr;
  return false;
}

std::optional<int> CProgramProcess::ExitStatus() const { return *m_status; }

namespace {

// Whether X window `id` is a window of the program's own on the screen (a
// main window or a dialog), not its notification-area icon (embedded in the
// tray, without a type), a tooltip or a menu.
bool IsOwnWindow(unsigned long id) {
  for (const std::string& line : Xprop(wxString::Format("-id %lu _NET_WM_WINDOW_TYPE", id))) {
    if (line.find("_NET_WM_WINDOW_TYPE_NORMAL") != std::string::npos ||
        line.find("_NET_WM_WINDOW_TYPE_DIALOG") != std::string::npos) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<std::pair<unsigned long, wxRect>> CProgramProcess::MappedWindow() const {
  std::optional<std::pair<unsigned long, wxRect>> largest;
  if (m_pid <= 0) return largest;
  for (const auto& window : WindowGeometries(wxString::Format("--onlyvisible --pid %ld", m_pid))) {
    if (!IsOwnWindow(window.first)) continue;
    const wxRect& rect = window.second;
    if (!largest || rect.width * rect.height > largest->second.width * largest->second.height) {
      largest = window;
    }
  }
  return largest;
}

}  // namespace uitest
