// SIGINT, SIGTERM and SIGHUP as close requests: the handler only writes a
// byte to a pipe (async-signal-safe); the message pump reads it and turns
// it into a close request to the main window.
#pragma once

namespace pache::headless {

// Installs the handlers once per process. False when the pipe or the
// handlers cannot be had; the signals then keep their default action.
bool InstallCloseSignals();

// The pipe's read end, for poll(); -1 when not installed.
int CloseSignalFd();

// Empties the pipe; true when a signal arrived since the last call.
bool TakeCloseSignals();

}  // namespace pache::headless
