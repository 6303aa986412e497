#include "platform/host/hive_format.h"

#include <locale.h>
#include <wctype.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/host/codepage.h"
#include "platform/win32.h"

namespace pache::host {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

// Decodes one UTF-8 sequence at text[i]; false (and i moved past the bad
// byte) for an invalid one.
bool DecodeUtf8(std::string_view text, std::size_t& i, char32_t& out) {
  unsigned char lead = static_cast<unsigned char>(text[i]);
  int extra;
  char32_t value;
  if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    value = lead & 0x07;
  } else if (lead >= 0xE0) {
    extra = lead <= 0xEF ? 2 : -1;
    value = lead & 0x0F;
  } else if (lead >= 0xC2) {
    extra = 1;
    value = lead & 0x1F;
  } else {
    extra = -1;
    value = 0;
  }
  if (extra < 0 || i + extra >= text.size()) {
    ++i;
    return false;
  }
  for (int k = 1; k <= extra; ++k) {
    unsigned char next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) {
      ++i;
      return false;
    }
    value = (value << 6) | (next & 0x3F);
  }
  static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
  if (value < kMinimum[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++i;
    return false;
  }
  i += extra + 1;
  out = value;
  return true;
}

void AppendHexByte(std::string& out, unsigned char byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 15];
}

}  // namespace

std::string EscapeText(std::u16string_view text, char quote, char quote2) {
  std::string out;
  out.reserve(text.size());
  char buffer[16];
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    bool hasNext = i + 1 < text.size();
    char16_t next = hasNext ? text[i + 1] : 0;
    if (c > 0x7F) {
      bool hexFollows = hasNext && next < 0x80 && IsHexDigit(static_cast<char>(next));
      std::snprintf(buffer, sizeof buffer, hexFollows ? "\\x%04x" : "\\x%x", static_cast<unsigned>(c));
      out += buffer;
    } else if (c < 0x20) {
      if (c == 0 && !hasNext) continue;  // the terminating zero is not written
      char letter = 0;
      switch (c) {
        case 0x07: letter = 'a'; break;
        case 0x08: letter = 'b'; break;
        case 0x09: letter = 't'; break;
        case 0x0A: letter = 'n'; break;
        case 0x0B: letter = 'v'; break;
        case 0x0C: letter = 'f'; break;
        case 0x0D: letter = 'r'; break;
        case 0x1B: letter = 'e'; break;
        default: break;
      }
      if (letter != 0) {
        out += '\\';
        out += letter;
      } else {
        bool octalFollows = hasNext && next >= '0' && next <= '7';
        std::snprintf(buffer, sizeof buffer, octalFollows ? "\\%03o" : "\\%o", static_cast<unsigned>(c));
        out += buffer;
      }
    } else {
      char byte = static_cast<char>(c);
      if (byte == '\\' || byte == quote || (quote2 != '\0' && byte == quote2)) out += '\\';
      out += byte;
    }
  }
  return out;
}

std::size_t UnescapeText(std::string_view source, char end, std::u16string& text) {
  text.clear();
  std::size_t i = 0;
  while (i < source.size() && source[i] != end) {
    char c = source[i];
    if (static_cast<unsigned char>(c) >= 0x80) {
      char32_t code;
      if (!DecodeUtf8(source, i, code)) continue;
      if (code >= 0x10000) {
        code -= 0x10000;
        text += static_cast<char16_t>(0xD800 + (code >> 10));
        text += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
      } else {
        text += static_cast<char16_t>(code);
      }
      continue;
    }
    if (c != '\\') {
      text += static_cast<char16_t>(c);
      ++i;
      continue;
    }
    if (++i >= source.size()) return std::string_view::npos;
    c = source[i];
    switch (c) {
      case 'a': text += u'\a'; ++i; break;
      case 'b': text += u'\b'; ++i; break;
      case 'e': text += u'\x1b'; ++i; break;
      case 'f': text += u'\f'; ++i; break;
      case 'n': text += u'\n'; ++i; break;
      case 'r': text += u'\r'; ++i; break;
      case 't': text += u'\t'; ++i; break;
      case 'v': text += u'\v'; ++i; break;
      case 'x': {
        ++i;
        if (i >= source.size() || !IsHexDigit(source[i])) {
          text += u'x';
          break;
        }
        unsigned value = 0;
        for (int digits = 0; digits < 4 && i < source.size() && IsHexDigit(source[i]); ++digits, ++i)
          value = value * 16 + HexValue(source[i]);
        text += static_cast<char16_t>(value);
        break;
      }
      case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7': {
        unsigned value = 0;
        for (int digits = 0; digits < 3 && i < source.size() && source[i] >= '0' && source[i] <= '7';
             ++digits, ++i)
          value = value * 8 + (source[i] - '0');
        text += static_cast<char16_t>(value);
        break;
      }
      default:
        if (static_cast<unsigned char>(c) >= 0x80) break;  // read as UTF-8 on the next turn
        text += static_cast<char16_t>(c);
        ++i;
        break;
    }
  }
  return i < source.size() ? i : std::string_view::npos;
}

char16_t LowerUnit(char16_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? static_cast<char16_t>(c + 32) : c;
  // Wine maps every Unicode letter, not only ASCII: use the C library's
  // Unicode tables, independent of the user's locale.
  static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (unicode == static_cast<locale_t>(0) || (c >= 0xD800 && c <= 0xDFFF)) return c;
  wint_t mapped = towlower_l(static_cast<wint_t>(c), unicode);
  return mapped <= 0xFFFF ? static_cast<char16_t>(mapped) : c;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && LowerUnit(a[i]) != LowerUnit(b[i])) return false;
  return true;
}

std::vector<std::u16string> SplitKeyPath(std::u16string_view path) {
  std::vector<std::u16string> components;
  std::size_t from = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == u'\\') {
      if (i > from) components.emplace_back(path.substr(from, i - from));
      from = i + 1;
    }
  }
  return components;
}

std::string FormatKeyPath(const std::u16string* components, std::size_t count) {
  std::string path;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) path += "\\\\";
    path += EscapeText(components[i], '[', ']');
  }
  return path;
}

bool IsStringType(std::uint32_t type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::string FormatValueLine(std::u16string_view name, std::uint32_t type, std::string_view data) {
  std::string line;
  if (name.empty()) {
    line = "@=";
  } else {
    line = "\"";
    line += EscapeText(name, '"');
    line += "\"=";
  }
  char buffer[32];
  if (IsStringType(type) && data.size() >= 2 && data.size() % 2 == 0 &&
      data[data.size() - 2] == 0 && data[data.size() - 1] == 0) {
    if (type != REG_SZ) {
      std::snprintf(buffer, sizeof buffer, "str(%x):", static_cast<unsigned>(type));
      line += buffer;
    }
    line += '"';
    line += EscapeText(UnitsFromBytes(data), '"');
    line += "\"\n";
    return line;
  }
  if (type == REG_DWORD && data.size() == 4) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(data[i]);
    std::snprintf(buffer, sizeof buffer, "dword:%08x\n", static_cast<unsigned>(value));
    return line + buffer;
  }
  if (type == REG_BINARY) {
    line += "hex:";
  } else {
    std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(type));
    line += buffer;
  }
  // The column count starts at the line so far; after each separating
  // comma, a count past 76 wraps the line.
  std::size_t column = line.size();
  line.reserve(line.size() + data.size() * 3 + data.size() / 25 * 4 + 1);
  for (std::size_t i = 0; i < data.size(); ++i) {
    AppendHexByte(line, static_cast<unsigned char>(data[i]));
    column += 2;
    if (i + 1 < data.size()) {
      line += ',';
      if (++column > 76) {
        line += "\\\n  ";
        column = 2;
      }
    }
  }
  line += '\n';
  return line;
}

namespace {

// The data types a value line may name, as Wine recognises them
// (case-sensitive, and "str(1):" is not among them).
enum class DataForm { String, Dword, Hex };

bool ReadDataTag(std::string_view text, std::size_t& pos, std::uint32_t& type, DataForm& form) {
  struct Tag {
    std::string_view text;
    std::uint32_t type;
    DataForm form;
  };
  static constexpr Tag kTags[] = {
      {"\"", REG_SZ, DataForm::String},          {"str:\"", REG_SZ, DataForm::String},
      {"str(2):\"", REG_EXPAND_SZ, DataForm::String}, {"str(7):\"", REG_MULTI_SZ, DataForm::String},
      {"hex:", REG_BINARY, DataForm::Hex},       {"dword:", REG_DWORD, DataForm::Dword},
  };
  std::string_view rest = text.substr(pos);
  for (const Tag& tag : kTags) {
    if (rest.substr(0, tag.text.size()) == tag.text) {
      pos += tag.text.size();
      type = tag.type;
      form = tag.form;
      return true;
    }
  }
  if (rest.substr(0, 4) != "hex(") return false;
  // strtoul would also take white space and a sign: copy the candidate out
  // so that it cannot read past the line.
  std::size_t close = rest.find(')', 4);
  if (close == std::string_view::npos || close > 40) return false;
  std::string number(rest.substr(4, close - 4));
  char* end = nullptr;
  unsigned long value = std::strtoul(number.c_str(), &end, 16);
  if (end == number.c_str() || *end != '\0' || rest.substr(close, 2) != "):") return false;
  type = static_cast<std::uint32_t>(value);
  form = DataForm::Hex;
  pos += close + 2;
  return true;
}

// The end of the line that starts at `pos`: the offset of its LF, or the
// end of the text.
std::size_t LineEnd(std::string_view text, std::size_t pos) {
  std::size_t lf = text.find('\n', pos);
  return lf == std::string_view::npos ? text.size() : lf;
}

std::size_t AfterLine(std::string_view text, std::size_t pos) {
  std::size_t end = LineEnd(text, pos);
  return end < text.size() ? end + 1 : end;
}

// Hex bytes separated by commas, over continuation lines. `pos` is at the
// first byte; `consumed` becomes the end of the last line read.
bool ReadHexData(std::string_view text, std::size_t pos, std::string& data, std::size_t& consumed) {
  std::size_t lineEnd = LineEnd(text, pos);
  for (;;) {
    while (pos < lineEnd && IsHexDigit(text[pos])) {
      unsigned value = 0;
      std::size_t digits = 0;
      while (pos < lineEnd && IsHexDigit(text[pos])) {
        if (value <= 0xFF) value = value * 16 + HexValue(text[pos]);
        ++pos;
        ++digits;
      }
      if (value > 0xFF) {
        consumed = AfterLine(text, lineEnd);
        return false;
      }
      data += static_cast<char>(value);
      while (pos < lineEnd && IsSpace(text[pos])) ++pos;
      if (pos < lineEnd && text[pos] == ',') ++pos;
      while (pos < lineEnd && IsSpace(text[pos])) ++pos;
    }
    while (pos < lineEnd && IsSpace(text[pos])) ++pos;
    if (pos == lineEnd) {
      consumed = AfterLine(text, lineEnd);
      return true;
    }
    if (text[pos] != '\\' || lineEnd == text.size()) {
      consumed = AfterLine(text, lineEnd);
      return false;
    }
    // A backslash: the data goes on after the next line's leading space.
    pos = lineEnd + 1;
    lineEnd = LineEnd(text, pos);
    while (pos < lineEnd && IsSpace(text[pos])) ++pos;
  }
}

}  // namespace

bool ParseValueLine(std::string_view text, ParsedValue& value, std::size_t& consumed) {
  value = ParsedValue();
  std::size_t lineEnd = LineEnd(text, 0);
  std::string_view line = text.substr(0, lineEnd);
  consumed = AfterLine(text, 0);
  std::size_t pos;
  if (!line.empty() && line[0] == '@') {
    pos = 1;
  } else if (!line.empty() && line[0] == '"') {
    std::size_t close = UnescapeText(line.substr(1), '"', value.name);
    if (close == std::string_view::npos) return false;
    pos = close + 2;
  } else {
    return false;
  }
  while (pos < line.size() && IsSpace(line[pos])) ++pos;
  if (pos >= line.size() || line[pos] != '=') return false;
  ++pos;
  while (pos < line.size() && IsSpace(line[pos])) ++pos;
  DataForm form;
  if (!ReadDataTag(line, pos, value.type, form)) {
    value.type = REG_NONE;
    return true;
  }
  switch (form) {
    case DataForm::String: {
      std::u16string textData;
      std::size_t close = UnescapeText(line.substr(pos), '"', textData);
      if (close == std::string_view::npos) break;
      textData += u'\0';  // a loaded string always ends with its zero
      value.data = BytesFromUnits(textData);
      value.dataValid = true;
      break;
    }
    case DataForm::Dword: {
      std::string number(line.substr(pos));
      std::uint32_t dword = static_cast<std::uint32_t>(std::strtoul(number.c_str(), nullptr, 16));
      value.data.assign(4, '\0');
      for (int i = 0; i < 4; ++i) value.data[i] = static_cast<char>((dword >> (8 * i)) & 0xFF);
      value.dataValid = true;
      break;
    }
    case DataForm::Hex:
      value.dataValid = ReadHexData(text, pos, value.data, consumed);
      break;
  }
  if (!value.dataValid) {
    value.type = REG_NONE;
    value.data.clear();
  }
  return true;
}

KeyTime CurrentKeyTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  KeyTime time;
  time.seconds = static_cast<std::uint32_t>(now.tv_sec);
  // 100-ns intervals since 1601-01-01.
  time.fileTime = static_cast<std::uint64_t>(now.tv_sec) * 10000000u +
                  static_cast<std::uint64_t>(now.tv_nsec) / 100u + 116444736000000000ull;
  return time;
}

std::string FormatFileTime(std::uint64_t fileTime) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%x%08x", static_cast<unsigned>(fileTime >> 32),
                static_cast<unsigned>(fileTime & 0xFFFFFFFFu));
  return buffer;
}

}  // namespace pache::host
