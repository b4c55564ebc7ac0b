#include "support/sender_run.h"

#include <sys/wait.h>

#include <cstdio>

namespace testsupport {

SenderOutcome RunSender(const std::filesystem::path& dir, const std::string& args) {
  const std::string command = "cd '" + dir.string() + "' && exec '" POSTWING_BINARY_DIR
                              "/src/tools/postwing-send' " + args + " 2>/dev/null";
  SenderOutcome outcome;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return outcome;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) outcome.output.append(buffer, n);
  const int status = pclose(pipe);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

}  // namespace testsupport
