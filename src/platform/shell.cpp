#include "platform/shell.h"

namespace platform {

std::string CutAtPlaceholder(std::string_view command) {
  constexpr std::string_view kPlaceholder = "%1";
  constexpr std::string_view kQuoted = "\"%1\"";
  std::size_t cut = command.find(kQuoted);
  if (cut == std::string_view::npos) cut = command.find(kPlaceholder);
  return std::string(command.substr(0, cut));
}

int OpenUrl(const std::string& url, int showCommand) {
  const int shellResult = ShellOpen(url, showCommand);
  if (IsOpened(shellResult)) return shellResult;
  int browserResult = shellResult;
  if (!OpenWithHtmlHandler(url, showCommand, &browserResult)) return shellResult;
  return browserResult;
}

}  // namespace platform
