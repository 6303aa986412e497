// The registry of a Wine prefix: its hive files system.reg, user.reg and
// userdef.reg, read and rewritten as Wine reads and writes them, seen as a
// 32-bit program sees it.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace pache::host {

class HostRegistry : public Registry {
 public:
  explicit HostRegistry(std::string prefixDirectory);
  ~HostRegistry() override;

  bool OpenKey(RegKey root, const char* subkey, std::uint32_t access, RegKey* key) override;
  bool CreateKey(RegKey root, const char* subkey, std::uint32_t access, RegKey* key) override;
  bool QueryValue(RegKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) override;
  bool SetValue(RegKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                std::uint32_t size) override;
  void CloseKey(RegKey key) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// True when a wineserver runs for the prefix: the tool then must not write
// its hive files (each write also checks again, and fails if one does).
bool WineServerRunning(const std::string& prefixDirectory);

}  // namespace pache::host
