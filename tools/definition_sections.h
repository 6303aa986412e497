// The <COPY> and <REG> sections of a loaded patch definition, read line by
// line exactly as the copy worker and the registry update read them, for
// the commands that check or predict what a run will do.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/state.h"

namespace pache::suk {

struct SectionLine {
  std::int32_t start = 0;   // offset of its first byte in the text
  std::int32_t length = 0;  // the whole line's length, also when it was cut
  std::string bytes;        // as delivered into a 512-byte text
};

struct Section {
  Section(const char* text, std::int32_t length) : marker(text), markerLength(length) {}

  const char* marker;
  std::int32_t markerLength;
  bool found = false;
  std::int32_t opening = 0;  // where the marker that opens it stands
  std::int32_t firstLine = 0;
  bool closed = false;
  std::int32_t end = 0;           // where its closing line starts, or the text's end
  std::int32_t afterClosing = 0;  // the first byte after its closing line
  std::vector<SectionLine> lines;

  bool Holds(std::int32_t offset) const { return found && offset >= firstLine && offset < end; }
};

// The first <COPY> section: opened at the marker's first occurrence, the two
// bytes after it skipped unseen, closed by the first line that begins with
// the marker (read whole), or by the end of the text.
Section ReadCopySection(const PatchSession& session);

// The first <REG> section: as ReadCopySection, but the closing line is
// recognised before it is read.
Section ReadRegistrySection(const PatchSession& session);

// What keeps a <REG> line from being applied, in the order the registry
// update finds it.
enum class RegistryLineFault { None, Empty, TooLong, NoDash, NoEquals, RootDigit };

struct RegistryLine {
  std::int32_t rootIndex = 0;
  RegKey root = 0;
  Text subkey = {};
  Text valueName = {};
  Text data = {};
  std::size_t dataAt = 0;  // where the data starts in the line
};

// Splits a <REG> line as the registry update does, with an LF appended in a
// 512-byte text.
RegistryLineFault ParseSectionRegistryLine(const SectionLine& line, RegistryLine& out);

// A path as Windows compares folder names: no trailing backslashes,
// single-byte letters in lower case (a double-byte character's trail byte is
// kept).
std::string FolderKey(std::string_view path);

// Everything before the path's last backslash ("" for none).
std::string ParentFolder(std::string_view path);

}  // namespace pache::suk
