#include "support/peer_process.h"

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace testsupport {

namespace {

constexpr int kStopPolls = 100;
constexpr std::chrono::milliseconds kStopPoll(50);

}  // namespace

void StopPeerProcess(pid_t pid, const std::filesystem::path& stopFile) {
  if (pid <= 0) return;
  std::FILE* stop = std::fopen(stopFile.c_str(), "w");
  if (stop != nullptr) std::fclose(stop);
  int status = 0;
  for (int i = 0; i < kStopPolls && waitpid(pid, &status, WNOHANG) == 0; ++i) {
    std::this_thread::sleep_for(kStopPoll);
  }
  if (waitpid(pid, &status, WNOHANG) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
}

}  // namespace testsupport
