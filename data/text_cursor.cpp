#include "data/text_cursor.h"

#include <cstring>

namespace pache {

namespace {

constexpr std::uint8_t kCarriageReturn = 13;
constexpr std::uint8_t kLineFeed = 10;

// True when all `length` bytes of `marker` lie inside the text at `at` and
// equal its bytes there.
bool MatchesAt(const TextBuffer& text, std::int32_t at, const char* marker, std::int32_t length) {
  if (at < 0 || length < 0 || at > text.length - length) return false;
  return length == 0 ||
         std::memcmp(text.bytes + at, marker, static_cast<std::size_t>(length)) == 0;
}

bool IsLineEndAt(const TextBuffer& text, std::int32_t at) {
  return at + 1 < text.length && text.bytes[at] == kCarriageReturn &&
         text.bytes[at + 1] == kLineFeed;
}

}  // namespace

bool FindMarker(const PatchSession& session, std::int32_t& cursor, const char* marker,
                std::int32_t length, bool skipLineEnd) {
  const TextBuffer& text = session.definitionText;
  for (std::int32_t at = cursor < 0 ? 0 : cursor; at < text.length; ++at) {
    if (!MatchesAt(text, at, marker, length)) continue;
    // The skipped line end may lie past the text: readers treat any cursor
    // at or past the length as the end.
    std::int64_t after = static_cast<std::int64_t>(at) + length + (skipLineEnd ? 2 : 0);
    cursor = after > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(after);
    return true;
  }
  cursor = text.length;
  return false;
}

std::int32_t ReadTextLine(const TextBuffer& text, std::int32_t& cursor, Text& line) {
  if (cursor < 0 || cursor >= text.length) {
    line[0] = '\0';
    return 0;
  }
  std::int32_t end = cursor;
  while (end < text.length && !IsLineEndAt(text, end)) ++end;
  std::int32_t length = end - cursor;
  std::int32_t kept = length < kMaxLineBytes ? length : kMaxLineBytes;
  std::memcpy(line, text.bytes + cursor, static_cast<std::size_t>(kept));
  line[kept] = '\0';
  cursor = end < text.length ? end + 2 : text.length;
  return length;
}

std::int32_t ReadLine(const PatchSession& session, std::int32_t& cursor, Text& line) {
  return ReadTextLine(session.definitionText, cursor, line);
}

bool ReadLineUnlessMarker(const PatchSession& session, Text& line, std::int32_t& cursor,
                          const char* marker, std::int32_t length) {
  if (MatchesAt(session.definitionText, cursor, marker, length)) return true;
  ReadLine(session, cursor, line);
  return false;
}

std::int32_t ReadKeyValue(const PatchSession& session, const char* key, std::int32_t length,
                          Text& value) {
  std::memset(value, 0, sizeof value);
  std::int32_t cursor = 0;
  if (!FindMarker(session, cursor, key, length, false)) return 0;
  return ReadLine(session, cursor, value);
}

std::int32_t ReadVersionLine(PatchSession& session, std::int32_t& cursor, Text& line) {
  return ReadTextLine(session.versionFile, cursor, line);
}

bool AtEndOfText(const PatchSession& session, std::int32_t cursor) {
  return cursor >= session.definitionText.length;
}

}  // namespace pache
