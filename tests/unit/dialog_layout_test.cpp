#include "res/dialog_layout.h"

#include <gtest/gtest.h>

#include "res/resource.h"

namespace pache {
namespace {

TEST(DialogUnits, BaseUnitsComeFromTheAverageLetterWidthAndTheHeight) {
  struct Case {
    int alphabetWidth, height;
    int x, y;
  } cases[] = {
      {364, 12, 7, 12},  // exactly 7 a letter
      {338, 12, 7, 12},  // 6.5 rounds up
      {337, 12, 6, 12},
      {312, 13, 6, 13},
      {0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    DialogBaseUnits base = BaseUnitsOfFont(c.alphabetWidth, c.height);
    EXPECT_EQ(base.x, c.x) << c.alphabetWidth;
    EXPECT_EQ(base.y, c.y) << c.alphabetWidth;
  }
}

TEST(DialogUnits, MapToPixelsRoundingHalvesAway) {
  struct Case {
    PixelRect units;
    DialogBaseUnits base;
    PixelRect pixels;
  } cases[] = {
      {{0, 0, 235, 161}, {7, 12}, {0, 0, 411, 242}},   // 411.25, 241.5
      {{38, 135, 60, 20}, {7, 12}, {67, 203, 105, 30}},  // 66.5, 202.5
      {{133, 135, 60, 20}, {6, 13}, {200, 219, 90, 33}},  // 199.5, 219.375, 32.5
      {{4, 8, 1, 1}, {4, 8}, {4, 8, 1, 1}},  // base units of 4 and 8 are one pixel a unit
      {{-3, -5, 0, 0}, {6, 12}, {-5, -8, 0, 0}},  // -4.5, -7.5
  };
  for (const Case& c : cases) {
    PixelRect p = MapDialogRect(c.units, c.base);
    EXPECT_EQ(p.x, c.pixels.x) << c.units.x;
    EXPECT_EQ(p.y, c.pixels.y) << c.units.y;
    EXPECT_EQ(p.width, c.pixels.width) << c.units.width;
    EXPECT_EQ(p.height, c.pixels.height) << c.units.height;
  }
}

TEST(DialogLayout, PatchMenuHasTheArtworkAtItsSizeAndTheButtonsOverIt) {
  const DialogTemplate& menu = PatchMenuTemplate();
  for (DialogBaseUnits base : {DialogBaseUnits{7, 12}, DialogBaseUnits{6, 13}}) {
    DialogLayout layout = LayoutDialog(menu, base);
    SCOPED_TRACE(base.x);
    ASSERT_EQ(layout.controls.size(), 3u);
    EXPECT_EQ(menu.controls[0].id, IDC_ARTWORK);
    const PixelRect& artwork = layout.controls[0];
    // The bitmap's own size, whatever the font: the client area clips it.
    EXPECT_EQ(artwork.x, 0);
    EXPECT_EQ(artwork.y, 0);
    EXPECT_EQ(artwork.width, 410);
    EXPECT_EQ(artwork.height, 245);
    for (int i : {1, 2}) {
      const PixelRect& button = layout.controls[i];
      EXPECT_GE(button.x, 0);
      EXPECT_LE(button.x + button.width, artwork.width);
      EXPECT_GT(button.y, artwork.height / 2) << "over the artwork's lower part";
      EXPECT_LE(button.y + button.height, layout.clientHeight);
    }
    EXPECT_LT(layout.controls[1].x + layout.controls[1].width, layout.controls[2].x);
  }
  DialogLayout layout = LayoutDialog(menu, {7, 12});
  EXPECT_EQ(layout.clientWidth, 411);
  EXPECT_EQ(layout.clientHeight, 242);
}

}  // namespace
}  // namespace pache
