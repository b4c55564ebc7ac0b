#include <windows.h>
#include <io.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "platform/console.h"

namespace platform {
namespace {

std::atomic<void (*)()> g_onStop{nullptr};

BOOL WINAPI OnControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      if (auto onStop = g_onStop.load()) onStop();
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void WriteText(std::FILE* stream, std::string_view utf8) {
  std::fflush(stream);
  const int fd = _fileno(stream);
  DWORD mode = 0;
  HANDLE console = fd >= 0 && _isatty(fd) ? reinterpret_cast<HANDLE>(_get_osfhandle(fd)) : nullptr;
  if (console == nullptr || console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode) ||
      utf8.empty()) {
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
    return;
  }
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), length);
  for (std::size_t at = 0; at < text.size();) {
    DWORD written = 0;
    if (!WriteConsoleW(console, text.data() + at, static_cast<DWORD>(text.size() - at), &written, nullptr) ||
        written == 0) {
      return;
    }
    at += written;
  }
}

void CatchStopRequests(void (*onStop)()) {
  g_onStop = onStop;
  // A program started in a process group of its own, or by one that ignores
  // Ctrl+C, inherits the flag that ignores it, and the handler would never
  // hear the key: the flag is cleared.
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(OnControl, TRUE);
}

}  // namespace platform
