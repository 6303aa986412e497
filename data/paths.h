// Joining paths and formatting texts into fixed-size buffers.
#pragma once

#include <cstddef>

#include "app/state.h"

namespace pache {

// True for a byte that begins a double-byte character of code page 932.
bool IsLeadByte(unsigned char byte);

// True when `text` is empty or its last byte is not a backslash (byte 92).
// It looks at the last byte, not the last character.
bool NeedsSeparator(const char* text);

// `directory`, a backslash when NeedsSeparator(directory), then `name`.
// False, with `out` an empty text, when the result would not fit: no cut
// path is ever used.
bool JoinPath(Text& out, const char* directory, const char* name);

// wsprintfA-style formatting (%s and %d) into `size` bytes. A result that
// does not fit is cut at a character boundary of code page 932, never in
// the middle of a double-byte character. Returns true when nothing was cut.
bool FormatText(char* out, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace pache
