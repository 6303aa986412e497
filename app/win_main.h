// The program's whole life on the main thread.
#pragma once

#include "app/state.h"

namespace pache {

// Single instance, main window, install check, patch menu and the frame
// loop. Returns the exit code (0 in every case).
int WinMain(PatchSession& session, int showCommand);

}  // namespace pache
