// The text cursor: a byte offset into a TextBuffer, and the readers that
// move it. No reader ever reads at or past the text's length.
//
// A line is the bytes up to the first CR LF; a lone CR or LF belongs to the
// line. At the end of the text a last line without CR LF is delivered up to
// the end, and the cursor stops at `length`.
#pragma once

#include <cstdint>

#include "app/state.h"

namespace pache {

inline constexpr std::int32_t kMaxLineBytes = kTextSize - 1;

// Searches session.definitionText from `cursor` for the first match of the
// `length` bytes of `marker`. Found: the cursor stands right after it (two
// bytes further when skipLineEnd is set) and the result is true. Not found:
// the cursor equals the text's length and the result is false.
bool FindMarker(const PatchSession& session, std::int32_t& cursor, const char* marker,
                std::int32_t length, bool skipLineEnd);

// Reads the line at `cursor` of `text` into `line` (its bytes and a zero)
// and moves the cursor to the start of the next line. Returns the line's
// length in bytes. A line of more than 511 bytes is cut to its first 511
// bytes; the result is then greater than 511, so that callers can refuse a
// line that did not fit. At or past the end of the text: 0, an empty line,
// and the cursor stays where it is.
std::int32_t ReadTextLine(const TextBuffer& text, std::int32_t& cursor, Text& line);

// ReadTextLine over session.definitionText.
std::int32_t ReadLine(const PatchSession& session, std::int32_t& cursor, Text& line);

// True when the text at `cursor` begins with the marker: nothing is read.
// Otherwise reads one line as ReadLine does and returns false.
bool ReadLineUnlessMarker(const PatchSession& session, Text& line, std::int32_t& cursor,
                          const char* marker, std::int32_t length);

// The rest of the line after the first occurrence of `key` anywhere in the
// definition text; 0 and an empty value when the key does not occur. The
// result is ReadLine's.
std::int32_t ReadKeyValue(const PatchSession& session, const char* key, std::int32_t length,
                          Text& value);

// ReadTextLine over session.versionFile.
std::int32_t ReadVersionLine(PatchSession& session, std::int32_t& cursor, Text& line);

// True when the cursor stands at or past the end of the definition text.
bool AtEndOfText(const PatchSession& session, std::int32_t cursor);

}  // namespace pache
