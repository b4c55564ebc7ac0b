// Small helpers over POSIX file descriptors, shared by the _posix.cpp files of
// this folder. Not for use outside the platform layer.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace platform {

// Writes all `size` bytes, going on after short writes and interruptions.
inline bool WriteAll(int fd, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads up to `size` bytes, retrying interruptions: the count, 0 at the end
// of the file, -1 on an error.
inline ssize_t ReadSome(int fd, char* data, std::size_t size) {
  for (;;) {
    const ssize_t n = read(fd, data, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

}  // namespace platform
