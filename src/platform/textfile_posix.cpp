#include "platform/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix_fd.h"

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

bool AppendToExistingNativeTextFile(const std::filesystem::path& path, std::string_view text) {
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return false;
  std::string translated;
  translated.reserve(text.size() + text.size() / 8);
  for (const char c : text) {
    if (c == '\n') translated += '\r';
    translated += c;
  }
  const bool written = WriteAll(fd, translated.data(), translated.size());
  return close(fd) == 0 && written;
}

}  // namespace platform
