// The private-profile (INI) functions: one value of a settings file read or
// written per call, the file opened, read and (when it changed) rewritten each
// time. The real functions on Windows; on POSIX the same observable results
// through CIniDocument.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// What a read of `section`/`key` from the file `path` (code-page bytes,
// relative to the working directory or absolute) leaves in a zero-filled buffer
// of `bufferSize` bytes, with the empty string as default: at most
// bufferSize - 1 bytes. A missing file, section or key gives "".
std::string ReadProfileValue(const std::string& path, const std::string& section,
                              const std::string& key, std::size_t bufferSize);

// Writes `value` under `section`/`key`, creating the file, section or key as
// needed, but never a directory. Non-zero on success, including when the
// value was already stored (the file is then left untouched); 0 on failure.
int WriteProfileValue(const std::string& path, const std::string& section,
                       const std::string& key, const std::string& value);

}  // namespace platform
