// The text of a Wine hive file ("WINE REGISTRY Version 2"), line by line:
// escaping of names and strings, the encodings of value data, and the
// times of key blocks. Everything here works on one line (or one value with
// its continuation lines) and knows nothing of files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pache::host {

inline constexpr std::string_view kHiveSignature = "WINE REGISTRY Version 2";

// Escapes UTF-16 text as Wine writes it: code units above 0x7F as \x with
// lowercase hex, control characters as C escapes or octal, the backslash,
// and `quote` (and, when given, `quote2`) preceded by a backslash. A final
// zero unit is dropped; any other zero is written as \0.
std::string EscapeText(std::u16string_view text, char quote, char quote2 = '\0');

// Unescapes `source` up to the first unescaped `end` byte. Raw bytes of
// 0x80 and above are read as UTF-8 (invalid sequences are dropped). Returns
// the offset of that `end` byte, or npos when it does not occur.
std::size_t UnescapeText(std::string_view source, char end, std::u16string& text);

// Key and value names compare as Wine compares them: each code unit
// mapped to lower case.
char16_t LowerUnit(char16_t unit);
bool SameName(std::u16string_view a, std::u16string_view b);

// A key path split at its backslashes; empty components are skipped, as
// Wine skips repeated separators.
std::vector<std::u16string> SplitKeyPath(std::u16string_view path);

// A key path below its hive's root, as written between the brackets of a
// key line: components escaped and joined by "\\".
std::string FormatKeyPath(const std::u16string* components, std::size_t count);

// A whole value line, with its LF: `name` (empty for the default value)
// and the data in the form Wine writes for `type`, hex data wrapped.
std::string FormatValueLine(std::u16string_view name, std::uint32_t type, std::string_view data);

// A value read from a value line.
struct ParsedValue {
  std::u16string name;
  std::uint32_t type = 0;
  std::string data;
  bool dataValid = false;  // false: the name parsed, its data did not
};

// Reads the value line that starts at `text` (after its leading white
// space), following continuation lines of hex data. `consumed` is the
// length up to and including the LF that ends the value (or the end of
// `text`). False when the name does not parse: the line is then no value.
bool ParseValueLine(std::string_view text, ParsedValue& value, std::size_t& consumed);

// Times of a key block: the seconds after a key line and the #time= value
// (a FILETIME in lowercase hex).
struct KeyTime {
  std::uint32_t seconds = 0;
  std::uint64_t fileTime = 0;
};
KeyTime CurrentKeyTime();
std::string FormatFileTime(std::uint64_t fileTime);

// Whether `type` holds text that the ANSI functions convert.
bool IsStringType(std::uint32_t type);

}  // namespace pache::host
