#include "platform/shell.h"

#include <algorithm>

namespace platform {

std::string CutAtPlaceholder(std::string_view command,
                             std::span<const std::string_view> placeholders) {
  std::size_t quoted = std::string_view::npos;
  std::size_t bare = std::string_view::npos;
  for (std::string_view placeholder : placeholders) {
    const std::string inQuotes = "\"" + std::string(placeholder) + "\"";
    quoted = std::min(quoted, command.find(inQuotes));
    bare = std::min(bare, command.find(placeholder));
  }
  const std::size_t cut = quoted != std::string_view::npos ? quoted : bare;
  return std::string(command.substr(0, cut));
}

int OpenUrl(const std::string& url, int showCommand) {
  const int shellResult = ShellOpen(url, showCommand);
  if (shellResult > 32) return shellResult;
  std::string command;
  if (!DefaultBrowserCommand(&command)) return shellResult;
  return RunBrowserCommand(command, url, showCommand);
}

}  // namespace platform
