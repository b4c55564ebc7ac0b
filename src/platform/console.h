// The console of a program without a window: whether standard error is a
// terminal, and the requests to stop it (Ctrl+C, kill).
#pragma once

#include <cstdio>
#include <string_view>

namespace platform {

// True when standard error is a terminal (a person watches it).
bool StandardErrorIsTerminal();

// Writes UTF-8 text to `stream` (stdout or stderr) and flushes it. A file or
// pipe gets the bytes as they stand; a Windows console gets the characters,
// whatever its code page (a console of code page 936 would show UTF-8
// bytes as other characters).
void WriteText(std::FILE* stream, std::string_view utf8);

// Calls `onStop` for each SIGINT or SIGTERM (on Windows: Ctrl+C, Ctrl+Break,
// the console closing). It runs in a signal handler or on another thread, so
// it may only touch lock-free atomics. The process is not ended.
void CatchStopRequests(void (*onStop)());

}  // namespace platform
