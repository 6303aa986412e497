// Little-endian fields of the Windows file formats (BMP, ICO).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pache {

inline std::uint32_t ReadLittle16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return bytes[at] | (bytes[at + 1] << 8);
}

inline std::uint32_t ReadLittle32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return ReadLittle16(bytes, at) | (ReadLittle16(bytes, at + 2) << 16);
}

}  // namespace pache
