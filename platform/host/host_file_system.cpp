#include "platform/host/host_file_system.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "platform/host/dos_attributes.h"
#include "platform/host/exclusive_open.h"
#include "platform/host/replacement_file.h"

namespace pache::host {

struct HostFileSystem::OpenFile {
  ExclusiveFile file;                        // reading: the file; writing: the old target, held
  std::unique_ptr<ReplacementFile> writing;  // set for a file made by CreateAlways
  std::uint32_t attributes = 0;
  mode_t mode = 0;
  bool keepExplicit = false;
  bool failed = false;  // a write failed: the new content is never put in place
};

HostFileSystem::HostFileSystem(std::string prefixDirectory) : paths_(std::move(prefixDirectory)) {
  StartupUmask();
}

HostFileSystem::~HostFileSystem() = default;

FileHandle HostFileSystem::Keep(std::unique_ptr<OpenFile> file) {
  std::lock_guard<std::mutex> lock(mutex_);
  FileHandle handle = nextHandle_++;
  files_[handle] = std::move(file);
  return handle;
}

HostFileSystem::OpenFile* HostFileSystem::Find(FileHandle file) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = files_.find(file);
  return found == files_.end() ? nullptr : found->second.get();
}

FileHandle HostFileSystem::OpenForReading(const char* path) {
  HostPath resolved;
  if (path == nullptr || paths_.Resolve(path, resolved) != PathLookup::Found) return kNoFile;
  auto file = std::make_unique<OpenFile>();
  if (!file->file.Open(resolved.host, ShareMode::None)) return kNoFile;
  return Keep(std::move(file));
}

FileHandle HostFileSystem::CreateAlways(const char* path, std::uint32_t attributes) {
  HostPath target;
  if (path == nullptr) return kNoFile;
  PathLookup lookup = paths_.Resolve(path, target);
  if (lookup != PathLookup::Found && lookup != PathLookup::LastMissing) return kNoFile;
  auto file = std::make_unique<OpenFile>();
  file->attributes = attributes;
  file->mode = NewFileMode(target.name);
  if (lookup == PathLookup::Found) {
    std::uint32_t existing = 0;
    if (!ReadAttributes(target.host, target.name, existing) ||
        (existing & FILE_ATTRIBUTE_DIRECTORY) || (existing & FILE_ATTRIBUTE_READONLY))
      return kNoFile;
    // Windows refuses to overwrite a hidden or system file unless the
    // caller asks for those attributes again.
    std::uint32_t kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if ((existing & kept & ~attributes) != 0) return kNoFile;
    if (!file->file.Open(target.host, ShareMode::None) || !file->file.Writable()) return kNoFile;
    file->mode = file->file.Mode();
  }
  file->mode = ModeForReadOnly(file->mode, (attributes & FILE_ATTRIBUTE_READONLY) != 0);
  file->keepExplicit = target.name.size() > 1 && target.name[0] == '.';
  file->writing = std::make_unique<ReplacementFile>();
  if (!file->writing->Begin(target.host)) return kNoFile;
  return Keep(std::move(file));
}

std::uint32_t HostFileSystem::GetSize(FileHandle handle) {
  OpenFile* file = Find(handle);
  if (file == nullptr) return INVALID_FILE_SIZE;
  struct stat info;
  int fd = file->writing ? file->writing->fd() : file->file.fd();
  if (fstat(fd, &info) != 0) return INVALID_FILE_SIZE;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(info.st_size) & 0xFFFFFFFFu);
}

std::uint32_t HostFileSystem::ReadFromStart(FileHandle handle, void* buffer, std::uint32_t size) {
  OpenFile* file = Find(handle);
  if (file == nullptr || file->writing || buffer == nullptr) return 0;
  std::uint32_t done = 0;
  while (done < size) {
    ssize_t got = pread(file->file.fd(), static_cast<char*>(buffer) + done, size - done, done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::uint32_t>(got);
  }
  return done;
}

bool HostFileSystem::Write(FileHandle handle, const void* bytes, std::uint32_t size) {
  OpenFile* file = Find(handle);
  if (file == nullptr || !file->writing || (bytes == nullptr && size > 0)) return false;
  const char* next = static_cast<const char*>(bytes);
  std::uint32_t left = size;
  while (left > 0) {
    ssize_t written = write(file->writing->fd(), next, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      file->failed = true;
      return false;
    }
    next += written;
    left -= static_cast<std::uint32_t>(written);
  }
  return true;
}

bool HostFileSystem::Close(FileHandle handle) {
  std::unique_ptr<OpenFile> file;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = files_.find(handle);
    if (found == files_.end()) return false;
    file = std::move(found->second);
    files_.erase(found);
  }
  if (!file->writing) return true;
  if (file->failed) return false;  // the replacement is discarded with it
  return file->writing->Commit(file->mode, file->attributes, file->keepExplicit, nullptr);
}

bool HostFileSystem::SetAttributes(const char* path, std::uint32_t attributes) {
  HostPath resolved;
  if (path == nullptr || paths_.Resolve(path, resolved) != PathLookup::Found) return false;
  return ApplyAttributes(resolved.host, resolved.name, attributes);
}

bool HostFileSystem::CreateDirectory(const char* path) {
  HostPath resolved;
  if (path == nullptr || paths_.Resolve(path, resolved) != PathLookup::LastMissing) return false;
  return mkdir(resolved.host.c_str(), 0777) == 0;
}

std::uint32_t HostFileSystem::GetCurrentDirectory(char* buffer, std::uint32_t size) {
  std::string current = paths_.CurrentDirectory();
  if (current.empty() || buffer == nullptr || current.size() >= size) return 0;
  std::memcpy(buffer, current.c_str(), current.size() + 1);
  return static_cast<std::uint32_t>(current.size());
}

}  // namespace pache::host
