// Dialog geometry in pixels: the dialog manager's mapping of dialog units
// through the base units of the dialog's font.
#pragma once

#include <vector>

#include "res/dialog_template.h"

namespace pache {

// One horizontal dialog unit is a quarter of `x`, one vertical unit an
// eighth of `y` (pixels).
struct DialogBaseUnits {
  int x = 0;
  int y = 0;
};

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
};

// The base units of a font, from the width in pixels of the 52 letters
// "A" to "Z" and "a" to "z" set in it (x: their average width, rounded) and
// its height, ascent plus descent (y).
DialogBaseUnits BaseUnitsOfFont(int alphabetWidth, int height);

// A rectangle in dialog units mapped to pixels, each value rounded to the
// nearest pixel.
PixelRect MapDialogRect(const PixelRect& dialogUnits, DialogBaseUnits base);

struct DialogLayout {
  int clientWidth = 0;
  int clientHeight = 0;
  std::vector<PixelRect> controls;  // in template order
};

// Where the dialog's client area and each of its controls lie, in pixels. A
// static control with SS_BITMAP takes the size of its bitmap when the
// program holds it. Controls may reach past the client area, which clips
// them.
DialogLayout LayoutDialog(const DialogTemplate& dialog, DialogBaseUnits base);

}  // namespace pache
