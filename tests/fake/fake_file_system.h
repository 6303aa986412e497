// FakeFileSystem: an in-memory tree of DOS paths behind FileSystem.
//
// Paths are byte strings in code page 932: "X:\" roots, "\" or "/" as
// separators (never a 0x5C trail byte of a double-byte character), names
// compared case-insensitively in ASCII, "." and ".." resolved without ever
// climbing above the drive root, relative paths taken from the current
// directory. Drive C: and its root exist from the start; the current
// directory is "C:\".
//
// It behaves as the FileSystem comments say (no sharing, commit on close,
// Windows copy refusals) and adds, for tests:
// - helpers that build and inspect the tree (AddFile, Content, ...);
// - faults as data: paths whose opens or writes fail, and "the Nth call of
//   a kind fails" through faults();
// - a record of every call (calls(), copies(), foldersMade()).
// Every member may be called from any thread.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/fake/fault_plan.h"

namespace pache {

class FakeProcess;
struct DosPath;

enum class FileCall {
  OpenForReading,
  CreateAlways,
  GetSize,
  ReadFromStart,
  Write,
  Close,
  CopyFile,
  SetAttributes,
  CreateDirectory,
  GetCurrentDirectory,
};

struct FileCallRecord {
  FileCall call;
  std::string path;    // the path as passed (CopyFile: the source)
  std::string target;  // CopyFile: the target; else empty
  bool ok;
};

// GetFileAttributes' answer for a missing path.
inline constexpr std::uint32_t kNoAttributes = 0xFFFFFFFFu;

class FakeFileSystem : public FileSystem {
 public:
  // `process`, when given, stops other threads once the process has ended
  // (FakePlatform passes its own); a standalone fake has none.
  explicit FakeFileSystem(FakeProcess* process = nullptr);

  // ------------------------------------------------ building the tree ----
  // Each helper makes missing parent folders (and the drive); each returns
  // false, changing nothing, for a path that cannot be resolved or that
  // crosses a file.
  bool AddDrive(char letter);
  bool AddFolder(const std::string& path, std::uint32_t attributes = 0);
  // Creates or replaces a file. `attributes`: READONLY, HIDDEN, SYSTEM bits.
  bool AddFile(const std::string& path, const std::string& content,
               std::uint32_t attributes = FILE_ATTRIBUTE_NORMAL);
  // Removes a file or a folder with all it holds.
  bool Remove(const std::string& path);
  // Makes the folder (and its parents) when missing.
  bool SetCurrentDirectory(const std::string& path);

  // ---------------------------------------------------- inspecting it ----
  bool Exists(const std::string& path) const;
  bool IsFolder(const std::string& path) const;
  // A file's content; nothing for a folder or a missing path.
  std::optional<std::string> Content(const std::string& path) const;
  // As GetFileAttributes: the READONLY, HIDDEN and SYSTEM bits (NORMAL when
  // none), DIRECTORY for a folder; kNoAttributes when missing.
  std::uint32_t Attributes(const std::string& path) const;
  // The last-write stamp: files made or replaced later get larger stamps,
  // a copy gets its source's. 0 when missing.
  std::uint64_t Time(const std::string& path) const;
  // Every folder and file, as spelled when made, sorted; roots end in "\".
  std::vector<std::string> Paths() const;
  // Handles not closed yet.
  int OpenHandleCount() const;

  // ----------------------------------------------------------- faults ----
  // Opens of the path fail (OpenForReading, CreateAlways, and a CopyFile
  // from or to it).
  void FailOpen(const std::string& path);
  // Writes to a handle of the path fail (the file then is not committed).
  void FailWrites(const std::string& path);
  FaultPlan<FileCall>& faults() { return faults_; }

  // ---------------------------------------------------------- records ----
  std::vector<FileCallRecord> calls() const;
  // The CopyFile records, failed ones included.
  std::vector<FileCallRecord> copies() const;
  // Folders that CreateDirectory made, as passed.
  std::vector<std::string> foldersMade() const;

  // ------------------------------------------------------- FileSystem ----
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
  struct Entry {
    std::string path;  // as spelled when made
    bool folder = false;
    std::string content;
    std::uint32_t attributes = 0;  // READONLY, HIDDEN, SYSTEM
    std::uint64_t time = 0;
  };
  struct OpenFile {
    std::string key;
    std::string parentKey;
    std::string path;  // display path for a file that does not exist yet
    bool writing = false;
    bool failed = false;
    std::uint32_t attributes = 0;
    std::string written;
  };
  // A resolved path: the lookup key (upper-cased ASCII) of the entry and of
  // its parent, and the spelled last component.
  struct Resolved {
    std::string key;
    std::string parentKey;  // empty for a root
    std::string name;
  };

  static Resolved ResolvedOf(const DosPath& path);
  bool Resolve(const std::string& path, Resolved& out) const;
  const Entry* Find(const std::string& key) const;
  bool IsBusy(const std::string& key) const;
  // Makes the missing folders above `path`; `leaf` is the path itself.
  bool MakeFolders(const std::string& path, Resolved& leaf);
  std::string DisplayPath(const Resolved& resolved) const;
  FileHandle Record(FileCall call, const char* path, FileHandle result);
  bool Record(FileCall call, const char* path, bool ok, const char* target = nullptr);
  void Gate() const;

  FakeProcess* process_;
  mutable std::mutex mutex_;
  std::map<std::string, Entry> entries_;
  std::map<FileHandle, OpenFile> open_;
  FileHandle nextHandle_ = 1;
  std::uint64_t clock_ = 0;
  std::string currentKey_;
  std::set<std::string> failOpen_;
  std::set<std::string> failWrites_;
  std::vector<FileCallRecord> calls_;
  FaultPlan<FileCall> faults_;
};

}  // namespace pache
