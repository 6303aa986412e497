#include "data/registry_ref.h"

#include <cstring>

namespace pache {

namespace {

constexpr char kReferenceSeparator = '-';

// Copies bytes[0, length) and a zero into `out`; false, with `out` empty,
// when they do not fit.
bool CopyPart(Text& out, const char* bytes, std::size_t length) {
  if (length >= sizeof out) {
    out[0] = '\0';
    return false;
  }
  std::memcpy(out, bytes, length);
  out[length] = '\0';
  return true;
}

}  // namespace

bool RootKeyForIndex(std::int32_t rootIndex, RegKey& root) {
  static constexpr RegKey kRootKeys[] = {
      HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,   HKEY_LOCAL_MACHINE, HKEY_USERS,
      HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA,
  };
  if (rootIndex < 0 || rootIndex >= static_cast<std::int32_t>(sizeof kRootKeys / sizeof(RegKey)))
    return false;
  root = kRootKeys[rootIndex];
  return true;
}

bool ParseRegistryReference(char separator, const char* reference, RegistryRef& out) {
  out = RegistryRef{};
  if (reference[0] == '\0' || separator == '\0') return false;
  const char* split = std::strchr(reference + 1, separator);
  if (split == nullptr) return false;
  out.rootIndex = static_cast<unsigned char>(reference[0]) - '0';
  if (!CopyPart(out.subkey, reference + 1, static_cast<std::size_t>(split - reference - 1)) ||
      !CopyPart(out.valueName, split + 1, std::strlen(split + 1))) {
    out = RegistryRef{};
    return false;
  }
  return true;
}

bool QueryRegistryReference(PatchSession& session, Text& buffer) {
  RegistryRef reference;
  // The reference is not needed once split: from here the buffer holds
  // nothing but what is read into it, so data stored without its zero ends
  // right after itself.
  bool parsed = ParseRegistryReference(kReferenceSeparator, buffer, reference);
  std::memset(buffer, 0, sizeof buffer);
  RegKey root = 0;
  if (!parsed || !RootKeyForIndex(reference.rootIndex, root)) return false;

  Registry& registry = session.platform.registry;
  RegKey key = 0;
  if (!registry.OpenKey(root, reference.subkey, KEY_ALL_ACCESS, &key)) return false;
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  bool read = registry.QueryValue(key, reference.valueName, &type, nullptr, &size);
  if (read) {
    // Whatever the value's type, its bytes are the text; they must fit with
    // a zero after them, which the cleared buffer supplies.
    size = sizeof buffer;
    read = registry.QueryValue(key, reference.valueName, &type,
                               reinterpret_cast<std::uint8_t*>(buffer), &size) &&
           (size < sizeof buffer || buffer[sizeof buffer - 1] == '\0');
  }
  registry.CloseKey(key);
  if (!read) std::memset(buffer, 0, sizeof buffer);
  return read;
}

}  // namespace pache
