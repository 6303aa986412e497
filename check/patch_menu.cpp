#include "check/patch_menu.h"

#include "res/resource.h"

namespace pache {

namespace {

constexpr std::uint32_t kMenuMessagePauseMs = 5;

}  // namespace

void ShowPatchMenu(PatchSession& session, WindowHandle owner) {
  // The choice is read from menuChoice; the dialog's result adds nothing.
  session.platform.windows.DialogBox(IDD_PATCH_MENU, owner, PatchMenuProc, &session);
}

bool PatchMenuProc(void* context, WindowHandle dialog, std::uint32_t message,
                   std::uintptr_t wParam, std::intptr_t /*lParam*/) {
  PatchSession& session = *static_cast<PatchSession*>(context);
  WindowSystem& windows = session.platform.windows;
  session.platform.system.Sleep(kMenuMessagePauseMs);
  switch (message) {
    case WM_INITDIALOG:
      windows.ShowWindow(windows.GetDialogItem(dialog, IDC_ARTWORK), SW_SHOW);
      windows.ShowWindow(windows.GetDialogItem(dialog, IDC_START), SW_SHOW);
      return true;
    case WM_COMMAND: {
      // Only the two buttons end the menu; Enter, Escape and Alt+F4 arrive
      // as other commands and are consumed.
      int id = static_cast<int>(wParam & 0xFFFF);
      if (id == IDC_START || id == IDC_QUIT) {
        session.menuChoice = id;
        windows.EndDialog(dialog, id);
      }
      return true;
    }
    case WM_TIMER:
      return true;
    default:
      return false;
  }
}

}  // namespace pache
