#include "platform/dirs.h"

#include <windows.h>

#include <cctype>
#include <utility>

#include "platform/codepage.h"

namespace platform {

std::string GetWorkingDir() {
  DWORD size = GetCurrentDirectoryA(0, nullptr);
  if (size == 0) return std::string();
  std::string dir(size, '\0');
  const DWORD length = GetCurrentDirectoryA(size, dir.data());
  if (length == 0 || length >= size) return std::string();
  dir.resize(length);
  return dir;
}

std::filesystem::path WorkingDirPath() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {};
  std::wstring dir(size, L'\0');
  const DWORD length = GetCurrentDirectoryW(size, dir.data());
  if (length == 0 || length >= size) return {};
  dir.resize(length);
  return std::filesystem::path(dir);
}

bool SetWorkingDir(const std::string& dir) {
  if (dir.empty()) return false;
  return SetCurrentDirectoryA(dir.c_str()) != 0;
}

bool SetWorkingDirPath(const std::filesystem::path& dir) {
  return !dir.empty() && SetCurrentDirectoryW(dir.c_str()) != 0;
}

bool ListDirectory(const std::string& dir, std::vector<DirEntry>& entries) {
  entries.clear();
  std::string pattern = dir;
  if (!pattern.empty() && !EndsInSeparator(pattern) && pattern.back() != '/') pattern += '\\';
  pattern += "*.*";
  // The wide calls give every name as it is; the code-page form is for
  // showing and comparing, the native one for opening.
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(NativePath(pattern).c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) {
    // An empty drive root lists nothing at all; that is an empty listing.
    return GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  do {
    DirEntry item;
    item.m_native = std::filesystem::path(data.cFileName);
    item.m_strName = PathToCodePage(item.m_native);
    item.m_bDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    item.m_bSpecial = (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0;
    entries.push_back(std::move(item));
  } while (FindNextFileW(search, &data));
  FindClose(search);
  return true;
}

char DirSeparator() { return '\\'; }

bool EndsInSeparator(const std::string& dir) {
  return !dir.empty() && (dir.back() == '\\' || dir.back() == ':');
}

bool IsAbsolutePath(const std::string& path) {
  if (path.empty()) return false;
  if (path[0] == '\\' || path[0] == '/') return true;  // from the root, or UNC
  return path.size() >= 2 && path[1] == ':' &&
         std::isalpha(static_cast<unsigned char>(path[0])) != 0;
}

std::uintmax_t FileSizeOrZero(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
  return (static_cast<std::uintmax_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace platform
