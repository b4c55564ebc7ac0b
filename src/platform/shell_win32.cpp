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

bool OpenWithHtmlHandler(const std::string& url, int showCommand, int* result) {
  std::string fileType;
  std::string command;
  if (!ReadClassesRootDefault(".htm", &fileType) ||
      !ReadClassesRootDefault(fileType + "\\shell\\open\\command", &command)) {
    return false;
  }
  const std::string line = CutAtPlaceholder(command) + " " + url;
  *result = static_cast<int>(WinExec(line.c_str(), static_cast<UINT>(showCommand)));
  return true;
}

}  // namespace platform
