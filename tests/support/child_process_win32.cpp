#include "support/child_process_win32.h"

namespace testsupport {

namespace fs = std::filesystem;

fs::path SenderProgramPath() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return fs::path(self).parent_path().parent_path() / "src" / "tools" / "postwing-send.exe";
}

CChildProcess::CChildProcess(const Options& options) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  auto open = [&](const wchar_t* name, DWORD access, DWORD disposition) {
    return CreateFileW(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE nul = open(L"NUL", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
  HANDLE out = options.m_outFile.empty()
                   ? INVALID_HANDLE_VALUE
                   : open(options.m_outFile.c_str(), GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  DWORD flags = 0;
  HANDLE input = INVALID_HANDLE_VALUE;
  HANDLE screen = INVALID_HANDLE_VALUE;
  if (options.m_bConsole) {
    // The console itself (the test's own standard handles may be pipes),
    // standard output to the file when one is named.
    input = open(L"CONIN$", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    screen = open(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = out != INVALID_HANDLE_VALUE ? out : screen;
    startup.hStdError = screen;
  } else {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = out != INVALID_HANDLE_VALUE ? out : nul;
    startup.hStdError = nul;
    // No console at all, as a scheduled task runs it. (With CREATE_NO_WINDOW
    // Wine gives the child a hidden console host, which can outlive a child
    // ended by TerminateProcess and keep the prefix's Wine server, and the
    // test's caller reading its output, waiting.)
    flags |= DETACHED_PROCESS;
  }
  std::wstring command = L"\"" + options.m_program.wstring() + L"\"";
  if (!options.m_strArgs.empty()) {
    command += L" " + std::wstring(options.m_strArgs.begin(), options.m_strArgs.end());
  }
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, flags, nullptr,
                      options.m_dir.c_str(), &startup, &m_process)) {
    m_process = PROCESS_INFORMATION{};
  }
  for (HANDLE handle : {out, input, screen, nul}) {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
}

CChildProcess::~CChildProcess() {
  if (!Started()) return;
  if (Running()) Terminate();
  CloseHandle(m_process.hThread);
  CloseHandle(m_process.hProcess);
}

bool CChildProcess::Wait(DWORD ms, DWORD& status) {
  if (!Started() || WaitForSingleObject(m_process.hProcess, ms) != WAIT_OBJECT_0) return false;
  return GetExitCodeProcess(m_process.hProcess, &status) != 0;
}

bool CChildProcess::Running() {
  return Started() && WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT;
}

void CChildProcess::Terminate(UINT status) {
  if (!Started()) return;
  TerminateProcess(m_process.hProcess, status);
  WaitForSingleObject(m_process.hProcess, INFINITE);
}

bool CChildProcess::SendCtrlC() { return GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0; }

std::wstring ConsoleText() {
  HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  std::wstring text;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (screen != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(screen, &info)) {
    const DWORD width = static_cast<DWORD>(info.dwSize.X);
    std::wstring row(width, L' ');
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
      DWORD got = 0;
      if (!ReadConsoleOutputCharacterW(screen, row.data(), width, COORD{0, y}, &got)) break;
      std::wstring line = row.substr(0, got);
      line.erase(line.find_last_not_of(L' ') + 1);
      text += line + L"\n";
    }
  }
  if (screen != INVALID_HANDLE_VALUE) CloseHandle(screen);
  return text;
}

bool EnsureConsole() {
  // A console of its own, whatever the test was started with: the screen
  // then holds only what the test's children write.
  FreeConsole();
  if (!AllocConsole()) return false;
  // The test is not ended by the Ctrl+C it sends. A handler, not the
  // ignore flag (SetConsoleCtrlHandler(nullptr, TRUE)), which its children
  // would inherit.
  SetConsoleCtrlHandler([](DWORD) -> BOOL { return TRUE; }, TRUE);
  return true;
}

}  // namespace testsupport
