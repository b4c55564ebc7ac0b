// The parts of journal files that are the same on every system.
#include "platform/journal_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>


namespace platform {

bool StampFile(const std::filesystem::path& path, FileStamp& stamp) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return false;
  const auto modified = std::filesystem::last_write_time(path, ec);
  if (ec) return false;
  stamp.m_nSize = size;
  stamp.m_nModified = static_cast<std::int64_t>(modified.time_since_epoch().count());
  return true;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool RemoveFile(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return !ec;
}

CJournalFile::~CJournalFile() { Close(); }

}  // namespace platform
