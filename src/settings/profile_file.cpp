#include "settings/profile_file.h"

#include <limits>
#include <utility>

#include "platform/profile.h"

namespace {

// Every value is read through a buffer of this size, so at most 255 bytes of
// it survive.
constexpr std::size_t kValueBuffer = 256;

// The leading decimal integer of `text`: blanks, an optional sign, digits.
// Text without one gives 0; a number beyond the 32-bit range stops at its
// bound instead of wrapping.
std::int32_t LeadingInt(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::int64_t limit = negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
                                      : std::numeric_limits<std::int32_t>::max();
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude >= limit) {
      magnitude = limit;
      break;
    }
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

CProfileFile SettingsFile() {
  CProfileFile file;
  file.SetPath(kSettingsPath);
  return file;
}

void CProfileFile::SetPath(std::string path) { m_strPath = std::move(path); }

bool CProfileFile::ReadString(std::string section, std::string key, std::string& value) {
  if (m_strPath.empty()) return false;
  value = platform::ReadProfileValue(m_strPath, section, key, kValueBuffer);
  return true;
}

bool CProfileFile::ReadInt(std::string section, std::string key, std::int32_t& value) {
  value = LeadingInt(platform::ReadProfileValue(m_strPath, section, key, kValueBuffer));
  return true;
}

bool CProfileFile::ReadInt(std::string section, std::string key, long& value) {
  std::int32_t number = 0;
  ReadInt(std::move(section), std::move(key), number);
  value = number;
  return true;
}

int CProfileFile::WriteString(std::string section, std::string key, std::string value) {
  return platform::WriteProfileValue(m_strPath, section, key, value);
}

int CProfileFile::WriteInt(std::string section, std::string key, std::int32_t value) {
  return WriteString(std::move(section), std::move(key), std::to_string(value));
}

int CProfileFile::WriteBool(std::string section, std::string key, int value) {
  return WriteString(std::move(section), std::move(key), value != 0 ? "1" : "0");
}
