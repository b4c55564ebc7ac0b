#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "platform/console.h"

namespace platform {
namespace {

std::atomic<void (*)()> g_onStop{nullptr};

void OnSignal(int) {
  if (auto onStop = g_onStop.load()) onStop();
}

}  // namespace

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void WriteText(std::FILE* stream, std::string_view utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

void CatchStopRequests(void (*onStop)()) {
  g_onStop = onStop;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a waiting call returns at once, so the run sees the stop
  // at its next slice.
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace platform
