// Opening a web or mail address with the system's handler.
//
// Results follow the code space of the Windows shell: a value above 32 means
// the address was handed to a program; 32 or less is an error code (2 file not
// found, 5 access denied, 27 incomplete association, 31 no application
// associated, ...) that the hyperlink control explains to the user.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace platform {

// Show commands of the opened program's window (ignored where the system has
// no such notion).
inline constexpr int kShowNormal = 5;     // SW_SHOW
inline constexpr int kShowMaximized = 3;  // SW_SHOWMAXIMIZED

// Asks the shell to open `target` (code page): ShellExecute with the verb
// "open" on Windows, xdg-open elsewhere.
int ShellOpen(const std::string& target, int showCommand);

// The command line of the default program for web pages (code page): the
// registered ".htm" handler's "shell\open\command" on Windows, the Exec line of
// the default text/html application's desktop entry elsewhere. Returns false
// when there is none.
bool DefaultBrowserCommand(std::string* command);

// The placeholders of the address in a command line of this system: "%1" on
// Windows; %u, %U, %f and %F in a desktop entry.
std::span<const std::string_view> CommandPlaceholders();

// Cuts a command line before the address placeholder. A placeholder enclosed in
// double quotes is looked for first and the text is cut at its opening quote;
// otherwise the text is cut at a bare placeholder; without either the whole
// text is kept. The earliest match among `placeholders` counts, and whatever
// followed it is dropped.
std::string CutAtPlaceholder(std::string_view command,
                             std::span<const std::string_view> placeholders);

// Runs the browser command line `command` (as DefaultBrowserCommand gives it)
// on `url`: the command is cut at its placeholder, and the address follows it
// after a space. On POSIX the address is passed as one argument, never
// interpreted by a shell. Returns above 32 once the program has started.
int RunBrowserCommand(const std::string& command, const std::string& url, int showCommand);

// ShellOpen, and when that fails, the default browser's command line; the
// shell's own error code when there is no such command.
int OpenUrl(const std::string& url, int showCommand);

}  // namespace platform
