// The peak resident memory of a benchmark's own program started again as a
// child with other arguments, so that one measure runs alone in a process.
#pragma once

#include <string>
#include <vector>

namespace bench {

// Runs `self` with `arguments` and waits for it; its peak resident memory in
// KiB, or -1 when it could not run or did not exit with status 0.
long ChildPeakKib(const char* self, const std::vector<std::string>& arguments);

}  // namespace bench
