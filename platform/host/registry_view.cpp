#include "platform/host/registry_view.h"

#include <utility>

#include "platform/host/codepage.h"
#include "platform/win32.h"

namespace pache::host {

namespace {

constexpr std::u16string_view kWow6432Node = u"Wow6432Node";
constexpr std::u16string_view kCurrentUserSid = u"S-1-5-21-0-0-0-1000";
constexpr std::uint32_t REG_LINK = 6;
constexpr int kMaxLinkDepth = 16;

// The hive under HKEY_USERS that a component names.
int UserBranch(std::u16string_view name) {
  if (SameName(name, u".Default")) return kDefaultUserHive;
  if (SameName(name, kCurrentUserSid)) return kUserHive;
  return kNoHive;
}

}  // namespace

RegistryView::RegistryView(std::string prefixDirectory) : prefixDirectory_(std::move(prefixDirectory)) {}

HiveFile& RegistryView::Hive(int hive) {
  static constexpr const char* kFiles[kHiveCount] = {"system.reg", "user.reg", "userdef.reg"};
  if (!loaded_[hive]) {
    hives_[hive].Load(prefixDirectory_ + "/" + kFiles[hive]);
    loaded_[hive] = true;
  }
  return hives_[hive];
}

void RegistryView::Refresh() {
  for (int hive = 0; hive < kHiveCount; ++hive)
    if (loaded_[hive] && hives_[hive].ChangedOnDisk()) hives_[hive].Load(hives_[hive].Path());
}

bool RegistryView::Win64() {
  if (Hive(kMachineHive).Valid()) return Hive(kMachineHive).Win64();
  return Hive(kUserHive).Win64();
}

bool RegistryView::RootStartOf(RegKey root, RootStart& start) {
  start = RootStart();
  switch (root) {
    case HKEY_LOCAL_MACHINE:
      start.place.hive = kMachineHive;
      return true;
    case HKEY_CURRENT_USER:
      start.place.hive = kUserHive;
      return true;
    case HKEY_USERS:
      start.place.hive = kNoHive;
      return true;
    case HKEY_CLASSES_ROOT:
      start.place.hive = kMachineHive;
      start.base = {u"Software", u"Classes"};
      return true;
    case HKEY_CURRENT_CONFIG:
      start.place.hive = kMachineHive;
      start.base = {u"System", u"CurrentControlSet", u"Hardware Profiles", u"Current"};
      return true;
    default:
      // HKEY_PERFORMANCE_DATA is no key, and HKEY_DYN_DATA lives in the
      // server's memory only: nothing of either is in a file.
      return false;
  }
}

WalkResult RegistryView::Walk(KeyPlace start, const std::vector<std::u16string>& base,
                              const std::vector<std::u16string>& components, bool redirect) {
  std::vector<std::u16string> all = base;
  all.insert(all.end(), components.begin(), components.end());
  return WalkFrom(start, all, base.size(), redirect, 0);
}

bool RegistryView::IsSharedClassesNode(const KeyPlace& place) {
  if (place.hive != kMachineHive || place.key == HiveFile::kRoot) return false;
  HiveFile& hive = Hive(kMachineHive);
  int software = hive.Child(HiveFile::kRoot, u"Software");
  int classes = software == HiveFile::kNoKey ? HiveFile::kNoKey : hive.Child(software, u"Classes");
  return classes != HiveFile::kNoKey && hive.Parent(place.key) == classes &&
         SameName(hive.Name(place.key), kWow6432Node);
}

WalkResult RegistryView::WalkFrom(KeyPlace start, const std::vector<std::u16string>& components,
                                  std::size_t redirectFrom, bool redirect, int depth) {
  WalkResult result;
  KeyPlace place = start;
  for (std::size_t i = 0; i < components.size(); ++i) {
    const std::u16string& name = components[i];
    if (place.hive == kNoHive) {
      place.hive = UserBranch(name);
      place.key = HiveFile::kRoot;
      if (place.hive == kNoHive) return result;
      continue;
    }
    HiveFile& hive = Hive(place.hive);
    bool redirecting = redirect && i >= redirectFrom && !SameName(name, kWow6432Node);
    if (redirecting) {
      int wow = hive.Child(place.key, kWow6432Node);
      if (wow != HiveFile::kNoKey) place.key = wow;
    }
    int next = hive.Child(place.key, name);
    // Classes\Wow6432Node shares what it lacks with Classes itself.
    if (next == HiveFile::kNoKey && redirecting && IsSharedClassesNode(place))
      next = hive.Child(hive.Parent(place.key), name);
    if (next == HiveFile::kNoKey) {
      result.found = true;
      result.place = place;
      result.missing.assign(components.begin() + static_cast<std::ptrdiff_t>(i), components.end());
      return result;
    }
    place.key = next;
    if (hive.IsLink(place.key) && !FollowLink(place, depth)) return result;
  }
  if (redirect && components.size() > redirectFrom && place.hive != kNoHive) {
    int wow = Hive(place.hive).Child(place.key, kWow6432Node);
    if (wow != HiveFile::kNoKey) place.key = wow;
  }
  result.found = true;
  result.place = place;
  return result;
}

bool RegistryView::FollowLink(KeyPlace& place, int depth) {
  if (depth >= kMaxLinkDepth) return false;
  HiveValue target;
  if (!Hive(place.hive).FindValue(place.key, u"SymbolicLinkValue", target) ||
      target.value.type != REG_LINK)
    return false;
  std::u16string path = UnitsFromBytes(target.value.data);
  while (!path.empty() && path.back() == u'\0') path.pop_back();
  // An absolute path: \Registry\Machine\... or \Registry\User\<branch>\...
  std::vector<std::u16string> components = SplitKeyPath(path);
  if (components.size() < 2 || !SameName(components[0], u"Registry")) return false;
  KeyPlace start;
  std::size_t skip;
  if (SameName(components[1], u"Machine")) {
    start.hive = kMachineHive;
    skip = 2;
  } else if (SameName(components[1], u"User") && components.size() >= 3) {
    start.hive = UserBranch(components[2]);
    skip = 3;
  } else {
    return false;
  }
  if (start.hive == kNoHive) return false;
  components.erase(components.begin(), components.begin() + static_cast<std::ptrdiff_t>(skip));
  WalkResult result = WalkFrom(start, components, 0, false, depth + 1);
  if (!result.found || !result.missing.empty()) return false;
  place = result.place;
  return true;
}

}  // namespace pache::host
