// A peer server that a test runs as a child process of its own (Debian's
// python with aiosmtpd) and that ends when a stop file appears.
#pragma once

#include <sys/types.h>

#include <filesystem>

namespace testsupport {

// Makes `stopFile`, waits up to 5 s for child `pid` to end, kills it after
// that, and reaps it. Nothing for a pid of 0 or less.
void StopPeerProcess(pid_t pid, const std::filesystem::path& stopFile);

}  // namespace testsupport
