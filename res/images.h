// The pictures of the program file: the menu artwork (bitmap 103) and the
// file icon (icon 101), drawn by res/generator/make_images.cpp when the
// program is built and embedded in it.
#pragma once

#include <cstdint>
#include <span>

namespace pache {

// The BMP file of bitmap `id`, file header included; empty when the program
// has no such bitmap.
std::span<const std::uint8_t> FindBitmap(int id);

// The ICO file of icon group `id`; empty when the program has no such icon.
std::span<const std::uint8_t> FindIcon(int id);

}  // namespace pache
