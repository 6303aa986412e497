// The registry as a 32-bit program sees it in a prefix: the predefined
// roots mapped onto the three hive files, symbolic link keys followed, and
// in a 64-bit prefix the walk redirected through Wow6432Node.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/host/hive_file.h"
#include "platform/platform.h"

namespace pache::host {

enum HiveId : int {
  kNoHive = -1,  // HKEY_USERS itself, which lives in no file
  kMachineHive = 0,
  kUserHive = 1,
  kDefaultUserHive = 2,
  kHiveCount = 3,
};

// A key found in a hive.
struct KeyPlace {
  int hive = kNoHive;
  int key = HiveFile::kRoot;
};

// Where a predefined root starts: a place, then components walked from
// there without redirection.
struct RootStart {
  KeyPlace place;
  std::vector<std::u16string> base;
};

// The outcome of a walk: `missing` empty when the key was found at
// `place`, else the deepest key found and the components below it that do
// not exist. `found` false when the path cannot exist (an unknown branch
// of HKEY_USERS, a broken link).
struct WalkResult {
  bool found = false;
  KeyPlace place;
  std::vector<std::u16string> missing;
};

class RegistryView {
 public:
  explicit RegistryView(std::string prefixDirectory);

  const std::string& PrefixDirectory() const { return prefixDirectory_; }
  // The hive, loaded on first use.
  HiveFile& Hive(int hive);
  // Reloads every loaded hive whose file changed since it was read or
  // written, so that no change made meanwhile is overwritten.
  void Refresh();
  // A 64-bit prefix, where a 32-bit program's keys are redirected.
  bool Win64();

  // False for HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA and anything else that
  // is no root this registry holds.
  static bool RootStartOf(RegKey root, RootStart& start);

  // Walks `base` and then `components` from `start`; `redirect` applies
  // Wow6432Node redirection to `components`.
  WalkResult Walk(KeyPlace start, const std::vector<std::u16string>& base,
                  const std::vector<std::u16string>& components, bool redirect);

 private:
  WalkResult WalkFrom(KeyPlace start, const std::vector<std::u16string>& components,
                      std::size_t redirectFrom, bool redirect, int depth);
  bool FollowLink(KeyPlace& place, int depth);
  bool IsSharedClassesNode(const KeyPlace& place);

  std::string prefixDirectory_;
  std::array<HiveFile, kHiveCount> hives_;
  std::array<bool, kHiveCount> loaded_{};
};

}  // namespace pache::host
