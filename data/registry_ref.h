// Registry references: a root digit, a subkey up to the first "-", and a
// value name, such as 2SOFTWARE\Maker\Game-InstallDir.
#pragma once

#include <cstdint>

#include "app/state.h"

namespace pache {

struct RegistryRef {
  std::int32_t rootIndex = 0;
  Text subkey = {};
  Text valueName = {};
};

// The predefined key for a root digit's index (0 to 6). False outside the
// table.
bool RootKeyForIndex(std::int32_t rootIndex, RegKey& root);

// Splits `reference` at the first `separator` after its first byte into
// root index, subkey and value name. False (outputs empty) for an empty
// reference or one without the separator.
bool ParseRegistryReference(char separator, const char* reference, RegistryRef& out);

// Reads the value that the reference in `buffer` names into `buffer`: true
// when the key opens with full access and the value exists. False, with an
// empty text in `buffer`, otherwise, and for a root digit outside "0" to
// "6", a reference without "-", and data that does not fit the buffer as a
// text. A string stored without its zero ends right after its data.
bool QueryRegistryReference(PatchSession& session, Text& buffer);

}  // namespace pache
