#include "tests/fake/fake_file_system.h"

#include <algorithm>
#include <cstring>

#include "tests/fake/fake_process.h"
#include "tests/fake/dos_path.h"

namespace pache {

namespace {

constexpr std::uint32_t kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

}  // namespace

FakeFileSystem::Resolved FakeFileSystem::ResolvedOf(const DosPath& path) {
  if (path.parts.empty()) return Resolved{path.Key(), {}, {}};
  return Resolved{path.Key(), path.ParentKey(), path.parts.back()};
}

namespace {

}  // namespace

FakeFileSystem::FakeFileSystem(FakeProcess* process) : process_(process) {
  AddDrive('C');
  currentKey_ = "C:\\";
}

void FakeFileSystem::Gate() const {
  if (process_ != nullptr) process_->Gate();
}

bool FakeFileSystem::Resolve(const std::string& path, Resolved& out) const {
  DosPath parsed;
  if (!ParseDosPath(path, currentKey_, parsed)) return false;
  out = ResolvedOf(parsed);
  return true;
}

const FakeFileSystem::Entry* FakeFileSystem::Find(const std::string& key) const {
  auto it = entries_.find(key);
  return it == entries_.end() ? nullptr : &it->second;
}

bool FakeFileSystem::IsBusy(const std::string& key) const {
  return std::any_of(open_.begin(), open_.end(),
                     [&](const auto& item) { return item.second.key == key; });
}

std::string FakeFileSystem::DisplayPath(const Resolved& resolved) const {
  if (resolved.parentKey.empty()) return resolved.key;
  const Entry* parent = Find(resolved.parentKey);
  std::string base = parent != nullptr ? parent->path : resolved.parentKey;
  if (base.back() != '\\') base += '\\';
  return base + resolved.name;
}

// ------------------------------------------------------ building the tree

bool FakeFileSystem::AddDrive(char letter) {
  DosPath root;
  if (!ParseDosPath(std::string(1, letter) + ":\\", "", root)) return false;
  std::lock_guard lock(mutex_);
  Entry& entry = entries_[root.Key()];
  entry.path = root.Key();
  entry.folder = true;
  return true;
}

bool FakeFileSystem::MakeFolders(const std::string& path, Resolved& leaf) {
  DosPath parsed;
  if (!ParseDosPath(path, currentKey_, parsed)) return false;
  std::vector<Resolved> chain;
  for (std::size_t count = 0; count <= parsed.parts.size(); ++count) {
    Resolved step = ResolvedOf(parsed.Prefix(count));
    const Entry* existing = Find(step.key);
    if (existing != nullptr && !existing->folder && count < parsed.parts.size()) return false;
    chain.push_back(step);
  }
  leaf = chain.back();
  chain.pop_back();
  for (const Resolved& step : chain) {
    if (Find(step.key) != nullptr) continue;
    Entry& entry = entries_[step.key];
    entry.path = DisplayPath(step);
    entry.folder = true;
    entry.time = ++clock_;
  }
  return true;
}

bool FakeFileSystem::AddFolder(const std::string& path, std::uint32_t attributes) {
  std::lock_guard lock(mutex_);
  Resolved leaf;
  if (!MakeFolders(path, leaf)) return false;
  const Entry* existing = Find(leaf.key);
  if (existing != nullptr && !existing->folder) return false;
  Entry& entry = entries_[leaf.key];
  if (existing == nullptr) entry.path = DisplayPath(leaf);
  entry.folder = true;
  entry.attributes = attributes & kKeptAttributes;
  if (entry.time == 0) entry.time = ++clock_;
  return true;
}

bool FakeFileSystem::AddFile(const std::string& path, const std::string& content,
                             std::uint32_t attributes) {
  std::lock_guard lock(mutex_);
  Resolved leaf;
  if (!MakeFolders(path, leaf) || leaf.parentKey.empty()) return false;
  const Entry* existing = Find(leaf.key);
  if (existing != nullptr && existing->folder) return false;
  Entry& entry = entries_[leaf.key];
  if (existing == nullptr) entry.path = DisplayPath(leaf);
  entry.folder = false;
  entry.content = content;
  entry.attributes = attributes & kKeptAttributes;
  entry.time = ++clock_;
  return true;
}

bool FakeFileSystem::Remove(const std::string& path) {
  std::lock_guard lock(mutex_);
  Resolved resolved;
  if (!Resolve(path, resolved) || Find(resolved.key) == nullptr) return false;
  std::string inside = resolved.key.back() == '\\' ? resolved.key : resolved.key + "\\";
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->first == resolved.key || it->first.compare(0, inside.size(), inside) == 0) {
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
  return true;
}

bool FakeFileSystem::SetCurrentDirectory(const std::string& path) {
  if (!AddFolder(path)) return false;
  std::lock_guard lock(mutex_);
  Resolved resolved;
  Resolve(path, resolved);
  currentKey_ = resolved.key;
  return true;
}

// ------------------------------------------------------------ inspecting

bool FakeFileSystem::Exists(const std::string& path) const {
  return Attributes(path) != kNoAttributes;
}

bool FakeFileSystem::IsFolder(const std::string& path) const {
  std::uint32_t attributes = Attributes(path);
  return attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::string> FakeFileSystem::Content(const std::string& path) const {
  std::lock_guard lock(mutex_);
  Resolved resolved;
  if (!Resolve(path, resolved)) return std::nullopt;
  const Entry* entry = Find(resolved.key);
  if (entry == nullptr || entry->folder) return std::nullopt;
  return entry->content;
}

std::uint32_t FakeFileSystem::Attributes(const std::string& path) const {
  std::lock_guard lock(mutex_);
  Resolved resolved;
  if (!Resolve(path, resolved)) return kNoAttributes;
  const Entry* entry = Find(resolved.key);
  if (entry == nullptr) return kNoAttributes;
  if (entry->folder) return FILE_ATTRIBUTE_DIRECTORY | entry->attributes;
  return entry->attributes != 0 ? entry->attributes : FILE_ATTRIBUTE_NORMAL;
}

std::uint64_t FakeFileSystem::Time(const std::string& path) const {
  std::lock_guard lock(mutex_);
  Resolved resolved;
  if (!Resolve(path, resolved)) return 0;
  const Entry* entry = Find(resolved.key);
  return entry == nullptr ? 0 : entry->time;
}

std::vector<std::string> FakeFileSystem::Paths() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> paths;
  for (const auto& [key, entry] : entries_) paths.push_back(entry.path);
  return paths;
}

int FakeFileSystem::OpenHandleCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(open_.size());
}

// ---------------------------------------------------------------- faults

void FakeFileSystem::FailOpen(const std::string& path) {
  std::lock_guard lock(mutex_);
  Resolved resolved;
  if (Resolve(path, resolved)) failOpen_.insert(resolved.key);
}

void FakeFileSystem::FailWrites(const std::string& path) {
  std::lock_guard lock(mutex_);
  Resolved resolved;
  if (Resolve(path, resolved)) failWrites_.insert(resolved.key);
}

// --------------------------------------------------------------- records

std::vector<FileCallRecord> FakeFileSystem::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<FileCallRecord> FakeFileSystem::copies() const {
  std::vector<FileCallRecord> result;
  for (const FileCallRecord& record : calls()) {
    if (record.call == FileCall::CopyFile) result.push_back(record);
  }
  return result;
}

std::vector<std::string> FakeFileSystem::foldersMade() const {
  std::vector<std::string> result;
  for (const FileCallRecord& record : calls()) {
    if (record.call == FileCall::CreateDirectory && record.ok) result.push_back(record.path);
  }
  return result;
}

FileHandle FakeFileSystem::Record(FileCall call, const char* path, FileHandle result) {
  Record(call, path, result != kNoFile);
  return result;
}

bool FakeFileSystem::Record(FileCall call, const char* path, bool ok, const char* target) {
  calls_.push_back(
      FileCallRecord{call, path != nullptr ? path : "", target != nullptr ? target : "", ok});
  return ok;
}

// ------------------------------------------------------------ FileSystem

FileHandle FakeFileSystem::OpenForReading(const char* path) {
  Gate();
  std::lock_guard lock(mutex_);
  Resolved resolved;
  if (faults_.ShouldFail(FileCall::OpenForReading) || path == nullptr ||
      !Resolve(path, resolved) || failOpen_.count(resolved.key) != 0) {
    return Record(FileCall::OpenForReading, path, kNoFile);
  }
  const Entry* entry = Find(resolved.key);
  if (entry == nullptr || entry->folder || IsBusy(resolved.key)) {
    return Record(FileCall::OpenForReading, path, kNoFile);
  }
  FileHandle handle = nextHandle_++;
  open_[handle] = OpenFile{resolved.key, resolved.parentKey, entry->path, false, false, 0, {}};
  return Record(FileCall::OpenForReading, path, handle);
}

FileHandle FakeFileSystem::CreateAlways(const char* path, std::uint32_t attributes) {
  Gate();
  std::lock_guard lock(mutex_);
  Resolved resolved;
  if (faults_.ShouldFail(FileCall::CreateAlways) || path == nullptr ||
      !Resolve(path, resolved) || resolved.parentKey.empty() ||
      failOpen_.count(resolved.key) != 0 || IsBusy(resolved.key)) {
    return Record(FileCall::CreateAlways, path, kNoFile);
  }
  const Entry* parent = Find(resolved.parentKey);
  if (parent == nullptr || !parent->folder) return Record(FileCall::CreateAlways, path, kNoFile);
  if (const Entry* existing = Find(resolved.key)) {
    std::uint32_t bits = existing->attributes;
    bool refused = existing->folder || (bits & FILE_ATTRIBUTE_READONLY) != 0 ||
                   ((bits & FILE_ATTRIBUTE_HIDDEN) != 0 && (attributes & FILE_ATTRIBUTE_HIDDEN) == 0) ||
                   ((bits & FILE_ATTRIBUTE_SYSTEM) != 0 && (attributes & FILE_ATTRIBUTE_SYSTEM) == 0);
    if (refused) return Record(FileCall::CreateAlways, path, kNoFile);
  }
  FileHandle handle = nextHandle_++;
  open_[handle] =
      OpenFile{resolved.key,   resolved.parentKey, DisplayPath(resolved), true, false,
               attributes & kKeptAttributes, {}};
  return Record(FileCall::CreateAlways, path, handle);
}

std::uint32_t FakeFileSystem::GetSize(FileHandle file) {
  Gate();
  std::lock_guard lock(mutex_);
  auto it = open_.find(file);
  bool ok = !faults_.ShouldFail(FileCall::GetSize) && it != open_.end();
  std::uint32_t size = INVALID_FILE_SIZE;
  if (ok) {
    const OpenFile& handle = it->second;
    const Entry* entry = Find(handle.key);
    size = static_cast<std::uint32_t>(handle.writing ? handle.written.size()
                                      : entry != nullptr ? entry->content.size()
                                                         : 0);
  }
  Record(FileCall::GetSize, ok ? it->second.path.c_str() : nullptr, ok);
  return size;
}

std::uint32_t FakeFileSystem::ReadFromStart(FileHandle file, void* buffer, std::uint32_t size) {
  Gate();
  std::lock_guard lock(mutex_);
  auto it = open_.find(file);
  const Entry* entry = it != open_.end() ? Find(it->second.key) : nullptr;
  if (faults_.ShouldFail(FileCall::ReadFromStart) || entry == nullptr || it->second.writing ||
      buffer == nullptr) {
    Record(FileCall::ReadFromStart, it != open_.end() ? it->second.path.c_str() : nullptr, false);
    return 0;
  }
  std::uint32_t count = std::min<std::uint32_t>(size, entry->content.size());
  std::memcpy(buffer, entry->content.data(), count);
  Record(FileCall::ReadFromStart, entry->path.c_str(), true);
  return count;
}

bool FakeFileSystem::Write(FileHandle file, const void* bytes, std::uint32_t size) {
  Gate();
  std::lock_guard lock(mutex_);
  auto it = open_.find(file);
  if (it == open_.end()) return Record(FileCall::Write, nullptr, false);
  OpenFile& handle = it->second;
  if (faults_.ShouldFail(FileCall::Write) || !handle.writing ||
      failWrites_.count(handle.key) != 0 || (bytes == nullptr && size > 0)) {
    if (handle.writing) handle.failed = true;
    return Record(FileCall::Write, handle.path.c_str(), false);
  }
  handle.written.append(static_cast<const char*>(bytes), size);
  return Record(FileCall::Write, handle.path.c_str(), true);
}

bool FakeFileSystem::Close(FileHandle file) {
  Gate();
  std::lock_guard lock(mutex_);
  auto it = open_.find(file);
  if (it == open_.end()) return Record(FileCall::Close, nullptr, false);
  OpenFile handle = std::move(it->second);
  open_.erase(it);
  bool commitFails = faults_.ShouldFail(FileCall::Close);
  if (!handle.writing) return Record(FileCall::Close, handle.path.c_str(), !commitFails);
  if (commitFails || handle.failed) return Record(FileCall::Close, handle.path.c_str(), false);
  // The folder may have gone while the file was open.
  const Entry* parent = Find(handle.parentKey);
  const Entry* existing = Find(handle.key);
  if (parent == nullptr || !parent->folder || (existing != nullptr && existing->folder)) {
    return Record(FileCall::Close, handle.path.c_str(), false);
  }
  Entry& entry = entries_[handle.key];
  if (existing == nullptr) entry.path = handle.path;
  entry.folder = false;
  entry.content = std::move(handle.written);
  entry.attributes = handle.attributes;
  entry.time = ++clock_;
  return Record(FileCall::Close, handle.path.c_str(), true);
}

bool FakeFileSystem::CopyFile(const char* source, const char* target, bool failIfExists) {
  Gate();
  std::lock_guard lock(mutex_);
  auto fail = [&] { return Record(FileCall::CopyFile, source, false, target); };
  Resolved from, to;
  if (faults_.ShouldFail(FileCall::CopyFile) || source == nullptr || target == nullptr ||
      !Resolve(source, from) || !Resolve(target, to) || to.parentKey.empty() ||
      from.key == to.key || failOpen_.count(from.key) != 0 || failOpen_.count(to.key) != 0 ||
      IsBusy(from.key) || IsBusy(to.key)) {
    return fail();
  }
  const Entry* original = Find(from.key);
  const Entry* parent = Find(to.parentKey);
  const Entry* existing = Find(to.key);
  if (original == nullptr || original->folder || parent == nullptr || !parent->folder) {
    return fail();
  }
  if (existing != nullptr &&
      (failIfExists || existing->folder ||
       (existing->attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)) != 0)) {
    return fail();
  }
  Entry copy = *original;
  copy.path = existing != nullptr ? existing->path : DisplayPath(to);
  entries_[to.key] = std::move(copy);
  return Record(FileCall::CopyFile, source, true, target);
}

bool FakeFileSystem::SetAttributes(const char* path, std::uint32_t attributes) {
  Gate();
  std::lock_guard lock(mutex_);
  Resolved resolved;
  if (faults_.ShouldFail(FileCall::SetAttributes) || path == nullptr ||
      !Resolve(path, resolved) || Find(resolved.key) == nullptr) {
    return Record(FileCall::SetAttributes, path, false);
  }
  entries_[resolved.key].attributes = attributes & kKeptAttributes;
  return Record(FileCall::SetAttributes, path, true);
}

bool FakeFileSystem::CreateDirectory(const char* path) {
  Gate();
  std::lock_guard lock(mutex_);
  Resolved resolved;
  if (faults_.ShouldFail(FileCall::CreateDirectory) || path == nullptr ||
      !Resolve(path, resolved) || resolved.parentKey.empty() || Find(resolved.key) != nullptr) {
    return Record(FileCall::CreateDirectory, path, false);
  }
  const Entry* parent = Find(resolved.parentKey);
  if (parent == nullptr || !parent->folder) return Record(FileCall::CreateDirectory, path, false);
  Entry& entry = entries_[resolved.key];
  entry.path = DisplayPath(resolved);
  entry.folder = true;
  entry.time = ++clock_;
  return Record(FileCall::CreateDirectory, path, true);
}

std::uint32_t FakeFileSystem::GetCurrentDirectory(char* buffer, std::uint32_t size) {
  Gate();
  std::lock_guard lock(mutex_);
  const Entry* current = Find(currentKey_);
  std::string text = current != nullptr ? current->path : currentKey_;
  if (faults_.ShouldFail(FileCall::GetCurrentDirectory) || buffer == nullptr ||
      text.size() + 1 > size) {
    Record(FileCall::GetCurrentDirectory, nullptr, false);
    return 0;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  Record(FileCall::GetCurrentDirectory, text.c_str(), true);
  return static_cast<std::uint32_t>(text.size());
}

}  // namespace pache
