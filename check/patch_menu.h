// The patch menu: the modal dialog in which the user starts the update or
// quits.
#pragma once

#include <cstdint>

#include "app/state.h"

namespace pache {

// Runs dialog 101 owned by `owner` until a button ends it. The choice is
// left in session.menuChoice (1009 start, 1034 quit; 0 when the dialog
// could not be shown).
void ShowPatchMenu(PatchSession& session, WindowHandle owner);

// The dialog procedure; `context` is the session. True for a message it
// handled.
bool PatchMenuProc(void* context, WindowHandle dialog, std::uint32_t message,
                   std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace pache
