#include "platform/profile.h"

#include <windows.h>

#include <vector>

namespace platform {

std::string ReadProfileValue(const std::string& path, const std::string& section,
                              const std::string& key, std::size_t bufferSize) {
  // An empty name would make the system pick a file of its own choosing.
  if (path.empty() || bufferSize == 0) return {};
  std::vector<char> buffer(bufferSize, '\0');
  GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                           static_cast<DWORD>(bufferSize), path.c_str());
  buffer.back() = '\0';
  return std::string(buffer.data());
}

int WriteProfileValue(const std::string& path, const std::string& section,
                       const std::string& key, const std::string& value) {
  if (path.empty()) return 0;
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str());
}

}  // namespace platform
