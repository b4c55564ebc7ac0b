#include "platform/dirs.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>
#include <utility>

#include "platform/codepage.h"

namespace platform {

std::filesystem::path WorkingDirPath() {
  std::error_code ec;
  std::filesystem::path cwd = std::filesystem::current_path(ec);
  return ec ? std::filesystem::path() : cwd;
}

std::string GetWorkingDir() {
  const std::filesystem::path cwd = WorkingDirPath();
  return cwd.empty() ? std::string() : PathToCodePage(cwd);
}

bool SetWorkingDirPath(const std::filesystem::path& dir) {
  return !dir.empty() && ::chdir(dir.c_str()) == 0;
}

bool SetWorkingDir(const std::string& dir) {
  return !dir.empty() && SetWorkingDirPath(FindNativePath(dir));
}

bool ListDirectory(const std::string& dir, std::vector<DirEntry>& entries) {
  entries.clear();
  const std::filesystem::path native = FindNativePath(dir);
  DIR* stream = ::opendir(native.c_str());
  if (stream == nullptr) return false;
  // readdir gives the directory's own order, "." and ".." included, which is
  // what the run walks.
  while (const dirent* entry = ::readdir(stream)) {
    DirEntry item;
    item.m_native = std::filesystem::path(entry->d_name);
    item.m_strName = PathToCodePage(item.m_native);
    unsigned char type = entry->d_type;
    if (type == DT_UNKNOWN || type == DT_LNK) {
      // A link counts as what it leads to, as the target is what opens.
      struct stat info {};
      const std::filesystem::path full = native / entry->d_name;
      if (::stat(full.c_str(), &info) == 0) {
        type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_FIFO;
      } else {
        type = DT_REG;  // a broken link: a file that cannot be opened
      }
    }
    item.m_bDirectory = type == DT_DIR;
    item.m_bSpecial = type != DT_DIR && type != DT_REG;
    entries.push_back(std::move(item));
  }
  ::closedir(stream);
  return true;
}

char DirSeparator() { return '/'; }

bool EndsInSeparator(const std::string& dir) { return !dir.empty() && dir.back() == '/'; }

bool IsAbsolutePath(const std::string& path) {
  return !path.empty() && path[0] == '/';
}

std::uintmax_t FileSizeOrZero(const std::string& path) {
  return NativeFileSizeOrZero(FindNativePath(path));
}

}  // namespace platform
