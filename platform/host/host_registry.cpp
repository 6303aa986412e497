// Placeholder: a registry with no keys until the hive reader lands.
#include "platform/host/host_registry.h"

#include <utility>

namespace pache::host {

HostRegistry::HostRegistry(std::string prefixDirectory)
    : prefixDirectory_(std::move(prefixDirectory)) {}
HostRegistry::~HostRegistry() = default;

bool HostRegistry::OpenKey(RegKey, const char*, std::uint32_t, RegKey*) { return false; }
bool HostRegistry::CreateKey(RegKey, const char*, std::uint32_t, RegKey*) { return false; }
bool HostRegistry::QueryValue(RegKey, const char*, std::uint32_t*, std::uint8_t*,
                              std::uint32_t*) {
  return false;
}
bool HostRegistry::SetValue(RegKey, const char*, std::uint32_t, const std::uint8_t*,
                            std::uint32_t) {
  return false;
}
void HostRegistry::CloseKey(RegKey) {}

bool WineServerRunning(const std::string&) { return false; }

}  // namespace pache::host
