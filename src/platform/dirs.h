// The working directory and folder listings. Paths are code-page bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The process's working directory; "" when it cannot be read.
std::string GetWorkingDir();
// Makes `dir` the working directory; false (nothing changed) when it cannot
// be entered, an empty name included.
bool SetWorkingDir(const std::string& dir);

struct DirEntry {
  std::string m_strName;  // bare name, code-page bytes
  bool m_bDirectory = false;
  // A pipe, socket or device: listed, but no file to read (opening a pipe
  // would wait for a writer).
  bool m_bSpecial = false;
};

// The entries directly inside `dir`, in the order the system lists them,
// "." and ".." included where the system reports them (every folder on POSIX,
// every folder but a drive root on Windows). False when `dir` cannot be read.
bool ListDirectory(const std::string& dir, std::vector<DirEntry>& entries);

// The native separator between folder names: "/" on POSIX, "\\" on Windows.
char DirSeparator();
// True when a name can follow `dir` directly: it ends in the separator (or in
// a drive's ":" on Windows).
bool EndsInSeparator(const std::string& dir);

// True for a path from the root ("/..." on POSIX; "\...", "/...", a UNC
// "\\server\..." or a drive "C:..." on Windows).
bool IsAbsolutePath(const std::string& path);

// The size of a file in bytes; 0 when it cannot be read.
std::uintmax_t FileSizeOrZero(const std::string& path);

}  // namespace platform
