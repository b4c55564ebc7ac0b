// Text files as the program keeps them: CR LF on disk, LF in memory.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// Reads a text file line by line in text mode: CR LF becomes LF and a Ctrl-Z
// byte (0x1A) ends the file. A lone CR stays part of its line.
class CTextFileReader {
 public:
  CTextFileReader() = default;
  ~CTextFileReader();
  CTextFileReader(const CTextFileReader&) = delete;
  CTextFileReader& operator=(const CTextFileReader&) = delete;

  // Opens `path` (code-page bytes, relative to the working directory or
  // absolute, found as FindNativePath finds it), or a native path.
  bool Open(const std::string& path);
  bool OpenNative(const std::filesystem::path& path);
  // The next line without its line end; false at the end of the file. A last
  // line without a line end is still a line.
  bool ReadLine(std::string& line);
  void Close();
  bool IsOpen() const;

 private:
  // The system's part: open a file for reading (-1 on failure), close it,
  // and read its next block, already in text mode, onto the end of m_data
  // (false at the end of the file or on a read error).
  static int OpenDescriptor(const std::filesystem::path& path);
  static void CloseDescriptor(int fd);
  bool Fill();

  int m_fd = -1;
  std::string m_data;     // text read but not yet returned, from m_pos on
  std::size_t m_pos = 0;
  bool m_eof = false;     // the end of the file, or a Ctrl-Z, was reached
  bool m_pendingCr = false;  // a CR ended the last block; the next byte decides
};

// Appends `text` in text mode ("\n" becomes CR LF) to the end of an existing
// file. Never creates the file: false when it is missing or cannot be written.
bool AppendToExistingTextFile(const std::string& path, std::string_view text);
bool AppendToExistingNativeTextFile(const std::filesystem::path& path, std::string_view text);

}  // namespace platform
