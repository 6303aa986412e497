#include "tools/definition_sections.h"

#include <cstring>

#include "apply/registry_update.h"
#include "data/patch_definition.h"
#include "data/paths.h"
#include "data/registry_ref.h"
#include "data/text_cursor.h"

namespace pache::suk {

namespace {

Section ReadSection(const PatchSession& session, const char* marker, std::int32_t length,
                    bool closesBeforeReading) {
  const TextBuffer& text = session.definitionText;
  Section section(marker, length);
  std::int32_t cursor = 0;
  if (!FindMarker(session, cursor, marker, length, true)) return section;
  section.found = true;
  section.opening = cursor - length - 2;
  section.firstLine = cursor;
  while (!AtEndOfText(session, cursor)) {
    SectionLine line;
    line.start = cursor;
    Text bytes = {};
    bool closing;
    if (closesBeforeReading) {
      closing = ReadLineUnlessMarker(session, bytes, cursor, marker, length);
      if (closing) {
        Text closingLine = {};
        ReadLine(session, cursor, closingLine);
      }
      bool crLf = cursor >= 2 && cursor <= text.length && text.bytes[cursor - 2] == '\r' &&
                  text.bytes[cursor - 1] == '\n';
      line.length = cursor - line.start - (crLf ? 2 : 0);
    } else {
      line.length = ReadLine(session, cursor, bytes);
      closing = std::strncmp(bytes, marker, static_cast<std::size_t>(length)) == 0;
    }
    if (closing) {
      section.closed = true;
      section.end = line.start;
      section.afterClosing = cursor;
      return section;
    }
    line.bytes = bytes;
    section.lines.push_back(line);
  }
  section.end = text.length;
  return section;
}

}  // namespace

Section ReadCopySection(const PatchSession& session) {
  return ReadSection(session, kCopyMarker, kCopyMarkerLength, false);
}

Section ReadRegistrySection(const PatchSession& session) {
  return ReadSection(session, kRegistryMarker, kRegistryMarkerLength, true);
}

RegistryLineFault ParseSectionRegistryLine(const SectionLine& line, RegistryLine& out) {
  if (line.length == 0) return RegistryLineFault::Empty;
  Text text = {};
  // A line cut to 511 bytes, or one of 511, leaves no room for the LF.
  if (!FormatText(text, sizeof text, "%s\n", line.bytes.c_str())) return RegistryLineFault::TooLong;
  if (!ParseRegistryLine('-', '=', text, out.rootIndex, out.subkey, out.valueName, out.data)) {
    return line.bytes.find('-', 1) == std::string::npos ? RegistryLineFault::NoDash
                                                        : RegistryLineFault::NoEquals;
  }
  out.dataAt = line.bytes.find('=', line.bytes.find('-', 1)) + 1;
  return RootKeyForIndex(out.rootIndex, out.root) ? RegistryLineFault::None
                                                  : RegistryLineFault::RootDigit;
}

std::string FolderKey(std::string_view path) {
  std::string key;
  for (std::size_t at = 0; at < path.size(); ++at) {
    unsigned char byte = static_cast<unsigned char>(path[at]);
    if (IsLeadByte(byte) && at + 1 < path.size()) {
      key += path.substr(at, 2);
      ++at;
    } else {
      key += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 32 : byte);
    }
  }
  while (!key.empty() && key.back() == '\\') key.pop_back();
  return key;
}

std::string ParentFolder(std::string_view path) {
  std::string trimmed(path);
  while (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
  std::size_t last = std::string::npos;
  for (std::size_t at = 0; at < trimmed.size(); ++at) {
    if (IsLeadByte(static_cast<unsigned char>(trimmed[at]))) {
      ++at;
    } else if (trimmed[at] == '\\') {
      last = at;
    }
  }
  return last == std::string::npos ? "" : trimmed.substr(0, last);
}

}  // namespace pache::suk
