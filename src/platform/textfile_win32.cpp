// Text mode through the C runtime: its _read turns CR LF into LF and stops at
// a Ctrl-Z, and its _write turns "\n" into CR LF.
#include "platform/textfile.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>


namespace platform {
namespace {

constexpr unsigned kBlockSize = 256 * 1024;

}  // namespace

int CTextFileReader::OpenDescriptor(const std::filesystem::path& path) {
  return _wopen(path.c_str(), _O_RDONLY | _O_TEXT);
}

void CTextFileReader::CloseDescriptor(int fd) { _close(fd); }

bool CTextFileReader::Fill() {
  if (m_eof) return false;
  const std::size_t old = m_data.size();
  m_data.resize(old + kBlockSize);
  const int n = _read(m_fd, m_data.data() + old, kBlockSize);
  m_data.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
  if (n <= 0) m_eof = true;
  return n > 0;
}

bool AppendToExistingNativeTextFile(const std::filesystem::path& path, std::string_view text) {
  const int fd = _wopen(path.c_str(), _O_WRONLY | _O_APPEND | _O_TEXT);
  if (fd < 0) return false;
  bool written = true;
  std::size_t done = 0;
  while (written && done < text.size()) {
    const std::size_t chunk = std::min<std::size_t>(text.size() - done, 1u << 20);
    const int n = _write(fd, text.data() + done, static_cast<unsigned>(chunk));
    // The count may include the CRs added for line ends; never step past
    // the chunk.
    if (n <= 0) {
      written = false;
    } else {
      done += std::min(static_cast<std::size_t>(n), chunk);
    }
  }
  return _close(fd) == 0 && written;
}

}  // namespace platform
