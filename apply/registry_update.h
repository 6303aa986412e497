// The registry update: rewrites the existing values that the <REG> section
// lists.
#pragma once

#include <cstdint>

#include "app/state.h"

namespace pache {

// Applies every line of the <REG> section. A value is written only when it
// exists already; a line that cannot be applied is skipped in silence.
// Returns true in every case.
bool ApplyRegistrySection(PatchSession& session);

// Splits `text`, a line of the section with one LF appended, into root
// index, subkey (up to `first`), value name (up to `second`) and data (the
// rest, without the closing LF). True when the line has both separators;
// the outputs are then zero-terminated texts of at most 511 bytes.
bool ParseRegistryLine(char first, char second, const char* text, std::int32_t& rootIndex,
                       Text& subkey, Text& valueName, Text& data);

// Replaces the macros "%Dir" and "%CD" in `data` by their values. False,
// with `out` empty, when the result would not fit.
bool ExpandMacros(const char* data, Text& out);

// The value of macro `number` (0 "%Dir", 1 "%CD").
void MacroValue(Text& out, std::int32_t number);

}  // namespace pache
