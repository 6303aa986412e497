// DOS paths and registry key paths as the fakes compare them: byte strings
// in code page 932, split only at single-byte separators (a 0x5C trail byte
// of a double-byte character is part of its character), compared with
// ASCII letters folded to upper case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pache {

// The text with its single-byte ASCII letters upper-cased; double-byte
// characters are kept as they are.
std::string FoldCase(std::string_view text);

// The components of `text` between separators ("\", and "/" when
// `slashToo`), empty ones included.
std::vector<std::string> SplitComponents(std::string_view text, bool slashToo);

// A full DOS path, normalised: drive letter (upper case) and components.
struct DosPath {
  char drive = 'C';
  std::vector<std::string> parts;    // as spelled
  std::string Key() const;           // "C:\" or "C:\DIR\NAME", folded
  std::string ParentKey() const;     // the key without its last component
  DosPath Prefix(std::size_t count) const;  // the first `count` components
};

// Resolves `path` against `current` (a full normalised path; "" when
// `path` must be full): "X:\..." is full, "\..." is on the current drive,
// anything else is relative. "/" counts as "\", runs of separators as one,
// "." is dropped, ".." drops the previous component but never the root,
// trailing dots and spaces of a component are removed. False for an empty
// path, a UNC path, and names with control bytes or * ? < > | " :.
bool ParseDosPath(std::string_view path, std::string_view current, DosPath& out);

}  // namespace pache
