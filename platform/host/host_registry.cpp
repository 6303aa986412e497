// Handles, access rights and the ANSI forms of the registry calls, over the
// prefix's hives.
#include "platform/host/host_registry.h"

#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/host/codepage.h"
#include "platform/host/hive_writer.h"
#include "platform/host/registry_view.h"

namespace pache::host {

namespace {

constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
constexpr std::uint32_t KEY_WRITE = 0x20006;
constexpr std::uint32_t KEY_WOW64_64KEY = 0x0100;
constexpr std::uint32_t MAXIMUM_ALLOWED = 0x02000000;
constexpr std::uint32_t GENERIC_ALL = 0x10000000;
constexpr std::uint32_t GENERIC_WRITE = 0x40000000;
constexpr std::uint32_t GENERIC_READ = 0x80000000;
// Rights that change the key: KEY_SET_VALUE, KEY_CREATE_SUB_KEY,
// KEY_CREATE_LINK, DELETE, WRITE_DAC, WRITE_OWNER.
constexpr std::uint32_t kWriteRights = 0x0002 | 0x0004 | 0x0020 | 0x10000 | 0x40000 | 0x80000;

bool IsPredefined(RegKey key) { return key >= HKEY_CLASSES_ROOT && key <= HKEY_DYN_DATA; }

// The rights a handle holds, generic rights mapped onto the key's own.
std::uint32_t Granted(std::uint32_t access, bool writable) {
  std::uint32_t granted = access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED);
  if (access & GENERIC_READ) granted |= KEY_READ;
  if (access & GENERIC_WRITE) granted |= KEY_WRITE;
  if (access & GENERIC_ALL) granted |= KEY_ALL_ACCESS;
  if (access & MAXIMUM_ALLOWED) granted |= writable ? KEY_ALL_ACCESS : KEY_READ;
  return granted;
}

std::u16string ToUtf16(std::string_view ansi) {
  std::u16string text;
  AnsiToUtf16(ansi, text);  // unmapped bytes become '?', as Wine converts them
  return text;
}

// A subkey text split into its components. The text is converted before
// it is split: a trail byte 0x5C of a double-byte character is no
// separator.
std::vector<std::u16string> SplitSubkey(const char* subkey) {
  if (subkey == nullptr) return {};
  return SplitKeyPath(ToUtf16(subkey));
}

}  // namespace

struct HostRegistry::State {
  explicit State(std::string prefix) : view(std::move(prefix)) {}

  struct OpenedKey {
    int hive = kNoHive;
    std::vector<std::u16string> path;  // below the hive's root, links resolved
    std::uint32_t granted = 0;
  };

  // The place of an open key or a predefined root, and the rights held.
  bool Locate(RegKey key, KeyPlace& place, std::uint32_t& granted) {
    if (IsPredefined(key)) {
      RootStart start;
      if (!RegistryView::RootStartOf(key, start)) return false;
      WalkResult walk = view.Walk(start.place, start.base, {}, false);
      if (!walk.found || !walk.missing.empty()) return false;
      place = walk.place;
      granted = KEY_ALL_ACCESS;
      return true;
    }
    auto opened = keys.find(key);
    if (opened == keys.end()) return false;
    place.hive = opened->second.hive;
    place.key = HiveFile::kRoot;
    if (place.hive != kNoHive) {
      place.key = view.Hive(place.hive).FindPath(opened->second.path);
      if (place.key == HiveFile::kNoKey) return false;  // gone from the file meanwhile
    }
    granted = opened->second.granted;
    return true;
  }

  bool Writable(int hive) {
    return hive != kNoHive && view.Hive(hive).Valid() && HiveWritable(view.Hive(hive).Path());
  }

  // Writes the hive with `edits` applied, unless a wineserver runs for the
  // prefix: it would not see the change and would overwrite it.
  bool Commit(int hiveId, std::vector<HiveEdit> edits) {
    if (WineServerRunning(view.PrefixDirectory())) return false;
    HiveFile& hive = view.Hive(hiveId);
    std::size_t firstChange = hive.Edit(std::move(edits));
    if (!WriteHiveFile(hive.Path(), hive.Content(), firstChange)) {
      hive.Load(hive.Path());  // back to what the file holds
      return false;
    }
    hive.Written();
    return true;
  }

  bool Open(RegKey root, const char* subkey, std::uint32_t access, RegKey* key, bool create) {
    if (key == nullptr) return false;
    view.Refresh();
    KeyPlace start;
    std::vector<std::u16string> base;
    if (IsPredefined(root)) {
      RootStart rootStart;
      if (!RegistryView::RootStartOf(root, rootStart)) return false;
      if (subkey == nullptr || *subkey == '\0') {
        *key = root;
        return true;
      }
      // Only HKEY_CLASSES_ROOT takes a leading backslash; a path from
      // any other root must be relative.
      if (*subkey == '\\') {
        if (root != HKEY_CLASSES_ROOT) return false;
        ++subkey;
      }
      start = rootStart.place;
      base = std::move(rootStart.base);
    } else {
      std::uint32_t ignored;
      if (!Locate(root, start, ignored)) return false;
      if (subkey != nullptr && *subkey == '\\') return false;
    }
    bool redirect = view.Win64() && (access & KEY_WOW64_64KEY) == 0;
    WalkResult walk = view.Walk(start, base, SplitSubkey(subkey), redirect);
    if (!walk.found) return false;
    KeyPlace place = walk.place;
    if (!walk.missing.empty()) {
      if (!create || !Writable(place.hive)) return false;
      HiveFile& hive = view.Hive(place.hive);
      std::vector<std::u16string> path = hive.PathOf(place.key);
      path.insert(path.end(), walk.missing.begin(), walk.missing.end());
      if (!Commit(place.hive, hive.CreateKeyEdits(place.key, walk.missing, CurrentKeyTime())))
        return false;
      place.key = view.Hive(place.hive).FindPath(path);
      if (place.key == HiveFile::kNoKey) return false;
    }
    bool writable = Writable(place.hive);
    std::uint32_t granted = Granted(access, writable);
    // A hive the user may not write is a key that refuses write access.
    if ((granted & kWriteRights) != 0 && !writable && place.hive != kNoHive) return false;
    OpenedKey opened;
    opened.hive = place.hive;
    if (place.hive != kNoHive) opened.path = view.Hive(place.hive).PathOf(place.key);
    opened.granted = granted;
    RegKey handle = next++;
    keys.emplace(handle, std::move(opened));
    *key = handle;
    return true;
  }

  RegistryView view;
  std::unordered_map<RegKey, OpenedKey> keys;
  RegKey next = 1;
};

HostRegistry::HostRegistry(std::string prefixDirectory)
    : state_(std::make_unique<State>(std::move(prefixDirectory))) {}
HostRegistry::~HostRegistry() = default;

bool HostRegistry::OpenKey(RegKey root, const char* subkey, std::uint32_t access, RegKey* key) {
  return state_->Open(root, subkey, access, key, false);
}

bool HostRegistry::CreateKey(RegKey root, const char* subkey, std::uint32_t access, RegKey* key) {
  return state_->Open(root, subkey, access, key, true);
}

bool HostRegistry::QueryValue(RegKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t* size) {
  if (data != nullptr && size == nullptr) return false;
  state_->view.Refresh();
  KeyPlace place;
  std::uint32_t granted = 0;
  if (!state_->Locate(key, place, granted) || (granted & KEY_QUERY_VALUE) == 0) return false;
  if (place.hive == kNoHive) return false;
  HiveValue found;
  if (!state_->view.Hive(place.hive).FindValue(place.key, ToUtf16(name != nullptr ? name : ""), found))
    return false;
  const ParsedValue& value = found.value;
  bool text = IsStringType(value.type);
  std::string converted;
  // Strings come back in the ANSI code page, every zero unit included.
  if (text) Utf16ToAnsi(UnitsFromBytes(value.data), converted);
  const std::string& bytes = text ? converted : value.data;
  std::uint32_t length = static_cast<std::uint32_t>(bytes.size());
  if (type != nullptr) *type = value.type;
  if (data == nullptr) {
    if (size != nullptr) *size = length;
    return true;
  }
  if (length > *size) {
    *size = length;  // the buffer is left untouched
    return false;
  }
  if (length > 0) {
    std::memcpy(data, bytes.data(), length);
    if (text && length < *size && data[length - 1] != 0) data[length] = 0;
  }
  *size = length;
  return true;
}

bool HostRegistry::SetValue(RegKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                            std::uint32_t size) {
  if (data == nullptr && size > 0) return false;
  state_->view.Refresh();
  KeyPlace place;
  std::uint32_t granted = 0;
  if (!state_->Locate(key, place, granted) || (granted & KEY_SET_VALUE) == 0) return false;
  if (!state_->Writable(place.hive)) return false;
  std::string stored;
  if (IsStringType(type)) {
    // As NT does: a count that stops just before the text's zero takes
    // the zero too.
    if (size > 0 && data[size - 1] != 0 && data[size] == 0) ++size;
    stored = BytesFromUnits(ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size)));
  } else if (size > 0) {
    stored.assign(reinterpret_cast<const char*>(data), size);
  }
  bool unchanged = false;
  std::vector<HiveEdit> edits = state_->view.Hive(place.hive).SetValueEdits(
      place.key, ToUtf16(name != nullptr ? name : ""), type, stored, CurrentKeyTime(), unchanged);
  if (unchanged) return true;  // as Wine: the same data writes nothing
  return state_->Commit(place.hive, edits);
}

void HostRegistry::CloseKey(RegKey key) {
  if (!IsPredefined(key)) state_->keys.erase(key);
}

}  // namespace pache::host
