// The program's whole life on the main thread: single instance, the main
// window, the install check and the patch menu, then the frame loop that
// drives the patch sequencer until the quit message.
#pragma once

#include <cstdint>

#include "app/state.h"

namespace pache {

// Single instance, main window, install check, patch menu and the frame
// loop. Returns the exit code (0 in every case).
int WinMain(PatchSession& session, int showCommand);

// Takes the named single-instance lock. False when another copy holds it
// (that copy is brought to the front) or the lock cannot be had.
bool EnsureSingleInstance(PatchSession& session, const char* name);

// Registers the main window's class with `procedure`; the session is the
// procedure's context.
bool RegisterMainWindowClass(PatchSession& session, WindowProc procedure, const char* className);

// Dispatches every waiting message; whenever the queue is empty runs one
// frame (one sequencer step), at most one per 30 ms. Returns the quit
// message's code once it arrives, after ReleaseResources.
int RunFrameLoop(PatchSession& session);

// Releases the definition text and the log additions block, if still held.
// While the copy worker may still use them they are left to the process's
// end.
void ReleaseResources(PatchSession& session);

// The main window's procedure; `context` is the session.
std::intptr_t MainWindowProc(void* context, WindowHandle window, std::uint32_t message,
                             std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace pache
