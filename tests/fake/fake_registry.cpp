#include "tests/fake/fake_registry.h"

#include <cstdio>
#include <cstring>

#include "tests/fake/dos_path.h"
#include "tests/fake/fake_process.h"

namespace pache {

namespace {

constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
// Access bits that only choose a registry view; they ask for nothing.
constexpr std::uint32_t kViewBits = 0x0300;

bool IsStringType(std::uint32_t type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

bool HasKeys(RegKey root) {
  return root == HKEY_CLASSES_ROOT || root == HKEY_CURRENT_USER || root == HKEY_LOCAL_MACHINE ||
         root == HKEY_USERS || root == HKEY_CURRENT_CONFIG;
}

bool IsPredefined(RegKey key) { return key >= HKEY_CLASSES_ROOT && key <= HKEY_DYN_DATA; }

std::string RootKey(RegKey root) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(root));
  return text;
}

// A key the user may only read grants no more than KEY_READ.
bool Grants(bool readOnly, std::uint32_t access) {
  return !readOnly || (access & ~(KEY_READ | kViewBits)) == 0;
}

}  // namespace

FakeRegistry::FakeRegistry(FakeProcess* process) : process_(process) {
  for (RegKey root = HKEY_CLASSES_ROOT; root <= HKEY_DYN_DATA; ++root) {
    if (HasKeys(root)) nodes_[RootKey(root)].path = RootKey(root);
  }
}

void FakeRegistry::Gate() const {
  if (process_ != nullptr) process_->Gate();
}

bool FakeRegistry::KeyChain(RegKey root, const std::string& subkey,
                            std::vector<std::string>& keys,
                            std::vector<std::string>& spelled) const {
  if (!HasKeys(root)) return false;
  keys.assign(1, RootKey(root));
  spelled.clear();
  if (subkey.empty()) return true;
  std::vector<std::string> parts = SplitComponents(subkey, false);
  if (parts.size() > 1 && parts.back().empty()) parts.pop_back();  // "a\" is "a"
  for (const std::string& part : parts) {
    if (part.empty()) return false;
    keys.push_back(keys.back() + "\\" + FoldCase(part));
    spelled.push_back(part);
  }
  return true;
}

bool FakeRegistry::Make(RegKey root, const std::string& subkey, bool readOnlyLeaf,
                        bool checkAccess, std::uint32_t access, std::string& key) {
  std::vector<std::string> keys, spelled;
  if (!KeyChain(root, subkey, keys, spelled)) return false;
  std::size_t existing = 0;
  while (existing + 1 < keys.size() && nodes_.count(keys[existing + 1]) != 0) ++existing;
  if (checkAccess) {
    bool leafExists = existing + 1 == keys.size();
    if (leafExists ? !Grants(nodes_[keys.back()].readOnly, access)
                   : nodes_[keys[existing]].readOnly) {
      return false;
    }
  }
  for (std::size_t index = existing + 1; index < keys.size(); ++index) {
    nodes_[keys[index]].path = nodes_[keys[index - 1]].path + "\\" + spelled[index - 1];
  }
  if (readOnlyLeaf) nodes_[keys.back()].readOnly = true;
  key = keys.back();
  return true;
}

RegKey FakeRegistry::NewHandle(const std::string& key, std::uint32_t access) {
  RegKey handle = nextHandle_++;
  open_[handle] = OpenedKey{key, access};
  return handle;
}

FakeRegistry::Node* FakeRegistry::NodeOf(RegKey key, std::uint32_t& access) {
  std::string name;
  if (IsPredefined(key)) {
    if (!HasKeys(key)) return nullptr;
    name = RootKey(key);
    access = KEY_ALL_ACCESS;
  } else {
    auto it = open_.find(key);
    if (it == open_.end()) return nullptr;
    name = it->second.key;
    access = it->second.access;
  }
  auto node = nodes_.find(name);
  if (node == nodes_.end()) return nullptr;
  if (!Grants(node->second.readOnly, access)) access &= KEY_READ;
  return &node->second;
}

// -------------------------------------------------------------- helpers

bool FakeRegistry::AddKey(RegKey root, const std::string& subkey, bool readOnly) {
  std::lock_guard lock(mutex_);
  std::string key;
  return Make(root, subkey, readOnly, false, 0, key);
}

bool FakeRegistry::AddValue(RegKey root, const std::string& subkey, const std::string& name,
                            std::uint32_t type, const std::string& bytes) {
  std::lock_guard lock(mutex_);
  std::string key;
  if (!Make(root, subkey, false, false, 0, key)) return false;
  nodes_[key].values[FoldCase(name)] = NamedValue{name, RegistryValue{type, bytes}};
  return true;
}

bool FakeRegistry::AddString(RegKey root, const std::string& subkey, const std::string& name,
                             const std::string& text) {
  return AddValue(root, subkey, name, REG_SZ, text + '\0');
}

bool FakeRegistry::HasKey(RegKey root, const std::string& subkey) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> keys, spelled;
  return KeyChain(root, subkey, keys, spelled) && nodes_.count(keys.back()) != 0;
}

std::optional<RegistryValue> FakeRegistry::Value(RegKey root, const std::string& subkey,
                                                 const std::string& name) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> keys, spelled;
  if (!KeyChain(root, subkey, keys, spelled)) return std::nullopt;
  auto node = nodes_.find(keys.back());
  if (node == nodes_.end()) return std::nullopt;
  auto value = node->second.values.find(FoldCase(name));
  if (value == node->second.values.end()) return std::nullopt;
  return value->second.value;
}

int FakeRegistry::OpenKeyCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(open_.size());
}

std::vector<RegistryWrite> FakeRegistry::writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

// ------------------------------------------------------------- Registry

bool FakeRegistry::OpenKey(RegKey root, const char* subkey, std::uint32_t access, RegKey* key) {
  Gate();
  std::lock_guard lock(mutex_);
  if (faults_.ShouldFail(RegistryCall::OpenKey) || key == nullptr) return false;
  std::vector<std::string> keys, spelled;
  if (!KeyChain(root, subkey != nullptr ? subkey : "", keys, spelled)) return false;
  auto node = nodes_.find(keys.back());
  if (node == nodes_.end() || !Grants(node->second.readOnly, access)) return false;
  *key = NewHandle(keys.back(), access);
  return true;
}

bool FakeRegistry::CreateKey(RegKey root, const char* subkey, std::uint32_t access,
                             RegKey* key) {
  Gate();
  std::lock_guard lock(mutex_);
  std::string made;
  if (faults_.ShouldFail(RegistryCall::CreateKey) || key == nullptr ||
      !Make(root, subkey != nullptr ? subkey : "", false, true, access, made)) {
    return false;
  }
  *key = NewHandle(made, access);
  return true;
}

bool FakeRegistry::QueryValue(RegKey key, const char* name, std::uint32_t* type,
                              std::uint8_t* data, std::uint32_t* size) {
  Gate();
  std::lock_guard lock(mutex_);
  std::uint32_t access = 0;
  Node* node = NodeOf(key, access);
  if (faults_.ShouldFail(RegistryCall::QueryValue) || node == nullptr ||
      (access & KEY_QUERY_VALUE) == 0 || (data != nullptr && size == nullptr)) {
    return false;
  }
  auto found = node->values.find(FoldCase(name != nullptr ? name : ""));
  if (found == node->values.end()) return false;
  const RegistryValue& value = found->second.value;
  auto length = static_cast<std::uint32_t>(value.bytes.size());
  if (type != nullptr) *type = value.type;
  if (data == nullptr) {
    if (size != nullptr) *size = length;
    return true;
  }
  if (length > *size) {
    *size = length;  // the buffer is left as it was
    return false;
  }
  if (length > 0) {
    std::memcpy(data, value.bytes.data(), length);
    if (IsStringType(value.type) && length < *size && data[length - 1] != 0) data[length] = 0;
  }
  *size = length;
  return true;
}

bool FakeRegistry::SetValue(RegKey key, const char* name, std::uint32_t type,
                            const std::uint8_t* data, std::uint32_t size) {
  Gate();
  std::lock_guard lock(mutex_);
  std::uint32_t access = 0;
  Node* node = NodeOf(key, access);
  RegistryWrite write{node != nullptr ? node->path : std::string(), name != nullptr ? name : "",
                      RegistryValue{type, {}}, false};
  if (!faults_.ShouldFail(RegistryCall::SetValue) && node != nullptr &&
      (access & KEY_SET_VALUE) != 0 && (data != nullptr || size == 0)) {
    // NT reads the byte after the counted data and keeps a zero found there.
    if (IsStringType(type) && size > 0 && data[size - 1] != 0 && data[size] == 0) ++size;
    if (size > 0) write.value.bytes.assign(reinterpret_cast<const char*>(data), size);
    node->values[FoldCase(write.name)] = NamedValue{write.name, write.value};
    write.ok = true;
  }
  writes_.push_back(write);
  return write.ok;
}

void FakeRegistry::CloseKey(RegKey key) {
  Gate();
  std::lock_guard lock(mutex_);
  open_.erase(key);
}

}  // namespace pache
