// The file calls over a Wine prefix: DOS paths resolved through its drives,
// Windows sharing and attribute rules, and crash-safe replacement of every
// file that is written or copied.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/host/dos_path.h"
#include "platform/platform.h"

namespace pache::host {

class HostFileSystem : public FileSystem {
 public:
  explicit HostFileSystem(std::string prefixDirectory);
  ~HostFileSystem() override;

  FileHandle OpenForReading(const char* path) override;
  FileHandle CreateAlways(const char* path, std::uint32_t attributes) override;
  std::uint32_t GetSize(FileHandle file) override;
  std::uint32_t ReadFromStart(FileHandle file, void* buffer, std::uint32_t size) override;
  bool Write(FileHandle file, const void* bytes, std::uint32_t size) override;
  bool Close(FileHandle file) override;
  bool CopyFile(const char* source, const char* target, bool failIfExists) override;
  bool SetAttributes(const char* path, std::uint32_t attributes) override;
  bool CreateDirectory(const char* path) override;
  std::uint32_t GetCurrentDirectory(char* buffer, std::uint32_t size) override;

 private:
  struct OpenFile;

  FileHandle Keep(std::unique_ptr<OpenFile> file);
  OpenFile* Find(FileHandle file);

  DosPaths paths_;
  std::mutex mutex_;  // guards the table: the worker and the main thread both open files
  std::map<FileHandle, std::unique_ptr<OpenFile>> files_;
  FileHandle nextHandle_ = 1;
};

}  // namespace pache::host
