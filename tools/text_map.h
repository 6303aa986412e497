// Where a byte of a loaded text stands for its author: lines as an editor
// counts them (ended by CR LF, LF or CR alone) and columns in code page 932
// characters; and byte strings quoted for messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/state.h"

namespace pache::suk {

class TextMap {
 public:
  explicit TextMap(const TextBuffer& text);

  // The 1-based line and column of byte `offset`.
  void Locate(std::int32_t offset, int& line, int& column) const;
  // The 1-based line of byte `offset`.
  int LineOf(std::int32_t offset) const;

 private:
  const TextBuffer& text_;
  std::vector<std::int32_t> lineStarts_;
};

// ANSI bytes (a path, a registry value) as UTF-8 for the terminal.
std::string Shown(std::string_view ansi);

// Code page 932 bytes as UTF-8 for a message, in double quotes, cut after
// `limit` characters with "...".
std::string Quote(std::string_view bytes, std::size_t limit = 40);

// True when `bytes` look scrambled rather than plain text: the definition's
// keys and markers, or failing those, more text bytes once inverted.
bool LooksScrambled(const std::string& bytes);

}  // namespace pache::suk
