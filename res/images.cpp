#include "res/images.h"

#include <cstddef>

#include "res/resource.h"

namespace pache {

namespace images {
// Defined in the source that the build generates.
extern const std::uint8_t kArtworkBitmap[];
extern const std::size_t kArtworkBitmapSize;
extern const std::uint8_t kProgramIcon[];
extern const std::size_t kProgramIconSize;
}  // namespace images

std::span<const std::uint8_t> FindBitmap(int id) {
  if (id != IDB_ARTWORK) return {};
  return {images::kArtworkBitmap, images::kArtworkBitmapSize};
}

std::span<const std::uint8_t> FindIcon(int id) {
  if (id != IDI_PROGRAM) return {};
  return {images::kProgramIcon, images::kProgramIconSize};
}

}  // namespace pache
