// The mail source: section "maildir" of the settings file.
#pragma once

#include <cstdint>
#include <string>

class CMailSource {
 public:
  // Reads "maildir", "address", "mailsubject" and "rate" into the fields.
  void ReadSettings();
  void WriteSettings() const;

  std::string m_strMailDir;
  std::string m_strAddressFile;
  std::string m_strSubject;
  // At most this many messages a minute; 0 (also for a missing key or a
  // negative value) sends as fast as the server answers.
  std::int32_t m_nRate = 0;
};
