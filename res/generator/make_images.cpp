// Draws the program's pictures, the menu artwork (bitmap 103) and the file
// icon (icon 101), and writes them as a BMP file, an ICO file and a C++
// source that embeds both. Run by the build; everything is computed, so the
// same source always gives the same bytes.
//
// Usage: make_images OUTPUT_DIR
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct Colour {
  double r = 0, g = 0, b = 0;
};

Colour Mix(Colour a, Colour b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour Add(Colour a, Colour b, double weight) {
  return {a.r + b.r * weight, a.g + b.g * weight, a.b + b.b * weight};
}

// A picture in full colour, rows top-down.
struct Picture {
  int width = 0, height = 0;
  std::vector<Colour> pixels;
  Colour& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// The same picture in 256 colours.
struct IndexedPicture {
  int width = 0, height = 0;
  std::array<std::array<std::uint8_t, 3>, 256> palette{};
  std::vector<std::uint8_t> indices;  // rows top-down
};

// A small deterministic generator, so that the stars stay where they are.
struct Random {
  std::uint32_t state;
  double Next() {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) / 16777216.0;
  }
};

// Colour along a list of (position, colour) stops.
Colour Gradient(const std::vector<std::pair<double, Colour>>& stops, double t) {
  if (t <= stops.front().first) return stops.front().second;
  for (std::size_t i = 1; i < stops.size(); ++i) {
    if (t <= stops[i].first) {
      double span = stops[i].first - stops[i - 1].first;
      return Mix(stops[i - 1].second, stops[i].second, (t - stops[i - 1].first) / span);
    }
  }
  return stops.back().second;
}

const std::vector<std::pair<double, Colour>> kSky = {
    {0.00, {16, 20, 58}},   {0.40, {62, 46, 124}}, {0.70, {168, 82, 120}},
    {0.88, {236, 128, 100}}, {1.00, {255, 196, 128}},
};

// The menu artwork: a dusk over mountains and a lake, the sun on the
// horizon and its reflection in the water, which lies under the buttons.
Picture DrawArtwork() {
  Picture picture{410, 245, {}};
  picture.pixels.resize(410 * 245);
  const double horizon = 150;
  const double sunX = 300, sunY = 104, sunRadius = 22;
  auto ridge = [](double x, double base, double a, double b, double c, double phase) {
    return base + a * std::sin(x * 0.019 + phase) + b * std::sin(x * 0.047 + 2 * phase) +
           c * std::sin(x * 0.131 + 3 * phase);
  };
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      double dx = x - sunX;
      Colour c;
      if (y < horizon) {
        c = Gradient(kSky, y / horizon);
        double dy = y - sunY;
        double distance = std::sqrt(dx * dx + dy * dy);
        c = Add(c, {255, 150, 80}, 0.55 * std::exp(-distance / 38));
        if (distance < sunRadius) c = Mix({255, 240, 196}, {255, 206, 120}, distance / sunRadius);
        double far = ridge(x, 112, 12, 7, 2.5, 0.7);
        double middle = ridge(x, 128, 9, 6, 3, 2.1);
        double near = ridge(x * 1.3, 141, 6, 5, 2, 4.0) + std::max(0.0, (140 - x) * 0.12);
        if (y >= far) c = Mix(Gradient(kSky, 0.93), {104, 66, 128}, 0.55 + (y - far) / 120);
        if (y >= middle) c = Mix({72, 44, 104}, {50, 30, 80}, (y - middle) / 30);
        if (y >= near) c = Mix({36, 24, 62}, {24, 16, 46}, (y - near) / 20);
      } else {
        double depth = (y - horizon) / (picture.height - horizon);
        c = Mix({74, 50, 110}, {10, 14, 38}, std::pow(depth, 0.7));
        // The sun's path on the water: wide ripples, narrowing with depth.
        double half = 8 + 46 * depth;
        double ripple = 0.5 + 0.5 * std::sin(y * 1.7 + std::sin(x * 0.09) * 2.0);
        if (std::fabs(dx) < half) {
          double strength = (1 - std::fabs(dx) / half) * (1 - depth * 0.8) * ripple;
          c = Mix(c, {255, 190, 120}, strength * 0.9);
        }
        double glint = std::sin(y * 0.9 + x * 0.05) * std::sin(x * 0.21 + y * 0.37);
        if (glint > 0.93) c = Mix(c, {150, 120, 170}, 0.5 * (1 - depth));
      }
      picture.At(x, y) = c;
    }
  }
  Random random{2026};
  for (int i = 0; i < 140; ++i) {
    int x = static_cast<int>(random.Next() * picture.width);
    int y = static_cast<int>(random.Next() * horizon * 0.62);
    double brightness = (0.4 + 0.6 * random.Next()) * (1 - y / (horizon * 0.7));
    picture.At(x, y) = Mix(picture.At(x, y), {255, 250, 230}, brightness);
  }
  // A thin light frame around the picture.
  for (int x = 0; x < picture.width; ++x) {
    for (int y : {2, picture.height - 3}) picture.At(x, y) = Mix(picture.At(x, y), {255, 220, 170}, 0.5);
  }
  for (int y = 2; y < picture.height - 2; ++y) {
    for (int x : {2, picture.width - 3}) picture.At(x, y) = Mix(picture.At(x, y), {255, 220, 170}, 0.5);
  }
  return picture;
}

// The icon: a rounded tile of the same dusk with a light arrow pointing up.
// Outside the tile the icon is transparent (`inside` false).
Picture DrawIcon(std::vector<bool>& inside) {
  const int size = 32;
  Picture picture{size, size, {}};
  picture.pixels.resize(size * size);
  inside.assign(size * size, false);
  const double radius = 6;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double cx = std::clamp(x + 0.5, radius + 1, size - 1 - radius);
      double cy = std::clamp(y + 0.5, radius + 1, size - 1 - radius);
      double corner = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
      if (corner > radius) continue;
      inside[y * size + x] = true;
      Colour c = Gradient(kSky, (y + 0.5) / size);
      double fx = x + 0.5 - 16;
      // Arrow: a triangle head over a shaft.
      bool head = y >= 6 && y < 17 && std::fabs(fx) <= (y - 6) * 0.95;
      bool shaft = y >= 17 && y < 27 && std::fabs(fx) <= 3.5;
      if (head || shaft) c = Mix({255, 248, 232}, {255, 214, 150}, (y - 6) / 21.0);
      if (corner > radius - 1) c = Mix(c, {20, 16, 40}, 0.6);
      picture.At(x, y) = c;
    }
  }
  return picture;
}

std::array<std::uint8_t, 3> Clamped(Colour c) {
  auto channel = [](double v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
  };
  return {channel(c.r), channel(c.g), channel(c.b)};
}

// Median cut: splits the picture's colours into at most 256 boxes along the
// widest channel; each box's mean is a palette entry.
std::array<std::array<std::uint8_t, 3>, 256> MedianCutPalette(const Picture& picture) {
  using Rgb = std::array<std::uint8_t, 3>;
  std::vector<Rgb> colours;
  colours.reserve(picture.pixels.size());
  for (const Colour& c : picture.pixels) colours.push_back(Clamped(c));
  struct Box {
    std::size_t begin, end;
  };
  std::vector<Box> boxes{{0, colours.size()}};
  auto widest = [&](const Box& box, int& channel) {
    int best = -1;
    for (int k = 0; k < 3; ++k) {
      auto [low, high] = std::minmax_element(
          colours.begin() + box.begin, colours.begin() + box.end,
          [k](const Rgb& a, const Rgb& b) { return a[k] < b[k]; });
      int range = (*high)[k] - (*low)[k];
      if (range > best) best = range, channel = k;
    }
    return best;
  };
  while (boxes.size() < 256) {
    std::size_t chosen = boxes.size();
    int chosenChannel = 0;
    double chosenScore = 0;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].end - boxes[i].begin < 2) continue;
      int channel = 0;
      int range = widest(boxes[i], channel);
      double score = range * std::sqrt(static_cast<double>(boxes[i].end - boxes[i].begin));
      if (range > 0 && score > chosenScore) chosen = i, chosenChannel = channel, chosenScore = score;
    }
    if (chosen == boxes.size()) break;
    Box box = boxes[chosen];
    auto first = colours.begin() + box.begin;
    auto middle = first + (box.end - box.begin) / 2;
    std::nth_element(first, middle, colours.begin() + box.end,
                     [chosenChannel](const Rgb& a, const Rgb& b) {
                       return a[chosenChannel] < b[chosenChannel];
                     });
    std::size_t split = static_cast<std::size_t>(middle - colours.begin());
    boxes[chosen] = {box.begin, split};
    boxes.push_back({split, box.end});
  }
  std::array<Rgb, 256> palette{};
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    double sum[3] = {0, 0, 0};
    for (std::size_t j = boxes[i].begin; j < boxes[i].end; ++j) {
      for (int k = 0; k < 3; ++k) sum[k] += colours[j][k];
    }
    double count = static_cast<double>(boxes[i].end - boxes[i].begin);
    for (int k = 0; k < 3; ++k) palette[i][k] = static_cast<std::uint8_t>(std::lround(sum[k] / count));
  }
  return palette;
}

// Maps the picture onto its palette with Floyd-Steinberg error diffusion,
// so that the gradients stay smooth in 256 colours.
IndexedPicture Quantise(Picture picture) {
  IndexedPicture out;
  out.width = picture.width;
  out.height = picture.height;
  out.palette = MedianCutPalette(picture);
  out.indices.resize(picture.pixels.size());
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      Colour c = picture.At(x, y);
      int best = 0;
      double bestDistance = 1e30;
      for (int i = 0; i < 256; ++i) {
        const auto& p = out.palette[i];
        double dr = c.r - p[0], dg = c.g - p[1], db = c.b - p[2];
        double distance = dr * dr * 0.3 + dg * dg * 0.59 + db * db * 0.11;
        if (distance < bestDistance) bestDistance = distance, best = i;
      }
      out.indices[static_cast<std::size_t>(y) * picture.width + x] = static_cast<std::uint8_t>(best);
      Colour error{c.r - out.palette[best][0], c.g - out.palette[best][1], c.b - out.palette[best][2]};
      auto spread = [&](int px, int py, double weight) {
        if (px >= 0 && px < picture.width && py < picture.height) {
          picture.At(px, py) = Add(picture.At(px, py), error, weight);
        }
      };
      spread(x + 1, y, 7 / 16.0);
      spread(x - 1, y + 1, 3 / 16.0);
      spread(x, y + 1, 5 / 16.0);
      spread(x + 1, y + 1, 1 / 16.0);
    }
  }
  return out;
}

void Put16(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  bytes.push_back(value & 0xFF);
  bytes.push_back((value >> 8) & 0xFF);
}

void Put32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  Put16(bytes, value & 0xFFFF);
  Put16(bytes, value >> 16);
}

std::uint32_t RowStride(int width, int bitsPerPixel) {
  return static_cast<std::uint32_t>((width * bitsPerPixel + 31) / 32 * 4);
}

// BITMAPINFOHEADER and the 256-entry palette. `headerHeight` is the height
// the header states (an icon states twice its height: image and mask).
void PutInfoAndPalette(std::vector<std::uint8_t>& bytes, const IndexedPicture& picture,
                       int headerHeight, std::uint32_t imageSize) {
  Put32(bytes, 40);
  Put32(bytes, static_cast<std::uint32_t>(picture.width));
  Put32(bytes, static_cast<std::uint32_t>(headerHeight));  // positive: rows bottom-up
  Put16(bytes, 1);                                         // planes
  Put16(bytes, 8);                                         // bits per pixel
  Put32(bytes, 0);                                         // BI_RGB: uncompressed
  Put32(bytes, imageSize);
  Put32(bytes, 3780);  // 96 dots per inch, in dots per metre
  Put32(bytes, 3780);
  Put32(bytes, 256);  // colours used
  Put32(bytes, 0);    // all of them important
  for (const auto& entry : picture.palette) {
    bytes.push_back(entry[2]);
    bytes.push_back(entry[1]);
    bytes.push_back(entry[0]);
    bytes.push_back(0);
  }
}

void PutPixelsBottomUp(std::vector<std::uint8_t>& bytes, const IndexedPicture& picture) {
  std::uint32_t stride = RowStride(picture.width, 8);
  for (int y = picture.height - 1; y >= 0; --y) {
    auto row = picture.indices.begin() + static_cast<std::ptrdiff_t>(y) * picture.width;
    bytes.insert(bytes.end(), row, row + picture.width);
    bytes.insert(bytes.end(), stride - picture.width, 0);
  }
}

std::vector<std::uint8_t> BitmapFile(const IndexedPicture& picture) {
  const std::uint32_t offset = 14 + 40 + 256 * 4;
  const std::uint32_t imageSize = RowStride(picture.width, 8) * picture.height;
  std::vector<std::uint8_t> bytes = {'B', 'M'};
  Put32(bytes, offset + imageSize);
  Put32(bytes, 0);
  Put32(bytes, offset);
  PutInfoAndPalette(bytes, picture, picture.height, imageSize);
  PutPixelsBottomUp(bytes, picture);
  return bytes;
}

std::vector<std::uint8_t> IconFile(const IndexedPicture& picture, const std::vector<bool>& inside) {
  const std::uint32_t maskStride = RowStride(picture.width, 1);
  const std::uint32_t imageSize =
      (RowStride(picture.width, 8) + maskStride) * static_cast<std::uint32_t>(picture.height);
  const std::uint32_t resourceSize = 40 + 256 * 4 + imageSize;
  std::vector<std::uint8_t> bytes;
  Put16(bytes, 0);  // reserved
  Put16(bytes, 1);  // an icon
  Put16(bytes, 1);  // one image
  bytes.push_back(static_cast<std::uint8_t>(picture.width));
  bytes.push_back(static_cast<std::uint8_t>(picture.height));
  bytes.push_back(0);  // 256 colours are written as 0
  bytes.push_back(0);
  Put16(bytes, 1);  // planes
  Put16(bytes, 8);  // bits per pixel
  Put32(bytes, resourceSize);
  Put32(bytes, 6 + 16);
  PutInfoAndPalette(bytes, picture, picture.height * 2, imageSize);
  PutPixelsBottomUp(bytes, picture);
  // The AND mask: a set bit lets the background show through.
  for (int y = picture.height - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(maskStride, 0);
    for (int x = 0; x < picture.width; ++x) {
      if (!inside[static_cast<std::size_t>(y) * picture.width + x]) row[x / 8] |= 0x80 >> (x % 8);
    }
    bytes.insert(bytes.end(), row.begin(), row.end());
  }
  return bytes;
}

bool WriteFile(const std::string& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
  file.close();
  if (!file) std::cerr << "make_images: cannot write " << path << "\n";
  return static_cast<bool>(file);
}

std::string AsString(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

std::string ByteArray(const char* name, const std::vector<std::uint8_t>& bytes) {
  std::string out = "extern const std::uint8_t " + std::string(name) + "[] = {";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out += (i % 24 == 0) ? "\n   " : "";
    char number[8];
    std::snprintf(number, sizeof number, " %u,", bytes[i]);
    out += number;
  }
  out += "\n};\nextern const std::size_t " + std::string(name) + "Size = " +
         std::to_string(bytes.size()) + ";\n";
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_images OUTPUT_DIR\n";
    return 2;
  }
  const std::string directory = argv[1];
  std::vector<std::uint8_t> artwork = BitmapFile(Quantise(DrawArtwork()));
  std::vector<bool> inside;
  Picture iconPicture = DrawIcon(inside);
  std::vector<std::uint8_t> icon = IconFile(Quantise(iconPicture), inside);
  std::string source =
      "// Made by res/generator/make_images.cpp at build time.\n"
      "#include <cstddef>\n#include <cstdint>\n\nnamespace pache::images {\n\n" +
      ByteArray("kArtworkBitmap", artwork) + "\n" + ByteArray("kProgramIcon", icon) +
      "\n}  // namespace pache::images\n";
  bool written = WriteFile(directory + "/artwork.bmp", AsString(artwork)) &&
                 WriteFile(directory + "/pache.ico", AsString(icon)) &&
                 WriteFile(directory + "/embedded_images.cpp", source);
  return written ? 0 : 1;
}
