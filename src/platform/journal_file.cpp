// The parts of journal files that are the same on every system.
#include "platform/journal_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/codepage.h"

namespace platform {

bool StampFile(const std::string& path, FileStamp& stamp) {
  std::error_code ec;
  const std::filesystem::path native = NativePath(path);
  const std::uintmax_t size = std::filesystem::file_size(native, ec);
  if (ec) return false;
  const auto modified = std::filesystem::last_write_time(native, ec);
  if (ec) return false;
  stamp.m_nSize = size;
  stamp.m_nModified = static_cast<std::int64_t>(modified.time_since_epoch().count());
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  std::ifstream in(NativePath(path), std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool RemoveFile(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(NativePath(path), ec);
  return !ec;
}

CJournalFile::~CJournalFile() { Close(); }

}  // namespace platform
