#include "platform/replacement_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>

namespace platform {
namespace {

constexpr int kNameAttempts = 100;
const char kNameLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kNameRandom = 6;
const char kNameEnd[] = ".postwing-new";

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether `name` is "<base>." + kNameRandom letters or digits + kNameEnd.
bool IsReplacementName(const std::string& name, const std::string& base) {
  const std::size_t end = std::strlen(kNameEnd);
  if (name.size() != base.size() + 1 + kNameRandom + end || name.compare(0, base.size(), base) != 0 ||
      name[base.size()] != '.' || name.compare(name.size() - end, end, kNameEnd) != 0) {
    return false;
  }
  for (std::size_t i = base.size() + 1; i < base.size() + 1 + kNameRandom; ++i) {
    if (std::strchr(kNameLetters, name[i]) == nullptr || name[i] == '\0') return false;
  }
  return true;
}

}  // namespace

CReplacementFile::~CReplacementFile() { Discard(); }

void CReplacementFile::RemoveStale() const {
  const std::string folder = FolderOf(m_strTarget);
  const std::string base = BaseName(m_strTarget);
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  const int dirFd = dirfd(dir);
  const std::time_t now = std::time(nullptr);
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (!IsReplacementName(name, base)) continue;
    struct stat st {};
    if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != geteuid() || now - st.st_mtime < kStaleReplacementAge.count()) {
      continue;
    }
    unlinkat(dirFd, name.c_str(), 0);
  }
  closedir(dir);
}

bool CReplacementFile::Open(mode_t mode) {
  Discard();
  RemoveStale();
#ifdef O_TMPFILE
  // Linking an unnamed file goes through /proc (linkat with AT_EMPTY_PATH
  // needs a privilege); without /proc, a named file from the start.
  if (access("/proc/self/fd", X_OK) == 0) {
    m_fd = open(FolderOf(m_strTarget).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (m_fd >= 0) {
      m_bUnnamed = true;
      return true;
    }
  }
#endif
  // The file system has no unnamed files (or the system is not Linux).
  std::string name = m_strTarget + ".XXXXXX" + kNameEnd;
  m_fd = mkostemps(name.data(), static_cast<int>(std::strlen(kNameEnd)), O_CLOEXEC);
  if (m_fd < 0) return false;
  m_strName = name;
  return true;
}

bool CReplacementFile::Commit() {
  if (m_fd < 0 || fsync(m_fd) != 0) {
    Discard();
    return false;
  }
  if (m_bUnnamed) {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", m_fd);
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < kNameAttempts && m_strName.empty(); ++attempt) {
      std::string name = m_strTarget + ".";
      for (int i = 0; i < kNameRandom; ++i) name += kNameLetters[random() % (sizeof kNameLetters - 1)];
      name += kNameEnd;
      if (linkat(AT_FDCWD, self, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        m_strName = name;
      } else if (errno != EEXIST) {
        break;
      }
    }
  }
  // Renamed straight after it is named, closed after: the moment a kill
  // can leave the name behind stays as short as it can be.
  if (m_strName.empty() || rename(m_strName.c_str(), m_strTarget.c_str()) != 0) {
    Discard();
    return false;
  }
  m_strName.clear();
  const bool closed = close(m_fd) == 0;
  m_fd = -1;
  return closed;
}

void CReplacementFile::Discard() {
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
  if (!m_strName.empty()) unlink(m_strName.c_str());
  m_strName.clear();
  m_bUnnamed = false;
}

}  // namespace platform
