#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "res/bitmap.h"
#include "res/images.h"
#include "res/little_endian.h"
#include "res/resource.h"

namespace pache {
namespace {

using Read = std::uint32_t (*)(std::span<const std::uint8_t>, std::size_t);
constexpr Read Read16 = &ReadLittle16;
constexpr Read Read32 = &ReadLittle32;

TEST(ProgramImages, ArtworkIsAn8BitBottomUpBitmapOf410By245) {
  std::span<const std::uint8_t> file = FindBitmap(IDB_ARTWORK);
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(Read32(file, 34), 412u * 245u) << "412 bytes a row, uncompressed";
  EXPECT_EQ(file.size(), 14u + 40u + 256u * 4u + 412u * 245u);
  IndexedBitmap bitmap;
  ASSERT_TRUE(ReadIndexedBitmap(file, bitmap));
  EXPECT_EQ(bitmap.width, 410);
  EXPECT_EQ(bitmap.height, 245);
  EXPECT_TRUE(bitmap.bottomUp);
  EXPECT_EQ(bitmap.palette.size(), 256u);
}

TEST(ProgramImages, IconIsOne32By32ImageOf256Colours) {
  std::span<const std::uint8_t> file = FindIcon(IDI_PROGRAM);
  ASSERT_GE(file.size(), 22u + 40u);
  EXPECT_EQ(Read16(file, 0), 0u);
  EXPECT_EQ(Read16(file, 2), 1u) << "an icon";
  EXPECT_EQ(Read16(file, 4), 1u) << "one image";
  EXPECT_EQ(file[6], 32);
  EXPECT_EQ(file[7], 32);
  EXPECT_EQ(file[8], 0) << "256 colours";
  EXPECT_EQ(Read16(file, 12), 8u) << "bits per pixel";
  std::uint32_t size = Read32(file, 14), offset = Read32(file, 18);
  ASSERT_EQ(offset + size, file.size());
  // The image: colour pixels and a 1-bit mask, so twice the icon's height.
  EXPECT_EQ(Read32(file, offset + 4), 32u);
  EXPECT_EQ(Read32(file, offset + 8), 64u);
  EXPECT_EQ(Read16(file, offset + 14), 8u);
  EXPECT_EQ(size, 40u + 256u * 4u + 32u * 32u + 32u * 4u);
}

TEST(ProgramImages, OtherIdsFindNothing) {
  EXPECT_TRUE(FindBitmap(IDI_PROGRAM).empty());
  EXPECT_TRUE(FindIcon(IDB_ARTWORK).empty());
}

void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  bytes[at] = value & 0xFF;
  bytes[at + 1] = (value >> 8) & 0xFF;
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  Put16(bytes, at, value & 0xFFFF);
  Put16(bytes, at + 2, value >> 16);
}

// A 3 x 2 bitmap of 4 colours, rows bottom-up, padded to 4 bytes:
// top row 0 1 2, bottom row 3 2 1.
std::vector<std::uint8_t> SmallBitmap() {
  std::vector<std::uint8_t> file(14 + 40 + 4 * 4 + 2 * 4, 0);
  file[0] = 'B';
  file[1] = 'M';
  Put32(file, 2, static_cast<std::uint32_t>(file.size()));
  Put32(file, 10, 14 + 40 + 16);
  Put32(file, 14, 40);
  Put32(file, 18, 3);
  Put32(file, 22, 2);
  Put16(file, 26, 1);
  Put16(file, 28, 8);
  Put32(file, 46, 4);
  for (int i = 0; i < 4; ++i) {  // blue, green, red: colour i is (10i, 20i, 30i)
    file[54 + i * 4] = static_cast<std::uint8_t>(30 * i);
    file[54 + i * 4 + 1] = static_cast<std::uint8_t>(20 * i);
    file[54 + i * 4 + 2] = static_cast<std::uint8_t>(10 * i);
  }
  const std::uint8_t rows[] = {3, 2, 1, 0, 0, 1, 2, 0};
  std::copy(std::begin(rows), std::end(rows), file.begin() + 70);
  return file;
}

TEST(ReadIndexedBitmap, ReadsRowsTopDownWithTheirColours) {
  IndexedBitmap bitmap;
  ASSERT_TRUE(ReadIndexedBitmap(SmallBitmap(), bitmap));
  EXPECT_EQ(bitmap.indices, (std::vector<std::uint8_t>{0, 1, 2, 3, 2, 1}));
  EXPECT_EQ(ToRgb(bitmap), (std::vector<std::uint8_t>{0, 0, 0, 10, 20, 30, 20, 40, 60,  //
                                                      30, 60, 90, 20, 40, 60, 10, 20, 30}));
  // A negative height: rows stored top-down.
  std::vector<std::uint8_t> topDown = SmallBitmap();
  Put32(topDown, 22, static_cast<std::uint32_t>(-2));
  ASSERT_TRUE(ReadIndexedBitmap(topDown, bitmap));
  EXPECT_FALSE(bitmap.bottomUp);
  EXPECT_EQ(bitmap.indices, (std::vector<std::uint8_t>{3, 2, 1, 0, 1, 2}));
}

TEST(ReadIndexedBitmap, RefusesWhatItCannotShow) {
  struct Case {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> spoil;
  } cases[] = {
      {"not a bitmap", [](auto& f) { f[0] = 'X'; }},
      {"24 bits per pixel", [](auto& f) { Put16(f, 28, 24); }},
      {"run-length compressed", [](auto& f) { Put32(f, 30, 1); }},
      {"another header size", [](auto& f) { Put32(f, 14, 108); }},
      {"zero width", [](auto& f) { Put32(f, 18, 0); }},
      {"pixels past the end", [](auto& f) { f.resize(f.size() - 1); }},
      {"palette past the end", [](auto& f) { Put32(f, 46, 200); }},
      {"pixels inside the palette", [](auto& f) { Put32(f, 10, 60); }},
      {"a pixel outside the palette", [](auto& f) { f[70] = 4; }},
      {"too short for the headers", [](auto& f) { f.resize(40); }},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> file = SmallBitmap();
    c.spoil(file);
    IndexedBitmap bitmap;
    EXPECT_FALSE(ReadIndexedBitmap(file, bitmap)) << c.what;
  }
}

}  // namespace
}  // namespace pache
