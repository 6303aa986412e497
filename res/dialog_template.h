// Dialog 101, the patch menu, as data: the one description from which both
// the resource script and the desktop window system build the dialog.
// Positions and sizes are in dialog units.
#pragma once

#include <cstdint>

namespace pache {

enum class ControlClass { Static, Button };

struct DialogControl {
  int id;
  ControlClass controlClass;
  std::uint32_t style;
  const char* text;  // code page 932; null for the bitmap
  int imageId;       // bitmap resource for SS_BITMAP, else 0
  int x, y, width, height;
};

struct DialogTemplate {
  int id;
  std::uint32_t style;
  std::uint32_t extendedStyle;
  int x, y, width, height;
  const char* caption;   // code page 932
  const char* fontName;  // code page 932
  int fontPointSize;
  const DialogControl* controls;
  int controlCount;
};

// Window and control styles used by the template.
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_CHILD = 0x40000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000u;
inline constexpr std::uint32_t DS_SETFONT = 0x40u;
inline constexpr std::uint32_t DS_CENTER = 0x800u;
inline constexpr std::uint32_t SS_BITMAP = 0x0Eu;
inline constexpr std::uint32_t BS_PUSHBUTTON = 0x0u;

const DialogTemplate& PatchMenuTemplate();

}  // namespace pache
