#include <windows.h>
#include <io.h>

#include <atomic>
#include <cstdio>

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

void CatchStopRequests(void (*onStop)()) {
  g_onStop = onStop;
  SetConsoleCtrlHandler(OnControl, TRUE);
}

}  // namespace platform
