#include "tools/scramble.h"

#include <cstdint>

#include "data/scrambled.h"
#include "tools/commands.h"
#include "tools/io.h"

namespace pache::suk {

void Scramble(std::string& bytes) {
  // The core's transform takes a 32-bit length: larger files go in pieces.
  constexpr std::size_t kPiece = std::size_t{1} << 30;
  for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
    std::size_t length = bytes.size() - at < kPiece ? bytes.size() - at : kPiece;
    InvertBytes(reinterpret_cast<std::uint8_t*>(bytes.data() + at),
                static_cast<std::int32_t>(length));
  }
}

int ScrambleFile(const std::string& input, const std::string& output) {
  std::string bytes;
  if (!ReadInput(input, bytes)) return kExitErrors;
  Scramble(bytes);
  return WriteOutput(output, bytes) ? kExitClean : kExitErrors;
}

}  // namespace pache::suk
