#include "res/dialog_layout.h"

#include <cstdint>

#include "res/bitmap.h"
#include "res/images.h"

namespace pache {

namespace {

// MulDiv: value * numerator / denominator, rounded half away from zero.
int MulDiv(int value, int numerator, int denominator) {
  std::int64_t product = std::int64_t{value} * numerator;
  std::int64_t half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator
                                       : (product - half) / denominator);
}

}  // namespace

DialogBaseUnits BaseUnitsOfFont(int alphabetWidth, int height) {
  return {(alphabetWidth / 26 + 1) / 2, height};
}

PixelRect MapDialogRect(const PixelRect& units, DialogBaseUnits base) {
  return {MulDiv(units.x, base.x, 4), MulDiv(units.y, base.y, 8), MulDiv(units.width, base.x, 4),
          MulDiv(units.height, base.y, 8)};
}

DialogLayout LayoutDialog(const DialogTemplate& dialog, DialogBaseUnits base) {
  DialogLayout layout;
  PixelRect client = MapDialogRect({0, 0, dialog.width, dialog.height}, base);
  layout.clientWidth = client.width;
  layout.clientHeight = client.height;
  for (int i = 0; i < dialog.controlCount; ++i) {
    const DialogControl& control = dialog.controls[i];
    PixelRect rect = MapDialogRect({control.x, control.y, control.width, control.height}, base);
    IndexedBitmap bitmap;
    if (control.controlClass == ControlClass::Static && (control.style & 0x1F) == SS_BITMAP &&
        ReadIndexedBitmap(FindBitmap(control.imageId), bitmap)) {
      rect.width = bitmap.width;
      rect.height = bitmap.height;
    }
    layout.controls.push_back(rect);
  }
  return layout;
}

}  // namespace pache
