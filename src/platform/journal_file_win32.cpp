#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/journal_file.h"

namespace platform {
namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 0x40000000));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

bool CJournalFile::Create(const std::filesystem::path& path, std::string_view contents) {
  Close();
  const std::wstring native = path.wstring();
  const std::wstring temporary = native + L".new";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteAll(file, contents) && FlushFileBuffers(file);
  CloseHandle(file);
  if (!written || !MoveFileExW(temporary.c_str(), native.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  return OpenForAppend(path);
}

bool CJournalFile::OpenForAppend(const std::filesystem::path& path) {
  Close();
  HANDLE file = CreateFileW(path.wstring().c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  m_hFile = reinterpret_cast<std::intptr_t>(file);
  return true;
}

bool CJournalFile::Append(std::string_view bytes) {
  return IsOpen() && WriteAll(AsHandle(m_hFile), bytes);
}

bool CJournalFile::Sync() { return IsOpen() && FlushFileBuffers(AsHandle(m_hFile)); }

void CJournalFile::Close() {
  if (IsOpen()) CloseHandle(AsHandle(m_hFile));
  m_hFile = -1;
}

}  // namespace platform
