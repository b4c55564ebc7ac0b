// Opening a web or mail address with the system's handler.
//
// Results follow the code space of the Windows shell: a value above
// kShellDllNotFound (32) means the address was handed to a program; any other
// value is an error code, which the hyperlink control explains to the user.
// Windows returns its own success values; elsewhere success is kShellOpened.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The result codes of an open.
enum ShellResult : int {
  kShellOutOfResources = 0,
  kShellFileNotFound = 2,
  kShellPathNotFound = 3,
  kShellAccessDenied = 5,
  kShellOutOfMemory = 8,
  kShellBadFormat = 11,
  kShellSharingViolation = 26,
  kShellAssociationIncomplete = 27,
  kShellDdeTimeout = 28,
  kShellDdeFailed = 29,
  kShellDdeBusy = 30,
  kShellNoAssociation = 31,
  kShellDllNotFound = 32,
  kShellOpened = 42,
};

// Whether an open with this result reached a program.
constexpr bool IsOpened(int code) { return code > kShellDllNotFound; }

// Show commands of the opened program's window (ignored where the system has
// no such notion).
inline constexpr int kShowNormal = 5;     // SW_SHOW
inline constexpr int kShowMaximized = 3;  // SW_SHOWMAXIMIZED

// Asks the shell to open `target` (code page): ShellExecute with the verb
// "open" on Windows, GIO's default handler of the address elsewhere.
int ShellOpen(const std::string& target, int showCommand);

// Opens `url` (code page) with the default program for web pages: the
// registered ".htm" handler's command line on Windows, the default text/html
// application elsewhere. False, with `result` untouched, when there is none.
bool OpenWithHtmlHandler(const std::string& url, int showCommand, int* result);

// ShellOpen, and when that fails, OpenWithHtmlHandler; the shell's own error
// code when there is no such program.
int OpenUrl(const std::string& url, int showCommand);

// Cuts a Windows command line before its address placeholder "%1". The
// placeholder enclosed in double quotes is looked for first and the text is
// cut at its opening quote; otherwise the text is cut at a bare "%1"; without
// either the whole text is kept. Whatever followed the placeholder is dropped.
std::string CutAtPlaceholder(std::string_view command);

}  // namespace platform
