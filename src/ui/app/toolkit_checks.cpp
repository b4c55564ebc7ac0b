#include "ui/app/toolkit_checks.h"

#include <atomic>
#include <mutex>

#include <wx/datetime.h>
#include <wx/debug.h>
#include <wx/ffile.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>

namespace {

constexpr const char kSettingsFolder[] = "ini";
constexpr const char kLogName[] = "wx-checks.log";
// A program caught in a loop that trips a check would fill the disk: past
// this many lines the rest are dropped.
constexpr int kMaxLines = 200;

wxString g_logPath;
std::mutex g_logMutex;
std::atomic<int> g_lines{0};
// A check tripped while one is being written (the file classes check too)
// is dropped instead of recursing.
thread_local bool t_writing = false;

void WriteCheck(const wxString& file, int line, const wxString& func, const wxString& cond,
                const wxString& msg) {
  if (t_writing || g_logPath.empty() || g_lines >= kMaxLines) return;
  t_writing = true;
  {
    std::lock_guard<std::mutex> lock(g_logMutex);
    wxLogNull quiet;  // a log that cannot be written is no message to show either
    wxFFile log;
    // The settings folder is the program's; without one nothing is written.
    if (g_lines < kMaxLines && wxDirExists(wxFileName(g_logPath).GetPath()) && log.Open(g_logPath, "ab")) {
      ++g_lines;
      wxString text = wxDateTime::Now().FormatISOCombined(' ') + " " + file + ":" +
                      wxString::Format("%d", line) + " " + func + ": " + cond;
      if (!msg.empty()) text += " (" + msg + ")";
      text.Replace("\r", " ");
      text.Replace("\n", " ");
      log.Write(text + "\r\n", wxConvUTF8);
    }
  }
  t_writing = false;
}

}  // namespace

wxString ToolkitChecksLogPath(const wxString& startDir) {
  wxFileName path(startDir, "");
  path.AppendDir(kSettingsFolder);
  path.SetFullName(kLogName);
  return path.GetFullPath();
}

void RouteToolkitChecksToLog() {
  g_logPath = ToolkitChecksLogPath(wxGetCwd());
  g_lines = 0;
  wxSetAssertHandler(WriteCheck);
}
