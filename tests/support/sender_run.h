// postwing-send run to its end, as a scheduled job runs it: in a folder of its
// own, its standard output kept and its exit status read.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

struct SenderOutcome {
  std::string output;
  int status = -1;  // the exit status; -1 when it did not exit by itself
};

// Runs the built postwing-send with `args` in `dir` (standard error dropped).
SenderOutcome RunSender(const std::filesystem::path& dir, const std::string& args = "");

}  // namespace testsupport
