#include "res/bitmap.h"

#include <cstddef>

#include "res/little_endian.h"

namespace pache {

bool ReadIndexedBitmap(std::span<const std::uint8_t> file, IndexedBitmap& bitmap) {
  constexpr std::size_t kFileHeader = 14, kInfoHeader = 40;
  if (file.size() < kFileHeader + kInfoHeader || file[0] != 'B' || file[1] != 'M') return false;
  const std::uint32_t pixelOffset = ReadLittle32(file, 10);
  const std::uint32_t headerSize = ReadLittle32(file, 14);
  const std::int32_t width = static_cast<std::int32_t>(ReadLittle32(file, 18));
  const std::int32_t height = static_cast<std::int32_t>(ReadLittle32(file, 22));
  const std::uint32_t bitsPerPixel = ReadLittle16(file, 28);
  const std::uint32_t compression = ReadLittle32(file, 30);
  std::uint32_t colours = ReadLittle32(file, 46);
  if (headerSize != kInfoHeader || bitsPerPixel != 8 || compression != 0) return false;
  if (width <= 0 || height == 0 || height == INT32_MIN || width > 0x4000) return false;
  if (colours == 0) colours = 256;
  if (colours > 256) return false;
  const std::size_t rows = static_cast<std::size_t>(height < 0 ? -static_cast<std::int64_t>(height) : height);
  if (rows > 0x4000) return false;
  const std::size_t paletteEnd = kFileHeader + kInfoHeader + std::size_t{colours} * 4;
  const std::size_t stride = (static_cast<std::size_t>(width) + 3) / 4 * 4;
  if (paletteEnd > file.size() || pixelOffset < paletteEnd || pixelOffset > file.size() ||
      (file.size() - pixelOffset) / stride < rows) {
    return false;
  }
  bitmap.width = width;
  bitmap.height = static_cast<int>(rows);
  bitmap.bottomUp = height > 0;
  bitmap.palette.clear();
  for (std::uint32_t i = 0; i < colours; ++i) {
    std::size_t at = kFileHeader + kInfoHeader + i * 4;  // blue, green, red, reserved
    bitmap.palette.push_back({file[at + 2], file[at + 1], file[at]});
  }
  bitmap.indices.resize(static_cast<std::size_t>(width) * rows);
  for (std::size_t row = 0; row < rows; ++row) {
    std::size_t fileRow = bitmap.bottomUp ? rows - 1 - row : row;
    const std::uint8_t* source = file.data() + pixelOffset + fileRow * stride;
    for (int x = 0; x < width; ++x) {
      if (source[x] >= colours) return false;
      bitmap.indices[row * width + x] = source[x];
    }
  }
  return true;
}

std::vector<std::uint8_t> ToRgb(const IndexedBitmap& bitmap) {
  std::vector<std::uint8_t> rgb;
  rgb.reserve(bitmap.indices.size() * 3);
  for (std::uint8_t index : bitmap.indices) {
    rgb.insert(rgb.end(), bitmap.palette[index].begin(), bitmap.palette[index].end());
  }
  return rgb;
}

}  // namespace pache
