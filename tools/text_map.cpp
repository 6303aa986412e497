#include "tools/text_map.h"

#include <algorithm>

#include "data/patch_definition.h"
#include "data/paths.h"
#include "platform/host/codepage.h"
#include "tools/scramble.h"

namespace pache::suk {

TextMap::TextMap(const TextBuffer& text) : text_(text) {
  lineStarts_.push_back(0);
  for (std::int32_t at = 0; at < text.length; ++at) {
    std::uint8_t byte = text.bytes[at];
    if (byte == '\r' && at + 1 < text.length && text.bytes[at + 1] == '\n') ++at;
    if (byte == '\r' || byte == '\n') lineStarts_.push_back(at + 1);
  }
}

int TextMap::LineOf(std::int32_t offset) const {
  auto next = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
  return static_cast<int>(next - lineStarts_.begin());
}

void TextMap::Locate(std::int32_t offset, int& line, int& column) const {
  line = LineOf(offset);
  column = 1;
  for (std::int32_t at = lineStarts_[line - 1]; at < offset && at < text_.length; ++column)
    at += IsLeadByte(text_.bytes[at]) ? 2 : 1;
}

std::string Shown(std::string_view ansi) {
  std::string utf8;
  host::AnsiToUtf8(ansi, utf8);
  return utf8;
}

std::string Quote(std::string_view bytes, std::size_t limit) {
  std::size_t at = 0;
  std::size_t characters = 0;
  while (at < bytes.size() && characters < limit) {
    at += IsLeadByte(static_cast<unsigned char>(bytes[at])) ? 2 : 1;
    ++characters;
  }
  std::string utf8;
  host::AnsiToUtf8(bytes.substr(0, std::min(at, bytes.size())), utf8, 932);
  std::string shown;
  for (char byte : utf8) {
    if (byte == '\r') shown += "\\r";
    else if (byte == '\n') shown += "\\n";
    else shown += byte;
  }
  return "\"" + shown + (at < bytes.size() ? "...\"" : "\"");
}

bool LooksScrambled(const std::string& bytes) {
  static const std::string_view kKnown[] = {kTitleKey, kVersionKey, kInstallDirKey, kCopyMarker,
                                            kRegistryMarker, kEndMarker};
  std::string inverted(bytes);
  Scramble(inverted);
  for (std::string_view known : kKnown) {
    bool plain = bytes.find(known) != std::string::npos;
    bool scrambled = inverted.find(known) != std::string::npos;
    if (plain != scrambled) return scrambled;
  }
  auto textBytes = [](const std::string& text) {
    return std::count_if(text.begin(), text.end(), [](char byte) {
      unsigned char value = static_cast<unsigned char>(byte);
      return value == '\r' || value == '\n' || value == '\t' || (value >= 0x20 && value < 0x7F);
    });
  };
  return textBytes(inverted) > textBytes(bytes);
}

}  // namespace pache::suk
