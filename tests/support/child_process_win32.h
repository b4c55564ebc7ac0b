// A program started by a Windows test as a user or a scheduled task would
// start it: in a folder of its own, its standard output going to a file, and
// ended hard (TerminateProcess) when the test says so or when it outlives the
// test. With `console`, the child shares the test's console and process
// group, so that the test can send it Ctrl+C (GenerateConsoleCtrlEvent) and
// read what it wrote to that console. Under Wine 8 only that works:
// CTRL_BREAK_EVENT to a process group fails with ERROR_INVALID_HANDLE, and a
// child in a group of its own gets no CTRL_C_EVENT.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace testsupport {

// <build>/src/tools/postwing-send.exe, found from the running test program
// (<build>/tests/x.exe).
std::filesystem::path SenderProgramPath();

class CChildProcess {
 public:
  struct Options {
    std::filesystem::path m_program;
    std::string m_strArgs;             // ASCII
    std::filesystem::path m_dir;       // the working directory
    std::filesystem::path m_outFile;   // standard output; empty: the console, or NUL without one
    bool m_bConsole = false;           // on the test's console, in its process group
  };

  explicit CChildProcess(const Options& options);
  ~CChildProcess();  // a child still running is terminated
  CChildProcess(const CChildProcess&) = delete;
  CChildProcess& operator=(const CChildProcess&) = delete;

  bool Started() const { return m_process.hProcess != nullptr; }
  DWORD Id() const { return m_process.dwProcessId; }
  // Waits up to `ms` for the end; true with `status` set when it ended.
  bool Wait(DWORD ms, DWORD& status);
  bool Running();
  // Ends it at once, as the task manager does; returns when it has ended.
  void Terminate(UINT status = kTerminatedStatus);
  // Ctrl+C to every program on the test's console, as a key press sends it
  // (the test itself lives on: EnsureConsole).
  static bool SendCtrlC();

  static constexpr UINT kTerminatedStatus = 0xDEAD;

 private:
  PROCESS_INFORMATION m_process{};
};

// Gives the test a new console of its own (any it had is left), on which
// Ctrl+C does not end the test; false when none can be had. Wine makes a
// working console only with a display (DISPLAY, an Xvfb).
bool EnsureConsole();
// The console's screen up to the cursor, a line per row, trailing blanks cut.
std::wstring ConsoleText();

}  // namespace testsupport
