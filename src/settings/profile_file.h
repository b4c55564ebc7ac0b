// The settings-file wrapper: one key at a time, straight to the platform's
// private-profile functions, no cache. Built on the stack for one load or
// save sequence.
#pragma once

#include <cstdint>
#include <string>

// The settings file, relative to the working directory at each call.
#ifdef _WIN32
inline constexpr const char* kSettingsPath = "ini\\Stmp.Ini";
#else
inline constexpr const char* kSettingsPath = "ini/Stmp.Ini";
#endif

class CProfileFile;

// A wrapper on kSettingsPath, for one load or save sequence of a settings model.
CProfileFile SettingsFile();

class CProfileFile {
 public:
  void SetPath(std::string path);

  // Reads at most 255 bytes of the value; absent keys give "". False, and
  // `value` untouched, only when the path is empty.
  bool ReadString(std::string section, std::string key, std::string& value);
  // The leading decimal integer of the value (blanks, sign, digits), else 0.
  bool ReadInt(std::string section, std::string key, std::int32_t& value);
  bool ReadInt(std::string section, std::string key, long& value);

  // Non-zero on success, as the platform reports it.
  int WriteString(std::string section, std::string key, std::string value);
  int WriteInt(std::string section, std::string key, std::int32_t value);
  int WriteBool(std::string section, std::string key, int value);  // "1" or "0"

 private:
  std::string m_strPath;
};
