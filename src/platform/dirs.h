// The working directory, folder listings and path names. Paths held as
// strings are code-page bytes; names read from the file system are also kept
// as native paths, which open again byte for byte whatever their encoding.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace platform {

// The process's working directory; "" when it cannot be read.
std::string GetWorkingDir();
// The same as a native path; empty when it cannot be read.
std::filesystem::path WorkingDirPath();
// Makes `dir` the working directory; false (nothing changed) when it cannot
// be entered, an empty name included. A code-page name is found as
// FindNativePath finds it.
bool SetWorkingDir(const std::string& dir);
bool SetWorkingDirPath(const std::filesystem::path& dir);

// Makes the nearest folder that can be entered the working directory: `dir`
// itself, else the closest of its parents, else the root; returns it (empty
// when not even the root could be entered).
std::filesystem::path EnterNearestDir(const std::filesystem::path& dir);

struct DirEntry {
  std::string m_strName;  // bare name, code-page bytes (PathToCodePage)
  std::filesystem::path m_native;  // bare name as the system gave it
  bool m_bDirectory = false;
  // A pipe, socket or device: listed, but no file to read (opening a pipe
  // would wait for a writer).
  bool m_bSpecial = false;
};

// The entries directly inside `dir`, in the order the system lists them,
// "." and ".." included where the system reports them (every folder on POSIX,
// every folder but a drive root on Windows). False when `dir` cannot be read.
bool ListDirectory(const std::string& dir, std::vector<DirEntry>& entries);

// Directory plus the native separator (unless it already ends in one, or in
// ":" on Windows) plus a name. An empty directory gives the separator and the
// name; a name that is absolute is not recognised.
std::string JoinPath(const std::string& directory, const std::string& name);
// `name` itself when it is an absolute path, else JoinPath(directory, name).
std::string ResolveUnder(const std::string& directory, const std::string& name);

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
std::uintmax_t NativeFileSizeOrZero(const std::filesystem::path& path);

// Makes the folder `path` unless it is there; false when it is not there
// afterwards (no parents are made).
bool MakeFolder(const std::filesystem::path& path);

}  // namespace platform
