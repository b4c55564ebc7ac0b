#include "platform/textfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/posix_fd.h"
#include "platform/replacement_file.h"

namespace platform {
namespace {

// Large blocks keep the number of system calls low on big mail files.
constexpr std::size_t kBlockSize = 256 * 1024;

}  // namespace

int CTextFileReader::OpenDescriptor(const std::filesystem::path& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return -1;
  }
  return fd;
}

void CTextFileReader::CloseDescriptor(int fd) { close(fd); }

// Reads one block just past the end of m_data (leaving one byte of room for a
// CR held over from the last block) and translates it in place: CR LF becomes
// LF, a lone CR stays, a Ctrl-Z ends the file. A read error ends it too.
bool CTextFileReader::Fill() {
  if (m_eof) return false;
  const std::size_t old = m_data.size();
  m_data.resize(old + 1 + kBlockSize);
  const ssize_t n = ReadSome(m_fd, m_data.data() + old + 1, kBlockSize);
  if (n <= 0) {
    m_eof = true;
    m_data.resize(old);
    if (!m_pendingCr) return false;
    m_pendingCr = false;
    m_data.push_back('\r');
    return true;
  }

  char* out = m_data.data() + old;
  const char* in = out + 1;
  const char* const end = in + n;
  if (m_pendingCr) {
    m_pendingCr = false;
    if (*in == '\n') {
      ++in;
      *out++ = '\n';
    } else {
      *out++ = '\r';
    }
  }
  while (in < end) {
    const char c = *in;
    if (c == '\x1A') {
      m_eof = true;
      break;
    }
    if (c == '\r') {
      if (in + 1 == end) {
        m_pendingCr = true;
        ++in;
        continue;
      }
      if (in[1] == '\n') ++in;  // CR LF: keep the LF only
    }
    *out++ = *in++;
  }
  m_data.resize(static_cast<std::size_t>(out - m_data.data()));
  return true;
}

namespace {

constexpr int kReplacedRetries = 100;  // another program replaced the file between open and lock

// Writes the file held open by `fd` (`held` its status) with `added` at its
// end to a new file beside `target`, and renames that over it. When the
// folder takes no new files, appends in place instead.
bool ReplaceWithAppended(int fd, const struct stat& held, const std::string& target,
                         const std::string& added) {
  CReplacementFile replacement(target);
  if (!replacement.Open(held.st_mode & 07777)) return WriteAll(fd, added.data(), added.size());
  const int out = replacement.Fd();
  bool ok = fchmod(out, held.st_mode & 07777) == 0 && lseek(fd, 0, SEEK_SET) == 0;
  char buffer[65536];
  for (ssize_t n; ok && (n = ReadSome(fd, buffer, sizeof buffer)) != 0;) {
    ok = n > 0 && WriteAll(out, buffer, static_cast<std::size_t>(n));
  }
  return ok && WriteAll(out, added.data(), added.size()) && replacement.Commit();
}

}  // namespace

// The old file is never written: the new one, old text and appended text,
// replaces it by a rename once complete. A plain append can be cut short by a
// kill (a write() that spans pages stops between them), which would leave a
// torn last line; this way a killed program leaves the old file or the new.
// An exclusive lock makes two programs appending at once take turns.
bool AppendToExistingNativeTextFile(const std::filesystem::path& path, std::string_view text) {
  std::string target = path.string();
  // Through a symbolic link the file it points to is replaced, not the link.
  char resolved[PATH_MAX];
  if (realpath(target.c_str(), resolved) != nullptr) target = resolved;
  std::string translated;
  translated.reserve(text.size() + text.size() / 8);
  for (const char c : text) {
    if (c == '\n') translated += '\r';
    translated += c;
  }
  for (int attempt = 0; attempt < kReplacedRetries; ++attempt) {
    const int fd = open(target.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat held {};
    struct stat named {};
    if (flock(fd, LOCK_EX) != 0 || fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      close(fd);
      return false;
    }
    if (stat(target.c_str(), &named) != 0 || named.st_ino != held.st_ino || named.st_dev != held.st_dev) {
      close(fd);  // replaced by another program's append meanwhile: take the new file
      continue;
    }
    const bool written = ReplaceWithAppended(fd, held, target, translated);
    return close(fd) == 0 && written;
  }
  return false;
}

}  // namespace platform
