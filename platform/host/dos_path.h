// DOS paths over a Wine prefix: drive letters through the prefix's
// dosdevices links, Windows normalisation, and case-insensitive lookup of
// each component, with names converted from the ANSI code page to UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pache::host {

enum class PathLookup {
  Found,         // the whole path exists; `host` names it
  LastMissing,   // every folder exists, the last component does not; `host`
                 // names it with the caller's spelling, ready to be created
  PathNotFound,  // a drive or folder on the way is missing
  InvalidName,   // the path cannot name a file (bad characters, no name)
};

struct HostPath {
  std::string host;  // the host path, UTF-8
  std::string name;  // its last component, UTF-8 (empty for a drive root)
};

class DosPaths {
 public:
  explicit DosPaths(std::string prefixDirectory);

  // Resolves a DOS path given as ANSI bytes: absolute ("C:\..."), rooted on
  // the current drive ("\..."), or relative to the current directory.
  PathLookup Resolve(std::string_view dosPath, HostPath& out) const;

  // The process's working directory as a DOS path in ANSI bytes: on the
  // drive whose link holds it most closely, else on Z:, which maps "/".
  // No trailing backslash except for a drive root.
  std::string CurrentDirectory() const;

 private:
  // The host directory that drive `letter` (lower case) stands for; false
  // when the prefix has no such drive.
  bool DriveRoot(char letter, std::string& root) const;

  std::string prefixDirectory_;
};

// Windows normalisation of the part of a path below its drive, in UTF-16
// code units: "/" as "\", empty and "." components dropped, ".." never
// above the root, an intermediate component's single trailing dot and the
// path's trailing dots and spaces removed. False when a component holds a
// character that a Windows name cannot hold.
bool NormaliseComponents(std::u16string_view path, std::vector<std::u16string>& components);

// True when two names are equal ignoring case, over the whole of Unicode.
bool NamesEqualIgnoringCase(std::u16string_view a, std::u16string_view b);

}  // namespace pache::host
