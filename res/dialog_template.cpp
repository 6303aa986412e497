#include "res/dialog_template.h"

#include "app/texts.h"
#include "res/resource.h"

namespace pache {

namespace {

constexpr DialogControl kPatchMenuControls[] = {
    {IDC_ARTWORK, ControlClass::Static, WS_CHILD | WS_VISIBLE | SS_BITMAP, nullptr, IDB_ARTWORK,
     0, 0, 234, 163},
    {IDC_START, ControlClass::Button, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
     kMenuStartText, 0, 38, 135, 60, 20},
    {IDC_QUIT, ControlClass::Button, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
     kMenuQuitText, 0, 133, 135, 60, 20},
};

constexpr DialogTemplate kPatchMenu = {
    IDD_PATCH_MENU, WS_POPUP | WS_CAPTION | DS_CENTER | DS_SETFONT, 0, 0, 0, 235, 161,
    kMainWindowTitle, kMenuFontName, 9, kPatchMenuControls,
    static_cast<int>(sizeof kPatchMenuControls / sizeof kPatchMenuControls[0]),
};

}  // namespace

const DialogTemplate& PatchMenuTemplate() { return kPatchMenu; }

}  // namespace pache
