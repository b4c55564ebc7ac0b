// Text files as the program keeps them: CR LF on disk, LF in memory.
#pragma once

#include <cstdio>
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

  // Opens `path` (code-page bytes, relative to the working directory or absolute).
  bool Open(const std::string& path);
  // The next line without its line end; false at the end of the file. A last
  // line without a line end is still a line.
  bool ReadLine(std::string& line);
  void Close();
  bool IsOpen() const;

 private:
  // Filled in by the implementation.
  std::FILE* m_file = nullptr;
  bool m_eof = false;
};

// Appends `text` in text mode ("\n" becomes CR LF) to the end of an existing
// file. Never creates the file: false when it is missing or cannot be written.
bool AppendToExistingTextFile(const std::string& path, std::string_view text);

}  // namespace platform
