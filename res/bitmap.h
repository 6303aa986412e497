// Reading the program's bitmaps: BMP files of 8 bits per pixel with a
// palette, uncompressed, as the resource compiler takes them.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace pache {

struct IndexedBitmap {
  int width = 0;
  int height = 0;
  bool bottomUp = false;  // rows stored bottom-up in the file
  std::vector<std::array<std::uint8_t, 3>> palette;  // red, green, blue
  std::vector<std::uint8_t> indices;                 // width * height, rows top-down
};

// Parses a BMP file (file header, BITMAPINFOHEADER, palette, pixels). False
// for anything but an uncompressed 8-bit bitmap whose every part lies within
// `file` and whose pixels all name a palette entry.
bool ReadIndexedBitmap(std::span<const std::uint8_t> file, IndexedBitmap& bitmap);

// The bitmap's pixels as red, green, blue bytes, rows top-down.
std::vector<std::uint8_t> ToRgb(const IndexedBitmap& bitmap);

}  // namespace pache
