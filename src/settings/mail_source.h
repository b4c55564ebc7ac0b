// The mail source: section "maildir" of the settings file.
#pragma once

#include <string>

class CMailSource {
 public:
  // Reads "maildir", "address", "mailsubject" into the fields.
  void ReadSettings();
  void WriteSettings() const;

  std::string m_strMailDir;
  std::string m_strAddressFile;
  std::string m_strSubject;
};
