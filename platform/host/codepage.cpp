#include "platform/host/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace pache::host {

namespace {

std::string IconvName(int codePage) {
  switch (codePage) {
    case 932: return "CP932";
    case 65001: return "UTF-8";
    case 20127: return "ASCII";
    case 28591: return "ISO-8859-1";
    default: return "CP" + std::to_string(codePage);
  }
}

// Converts `input` from one iconv encoding to another. An unconvertible or
// incomplete input unit of `unitSize` bytes becomes `replacement`, and the
// result is then false.
bool Convert(const char* from, const char* to, const char* input, std::size_t inputSize,
             std::size_t unitSize, const std::string& replacement, std::string& output) {
  output.clear();
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  bool clean = true;
  char* in = const_cast<char*>(input);
  std::size_t inLeft = inputSize;
  char chunk[4096];
  while (inLeft > 0) {
    char* out = chunk;
    std::size_t outLeft = sizeof chunk;
    std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    output.append(chunk, out - chunk);
    if (result != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: replace one unit and go on.
    clean = false;
    output += replacement;
    std::size_t skip = inLeft < unitSize ? inLeft : unitSize;
    in += skip;
    inLeft -= skip;
  }
  iconv_close(converter);
  return clean;
}

}  // namespace

std::u16string UnitsFromBytes(std::string_view bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  return units;
}

std::string BytesFromUnits(std::u16string_view units) {
  std::string bytes(units.size() * 2, '\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    bytes[2 * i] = static_cast<char>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  return bytes;
}

int AnsiCodePage() {
  const char* value = std::getenv("PACHE_ACP");
  if (value != nullptr && *value != '\0') {
    char* end = nullptr;
    long codePage = std::strtol(value, &end, 10);
    if (*end == '\0' && codePage > 0 && codePage < 100000) return static_cast<int>(codePage);
  }
  return 932;
}

bool AnsiToUtf8(std::string_view ansi, std::string& utf8, int codePage) {
  return Convert(IconvName(codePage).c_str(), "UTF-8", ansi.data(), ansi.size(), 1, "?", utf8);
}

bool Utf8ToAnsi(std::string_view utf8, std::string& ansi, int codePage) {
  return Convert("UTF-8", IconvName(codePage).c_str(), utf8.data(), utf8.size(), 1, "?", ansi);
}

bool AnsiToUtf16(std::string_view ansi, std::u16string& utf16, int codePage) {
  std::string bytes;
  bool clean = Convert(IconvName(codePage).c_str(), "UTF-16LE", ansi.data(), ansi.size(), 1,
                       std::string("?\0", 2), bytes);
  utf16 = UnitsFromBytes(bytes);
  return clean;
}

bool Utf16ToAnsi(std::u16string_view utf16, std::string& ansi, int codePage) {
  std::string bytes = BytesFromUnits(utf16);
  return Convert("UTF-16LE", IconvName(codePage).c_str(), bytes.data(), bytes.size(), 2, "?",
                 ansi);
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::string bytes;
  Convert("UTF-8", "UTF-16LE", utf8.data(), utf8.size(), 1, std::string("\xFD\xFF", 2), bytes);
  return UnitsFromBytes(bytes);
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string bytes = BytesFromUnits(utf16);
  std::string utf8;
  Convert("UTF-16LE", "UTF-8", bytes.data(), bytes.size(), 2, "\xEF\xBF\xBD", utf8);
  return utf8;
}

}  // namespace pache::host
