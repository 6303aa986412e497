// The install check: is this patch for the product installed here, and is
// the product older than the patch?
#pragma once

#include <cstdint>

#include "app/state.h"

namespace pache {

// Loads the patch definition, finds the install directory and compares the
// product's version file with the patch's title and version. True when the
// patch may be offered; false after one refusal message box.
bool CheckInstallation(PatchSession& session);

// The number that the text holds from its fourth byte on, read as atol
// reads it (blanks, a sign, decimal digits) and wrapping at 32 bits; 0 for
// a text of three bytes or fewer.
std::int32_t VersionNumber(const char* text);

}  // namespace pache
