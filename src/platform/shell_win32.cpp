#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

namespace platform {
namespace {

// The default (unnamed) value of HKEY_CLASSES_ROOT\<subKey>, at most 260 bytes.
// A value that cannot be read, is not a string or does not fit counts as
// missing.
bool ReadClassesRootDefault(const std::string& subKey, std::string* value) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  char buffer[MAX_PATH] = {};
  DWORD size = sizeof buffer;
  DWORD type = 0;
  const LONG rc = RegQueryValueExA(key, nullptr, nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) {
    return false;
  }
  value->assign(buffer, strnlen(buffer, size));
  return true;
}

}  // namespace

int ShellOpen(const std::string& target, int showCommand) {
  HINSTANCE result =
      ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, showCommand);
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

bool DefaultBrowserCommand(std::string* command) {
  std::string fileType;
  if (!ReadClassesRootDefault(".htm", &fileType)) return false;
  return ReadClassesRootDefault(fileType + "\\shell\\open\\command", command);
}

std::span<const std::string_view> CommandPlaceholders() {
  static constexpr std::string_view kPlaceholders[] = {"%1"};
  return kPlaceholders;
}

int RunBrowserCommand(const std::string& command, const std::string& url, int showCommand) {
  const std::string line =
      CutAtPlaceholder(command, CommandPlaceholders()) + " " + url;
  return static_cast<int>(WinExec(line.c_str(), static_cast<UINT>(showCommand)));
}

}  // namespace platform
