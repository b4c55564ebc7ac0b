// Small files that must outlive a crash of the program or of the machine: a
// file written whole under a temporary name and renamed over the old one,
// then appended to in place; and the size and time stamp of a file. Paths
// are native.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// A file's size and last modification time (in the file system's own ticks).
struct FileStamp {
  std::uintmax_t m_nSize = 0;
  std::int64_t m_nModified = 0;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of the regular file `path`; false (stamp untouched) when it
// cannot be read or is no regular file (a pipe, a device, a folder).
bool StampFile(const std::filesystem::path& path, FileStamp& stamp);

// The whole content of `path`; false when it cannot be read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes);

// Removes `path`; true when it is gone (or was never there).
bool RemoveFile(const std::filesystem::path& path);

class CJournalFile {
 public:
  CJournalFile() = default;
  ~CJournalFile();
  CJournalFile(const CJournalFile&) = delete;
  CJournalFile& operator=(const CJournalFile&) = delete;

  // Replaces `path` with `contents`: written and flushed to the disk under a
  // temporary name, then renamed over `path`, so that a crash leaves either
  // the old file or the new one, whole. The file stays open for appending.
  bool Create(const std::filesystem::path& path, std::string_view contents);
  // Opens an existing file for appending.
  bool OpenForAppend(const std::filesystem::path& path);
  // Appends `bytes` with one write: once it returns true the bytes belong to
  // the system and outlive a crash of the program (not yet of the machine).
  bool Append(std::string_view bytes);
  // Flushes what was appended to the disk.
  bool Sync();
  void Close();
  bool IsOpen() const { return m_hFile != -1; }

 private:
  std::intptr_t m_hFile = -1;
};

}  // namespace platform
