#include "platform/shell.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/codepage.h"

extern char** environ;

namespace platform {
namespace {

// How long a click waits for xdg-open's verdict. An opener that runs the
// browser in the foreground is taken as a success once this has passed, so the
// window is never held for the browser's lifetime.
constexpr auto kOpenerWait = std::chrono::milliseconds(3000);
constexpr auto kQueryWait = std::chrono::milliseconds(3000);

// Children that had not ended when we stopped waiting; reaped later so that
// they do not stay behind as zombies.
std::vector<pid_t>& PendingChildren() {
  static std::vector<pid_t> pending;
  return pending;
}

void ReapFinishedChildren() {
  auto& pending = PendingChildren();
  std::erase_if(pending, [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; });
}

// Starts `argv` (the program looked up in PATH) in a session of its own, with
// standard input from /dev/null and, when `outputFd` is given, standard output
// into a pipe whose reading end is returned there. Returns 0 or the errno of
// the failed start.
int Spawn(const std::vector<std::string>& argv, pid_t* pid, int* outputFd) {
  ReapFinishedChildren();
  if (argv.empty() || argv[0].empty()) return ENOENT;
  int pipeFds[2] = {-1, -1};
  if (outputFd != nullptr && pipe2(pipeFds, O_CLOEXEC) != 0) return errno;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (outputFd != nullptr) posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);

  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const int rc = posix_spawnp(pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);

  if (outputFd != nullptr) {
    close(pipeFds[1]);
    if (rc == 0) {
      *outputFd = pipeFds[0];
    } else {
      close(pipeFds[0]);
    }
  }
  return rc;
}

// Waits up to `limit` for the child to end. On time-out the child is left
// running (and reaped later) and false is returned.
bool WaitForChild(pid_t pid, std::chrono::milliseconds limit, int* status) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const pid_t rc = waitpid(pid, status, WNOHANG);
    if (rc == pid) return true;
    if (rc < 0 && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) {
      PendingChildren().push_back(pid);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Runs `argv` and returns its standard output, "" when it cannot run, fails or
// takes too long.
std::string Capture(const std::vector<std::string>& argv) {
  pid_t pid = 0;
  int fd = -1;
  if (Spawn(argv, &pid, &fd) != 0) return "";
  std::string output;
  const auto deadline = std::chrono::steady_clock::now() + kQueryWait;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[512];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    output.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  int status = 0;
  if (!WaitForChild(pid, std::chrono::milliseconds(200), &status)) {
    kill(pid, SIGKILL);
    return "";
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "";
  return output;
}

std::string Trim(std::string_view text) {
  const auto begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return "";
  const auto end = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(begin, end - begin + 1));
}

// The errno of a failed start in the shell's code space.
int StartErrorCode(int error, int notFound) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return notFound;
    case EACCES:
    case EPERM:
      return 5;
    case ENOMEM:
    case EAGAIN:
      return 8;
    case ENOEXEC:
      return 11;
    default:
      return 0;
  }
}

// xdg-open's exit status in the shell's code space.
int OpenerExitCode(int status) {
  if (!WIFEXITED(status)) return 0;
  switch (WEXITSTATUS(status)) {
    case 0:
      return 42;
    case 1:  // syntax error
      return 27;
    case 2:  // the file does not exist
      return 2;
    case 3:  // a required tool is missing
    case 4:  // no handler could open it
      return 31;
    default:
      return 0;
  }
}

// The directories holding desktop entries, most important first.
std::vector<std::string> ApplicationDirs() {
  std::vector<std::string> dirs;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (dataHome != nullptr && *dataHome != '\0') {
    dirs.push_back(dataHome);
  } else if (home != nullptr) {
    dirs.push_back(std::string(home) + "/.local/share");
  }
  const char* dataDirs = std::getenv("XDG_DATA_DIRS");
  std::string_view list = (dataDirs != nullptr && *dataDirs != '\0')
                              ? std::string_view(dataDirs)
                              : std::string_view("/usr/local/share:/usr/share");
  while (!list.empty()) {
    const auto colon = list.find(':');
    const std::string_view dir = list.substr(0, colon);
    if (!dir.empty()) dirs.emplace_back(dir);
    if (colon == std::string_view::npos) break;
    list.remove_prefix(colon + 1);
  }
  for (std::string& dir : dirs) dir += "/applications/";
  return dirs;
}

// Undoes the escapes of a desktop entry's string value (\s \n \t \r \\).
std::string UnescapeValue(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    const char next = value[++i];
    switch (next) {
      case 's': out += ' '; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      default: out += '\\'; out += next; break;
    }
  }
  return out;
}

// The Exec value of the [Desktop Entry] group of the file, "" without one.
std::string ReadExecLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  bool inMainGroup = false;
  while (std::getline(in, line)) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    if (trimmed[0] == '[') {
      inMainGroup = trimmed == "[Desktop Entry]";
      continue;
    }
    if (!inMainGroup) continue;
    const auto equals = trimmed.find('=');
    if (equals == std::string::npos || Trim(trimmed.substr(0, equals)) != "Exec") continue;
    return UnescapeValue(Trim(std::string_view(trimmed).substr(equals + 1)));
  }
  return "";
}

// Splits an Exec command line into arguments: blanks separate them, double
// quotes group them, and inside quotes a backslash escapes the next character.
// "%%" stands for "%"; arguments that are bare field codes (%i, %c, %k, ...)
// are dropped.
std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> args;
  std::string current;
  bool inArgument = false;
  bool quoted = false;
  bool fieldCodeOnly = true;
  auto finish = [&] {
    if (inArgument && !(fieldCodeOnly && current.size() == 2 && current[0] == '%' &&
                        current[1] != '%')) {
      args.push_back(current);
    }
    current.clear();
    inArgument = false;
    fieldCodeOnly = true;
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < line.size()) {
        current += line[++i];
      } else {
        current += c;
      }
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\n') {
      finish();
    } else if (c == '"') {
      quoted = true;
      inArgument = true;
      fieldCodeOnly = false;
    } else if (c == '%' && i + 1 < line.size() && line[i + 1] == '%') {
      current += '%';
      ++i;
      inArgument = true;
      fieldCodeOnly = false;
    } else {
      current += c;
      inArgument = true;
    }
  }
  finish();
  return args;
}

}  // namespace

int ShellOpen(const std::string& target, int /*showCommand*/) {
  pid_t pid = 0;
  const int error = Spawn({"xdg-open", ToUtf8(target)}, &pid, nullptr);
  if (error != 0) return StartErrorCode(error, 31);
  int status = 0;
  if (!WaitForChild(pid, kOpenerWait, &status)) return 42;
  return OpenerExitCode(status);
}

bool DefaultBrowserCommand(std::string* command) {
  const std::string id = Trim(Capture({"xdg-mime", "query", "default", "text/html"}));
  if (id.empty() || id.find('/') != std::string::npos) return false;
  // A desktop file id "vendor-app.desktop" may also live as vendor/app.desktop.
  std::string nested = id;
  const auto dash = nested.find('-');
  if (dash != std::string::npos) nested[dash] = '/';
  for (const std::string& dir : ApplicationDirs()) {
    for (const std::string& name : {id, nested}) {
      std::string exec = ReadExecLine(dir + name);
      if (!exec.empty()) {
        *command = FromUtf8(exec);
        return true;
      }
    }
  }
  return false;
}

std::span<const std::string_view> CommandPlaceholders() {
  static constexpr std::string_view kPlaceholders[] = {"%u", "%U", "%f", "%F"};
  return kPlaceholders;
}

int RunBrowserCommand(const std::string& command, const std::string& url, int /*showCommand*/) {
  std::vector<std::string> argv =
      SplitCommandLine(ToUtf8(CutAtPlaceholder(command, CommandPlaceholders())));
  if (argv.empty()) return 2;
  argv.push_back(ToUtf8(url));
  pid_t pid = 0;
  const int error = Spawn(argv, &pid, nullptr);
  if (error != 0) return StartErrorCode(error, 2);
  PendingChildren().push_back(pid);
  return 42;
}

}  // namespace platform
