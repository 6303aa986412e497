#include "data/paths.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace pache {

namespace {

// The length of the longest prefix of text[0, length) that ends on a
// character boundary of code page 932.
std::size_t CharacterBoundary(const char* text, std::size_t length) {
  std::size_t at = 0;
  while (at < length) {
    std::size_t width = IsLeadByte(static_cast<unsigned char>(text[at])) ? 2 : 1;
    if (at + width > length) break;
    at += width;
  }
  return at;
}

}  // namespace

bool IsLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool NeedsSeparator(const char* text) {
  std::size_t length = std::strlen(text);
  return length == 0 || text[length - 1] != '\\';
}

bool JoinPath(Text& out, const char* directory, const char* name) {
  std::memset(out, 0, sizeof out);
  int written = std::snprintf(out, sizeof out, NeedsSeparator(directory) ? "%s\\%s" : "%s%s",
                              directory, name);
  if (written < 0 || written >= static_cast<int>(sizeof out)) {
    std::memset(out, 0, sizeof out);
    return false;
  }
  return true;
}

bool FormatText(char* out, std::size_t size, const char* format, ...) {
  if (size == 0) return false;
  va_list arguments;
  va_start(arguments, format);
  int written = std::vsnprintf(out, size, format, arguments);
  va_end(arguments);
  if (written < 0) {
    out[0] = '\0';
    return false;
  }
  if (static_cast<std::size_t>(written) < size) return true;
  out[CharacterBoundary(out, size - 1)] = '\0';
  return false;
}

}  // namespace pache
