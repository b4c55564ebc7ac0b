#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/codepage.h"
#include "platform/ini_document.h"
#include "platform/posix_fd.h"
#include "platform/replacement_file.h"

namespace platform {
namespace {

enum class LoadResult { kMissing, kLoaded, kFailed };

// Reads the whole file at `path` into `bytes`.
LoadResult LoadFile(const std::string& path, std::string& bytes) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? LoadResult::kMissing
                                                           : LoadResult::kFailed;
  LoadResult result = LoadResult::kLoaded;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) result = LoadResult::kFailed;
  char buffer[16384];
  while (result == LoadResult::kLoaded) {
    const ssize_t n = ReadSome(fd, buffer, sizeof buffer);
    if (n > 0) {
      bytes.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0) {
      break;
    } else {
      result = LoadResult::kFailed;
    }
  }
  close(fd);
  return result;
}

// Replaces the file at `path` with `text`. The new text goes to a new file
// beside it (unnamed where the system allows, so a killed save leaves no
// litter), which is renamed over the old one only once it is complete,
// so a failed write (a full disk) leaves the old file whole. The file keeps
// its mode; a new file is readable by its owner only, since it holds a
// password. A file without any write permission is read-only and stays so.
bool SaveFile(const std::string& path, const std::string& text) {
  struct stat st {};
  const bool exists = stat(path.c_str(), &st) == 0;
  if (exists && ((st.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0)) return false;
  const mode_t mode = exists ? (st.st_mode & 07777) : 0600;

  CReplacementFile replacement(path);
  if (!replacement.Open(mode)) {
    if (!exists) return false;
    // The folder takes no new files, but the file itself may be writable:
    // rewrite it in place.
    const int inPlace = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (inPlace < 0) return false;
    const bool written = WriteAll(inPlace, text.data(), text.size());
    return close(inPlace) == 0 && written;
  }
  const int fd = replacement.Fd();
  return fchmod(fd, mode) == 0 && WriteAll(fd, text.data(), text.size()) && replacement.Commit();
}

}  // namespace

std::string ReadProfileValue(const std::string& path, const std::string& section,
                              const std::string& key, std::size_t bufferSize) {
  if (path.empty()) return {};
  std::string bytes;
  if (LoadFile(NativePath(path).string(), bytes) != LoadResult::kLoaded) return {};
  return ClipProfileValue(CIniDocument(bytes).Get(section, key), bufferSize);
}

int WriteProfileValue(const std::string& path, const std::string& section,
                       const std::string& key, const std::string& value) {
  if (path.empty()) return 0;
  std::string target = NativePath(path).string();
  // Through a symbolic link the file it points to is rewritten, not the link.
  char resolved[PATH_MAX];
  if (realpath(target.c_str(), resolved) != nullptr) target = resolved;

  std::string bytes;
  if (LoadFile(target, bytes) == LoadResult::kFailed) return 0;
  CIniDocument document(bytes);
  if (!document.Set(section, key, value)) return 1;
  return SaveFile(target, document.Serialize()) ? 1 : 0;
}

}  // namespace platform
