// The part of the text-file reader that is the same on every system: cutting
// the text-mode data that Fill() delivers into lines.
#include "platform/textfile.h"

#include <cstring>

#include "platform/codepage.h"

namespace platform {

CTextFileReader::~CTextFileReader() { Close(); }

bool CTextFileReader::Open(const std::string& path) { return OpenNative(FindNativePath(path)); }

bool CTextFileReader::OpenNative(const std::filesystem::path& path) {
  Close();
  m_fd = OpenDescriptor(path);
  return m_fd >= 0;
}

void CTextFileReader::Close() {
  if (m_fd >= 0) CloseDescriptor(m_fd);
  m_fd = -1;
  m_data.clear();
  m_pos = 0;
  m_eof = false;
  m_pendingCr = false;
}

bool CTextFileReader::IsOpen() const { return m_fd >= 0; }

bool AppendToExistingTextFile(const std::string& path, std::string_view text) {
  return AppendToExistingNativeTextFile(FindNativePath(path), text);
}

bool CTextFileReader::ReadLine(std::string& line) {
  if (m_fd < 0) return false;
  std::size_t searchFrom = m_pos;
  for (;;) {
    const void* lf = std::memchr(m_data.data() + searchFrom, '\n', m_data.size() - searchFrom);
    if (lf != nullptr) {
      const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(lf) - m_data.data());
      line.assign(m_data, m_pos, end - m_pos);
      m_pos = end + 1;
      return true;
    }
    // No line end in what is buffered: drop what was returned, read more.
    m_data.erase(0, m_pos);
    m_pos = 0;
    searchFrom = m_data.size();
    if (!Fill()) {
      if (m_data.empty()) return false;
      line.swap(m_data);  // the last line has no line end
      m_data.clear();
      return true;
    }
  }
}

}  // namespace platform
