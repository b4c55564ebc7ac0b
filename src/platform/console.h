// The console of a program without a window: whether standard error is a
// terminal, and the requests to stop it (Ctrl+C, kill).
#pragma once

namespace platform {

// True when standard error is a terminal (a person watches it).
bool StandardErrorIsTerminal();

// Calls `onStop` for each SIGINT or SIGTERM (on Windows: Ctrl+C, Ctrl+Break,
// the console closing). It runs in a signal handler or on another thread, so
// it may only touch lock-free atomics. The process is not ended.
void CatchStopRequests(void (*onStop)());

}  // namespace platform
