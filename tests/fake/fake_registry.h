// FakeRegistry: keys and values in memory behind Registry.
//
// Keys live under the seven predefined roots; HKEY_PERFORMANCE_DATA and
// HKEY_DYN_DATA hold nothing that opens. Key and value names compare
// case-insensitively (ASCII), key paths split at single-byte backslashes.
// Values are bytes and a type, with the NT rules of RegSetValueExA and
// RegQueryValueExA applied to the bytes as given (no code page conversion):
// a string passed without its zero keeps the zero that follows it, and a
// string read into a larger buffer gets an uncounted zero when its last
// byte is not one.
//
// For tests: helpers that add keys and values and read them back, keys the
// user may only read (an open asking for more than KEY_READ fails), "the
// Nth call of a kind fails" through faults(), and a record of every value
// written. Every member may be called from any thread.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/fake/fault_plan.h"

namespace pache {

class FakeProcess;

enum class RegistryCall { OpenKey, CreateKey, QueryValue, SetValue };

struct RegistryValue {
  std::uint32_t type = REG_NONE;
  std::string bytes;  // as stored, a string's zero included when stored
};

struct RegistryWrite {
  std::string key;  // "root\subkey" as the key was made, root in hex
  std::string name;
  RegistryValue value;  // as stored
  bool ok;
};

class FakeRegistry : public Registry {
 public:
  explicit FakeRegistry(FakeProcess* process = nullptr);

  // ----------------------------------------------------------- helpers ----
  // Makes the key and its missing parents; `readOnly` marks the key itself
  // as one the user may only read. False for the two roots with no keys.
  bool AddKey(RegKey root, const std::string& subkey, bool readOnly = false);
  // Makes the key when missing and sets the value, bytes as given.
  bool AddValue(RegKey root, const std::string& subkey, const std::string& name,
                std::uint32_t type, const std::string& bytes);
  // A REG_SZ value holding `text` and its zero.
  bool AddString(RegKey root, const std::string& subkey, const std::string& name,
                 const std::string& text);
  bool HasKey(RegKey root, const std::string& subkey) const;
  std::optional<RegistryValue> Value(RegKey root, const std::string& subkey,
                                     const std::string& name) const;
  // Keys opened or created and not closed yet.
  int OpenKeyCount() const;

  FaultPlan<RegistryCall>& faults() { return faults_; }
  // Every SetValue call, failed ones included, in order.
  std::vector<RegistryWrite> writes() const;

  // --------------------------------------------------------- Registry ----
  bool OpenKey(RegKey root, const char* subkey, std::uint32_t access, RegKey* key) override;
  bool CreateKey(RegKey root, const char* subkey, std::uint32_t access, RegKey* key) override;
  bool QueryValue(RegKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) override;
  bool SetValue(RegKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                std::uint32_t size) override;
  void CloseKey(RegKey key) override;

 private:
  struct NamedValue {
    std::string name;
    RegistryValue value;
  };
  struct Node {
    std::string path;  // as spelled when made
    bool readOnly = false;
    std::map<std::string, NamedValue> values;  // by folded name
  };
  struct OpenedKey {
    std::string key;
    std::uint32_t access;
  };

  // The folded keys from the root down to the key; false for a bad path.
  bool KeyChain(RegKey root, const std::string& subkey, std::vector<std::string>& keys,
                std::vector<std::string>& spelled) const;
  bool Make(RegKey root, const std::string& subkey, bool readOnlyLeaf, bool checkAccess,
            std::uint32_t access, std::string& key);
  // The node and the access granted for a key handle; null when invalid.
  Node* NodeOf(RegKey key, std::uint32_t& access);
  RegKey NewHandle(const std::string& key, std::uint32_t access);
  void Gate() const;

  FakeProcess* process_;
  mutable std::mutex mutex_;
  std::map<std::string, Node> nodes_;
  std::map<RegKey, OpenedKey> open_;
  RegKey nextHandle_ = 1;
  std::vector<RegistryWrite> writes_;
  FaultPlan<RegistryCall> faults_;
};

}  // namespace pache
