// The part of the path helpers that is the same on every system.
#include "platform/dirs.h"

#include <system_error>

namespace platform {

std::string JoinPath(const std::string& directory, const std::string& name) {
  std::string path = directory;
  if (!EndsInSeparator(path)) path += DirSeparator();
  path += name;
  return path;
}

std::string ResolveUnder(const std::string& directory, const std::string& name) {
  return IsAbsolutePath(name) ? name : JoinPath(directory, name);
}

std::filesystem::path EnterNearestDir(const std::filesystem::path& dir) {
  std::filesystem::path candidate = dir;
  for (;;) {
    std::error_code ec;
    if (!candidate.empty() && std::filesystem::is_directory(candidate, ec) &&
        SetWorkingDirPath(candidate)) {
      return candidate;
    }
    if (candidate.empty() || candidate == candidate.parent_path()) break;
    candidate = candidate.parent_path();
  }
  const std::filesystem::path root = dir.has_root_path() ? dir.root_path()
                                                         : std::filesystem::path("/");
  return SetWorkingDirPath(root) ? root : std::filesystem::path();
}

std::uintmax_t NativeFileSizeOrZero(const std::filesystem::path& path) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  return ec ? 0 : size;
}

bool MakeFolder(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::create_directory(path, error);
  return std::filesystem::is_directory(path, error);
}

}  // namespace platform
