// suk build IN OUT: a patch definition written as UTF-8 text, with any line
// ends, becomes the stored definition: code page 932, CR LF, scrambled.
#include <cstdio>
#include <iostream>

#include "platform/host/codepage.h"
#include "tools/commands.h"
#include "tools/diagnostics.h"
#include "tools/io.h"
#include "tools/scramble.h"

namespace pache::suk {

namespace {

constexpr int kDefinitionCodePage = 932;

// The byte count of the UTF-8 sequence that `lead` begins (1 for a byte
// that begins none).
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

// Why the character at the start of `character` cannot be stored.
std::string Refusal(std::string_view character) {
  std::u16string units = host::Utf8ToUtf16(character);
  bool decoded = !units.empty() && units.find(u'\xFFFD') == std::u16string::npos;
  if (!decoded) {
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(character[0]));
    return std::string("byte ") + byte + " is not UTF-8 text";
  }
  char32_t point = units[0];
  if (units.size() == 2) point = 0x10000 + ((units[0] - 0xD800) << 10) + (units[1] - 0xDC00);
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(point));
  return "character " + std::string(name) + " \"" + std::string(character) +
         "\" has no code page 932 form";
}

// Converts one line; on failure adds a diagnostic for each character that
// code page 932 cannot hold.
void ConvertLine(std::string_view line, int lineNumber, std::string& stored,
                 std::vector<Diagnostic>& diagnostics) {
  std::string converted;
  if (host::Utf8ToAnsi(line, converted, kDefinitionCodePage)) {
    stored += converted;
    return;
  }
  int column = 1;
  for (std::size_t at = 0; at < line.size(); ++column) {
    std::size_t length = SequenceLength(static_cast<unsigned char>(line[at]));
    if (length > line.size() - at) length = 1;
    std::string_view character = line.substr(at, length);
    if (!host::Utf8ToAnsi(character, converted, kDefinitionCodePage))
      diagnostics.push_back({lineNumber, column, Severity::Error, Refusal(character)});
    at += length;
  }
}

}  // namespace

// Converts `text` line by line; every line, the last one included, ends with
// CR LF. False with the reasons in `diagnostics` when a character cannot be
// stored.
bool BuildDefinition(std::string_view text, std::string& stored,
                     std::vector<Diagnostic>& diagnostics) {
  stored.clear();
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  int lineNumber = 1;
  while (!text.empty()) {
    std::size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    ConvertLine(line, lineNumber++, stored, diagnostics);
    stored += "\r\n";
    if (end == std::string_view::npos) break;
    std::size_t lineEnd = text.substr(end, 2) == "\r\n" ? 2 : 1;
    text.remove_prefix(end + lineEnd);
  }
  return diagnostics.empty();
}

int RunBuild(const Arguments& arguments) {
  if (arguments.size() != 2) return UsageError("build", "build takes IN and OUT");
  std::string text;
  if (!ReadInput(arguments[0], text)) return kExitErrors;
  std::string stored;
  std::vector<Diagnostic> diagnostics;
  if (!BuildDefinition(text, stored, diagnostics)) {
    PrintDiagnostics(std::cerr, arguments[0] == "-" ? "<stdin>" : arguments[0], diagnostics);
    PrintError("nothing written: the text above cannot be stored in code page 932");
    return kExitErrors;
  }
  Scramble(stored);
  return WriteOutput(arguments[1], stored) ? kExitClean : kExitErrors;
}

}  // namespace pache::suk
