#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/journal_file.h"
#include "platform/posix_fd.h"

namespace platform {
namespace {

// Flushes the folder holding `path`, so that a rename in it is on the disk.
void SyncFolderOf(const std::filesystem::path& path) {
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

bool CJournalFile::Create(const std::filesystem::path& native, std::string_view contents) {
  Close();
  std::filesystem::path temporary = native;
  temporary += ".new";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, contents.data(), contents.size()) && fdatasync(fd) == 0;
  close(fd);
  if (!written || rename(temporary.c_str(), native.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  SyncFolderOf(native);
  return OpenForAppend(native);
}

bool CJournalFile::OpenForAppend(const std::filesystem::path& path) {
  Close();
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return false;
  m_hFile = fd;
  return true;
}

bool CJournalFile::Append(std::string_view bytes) {
  return IsOpen() && WriteAll(static_cast<int>(m_hFile), bytes.data(), bytes.size());
}

bool CJournalFile::Sync() { return IsOpen() && fdatasync(static_cast<int>(m_hFile)) == 0; }

void CJournalFile::Close() {
  if (IsOpen()) close(static_cast<int>(m_hFile));
  m_hFile = -1;
}

}  // namespace platform
