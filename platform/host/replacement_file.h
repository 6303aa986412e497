// A file's new content, written to a temporary file beside it and renamed
// over it only once complete and on disk: a reader sees the old file or
// the new one, never a torn one, and a failure leaves the old file as it
// was.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace pache::host {

class ReplacementFile {
 public:
  ReplacementFile() = default;
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;
  ~ReplacementFile();  // discards what was not committed

  // Creates the temporary file in the folder of `target` (of the file it
  // leads to, when it is a symbolic link: the link stays). False when it
  // cannot be made.
  bool Begin(const std::string& target);
  int fd() const { return fd_; }

  // Gives the new file its hidden and system bits (see StoreHiddenSystem),
  // then `mode`, then `times` when not null, flushes it to disk and renames
  // it over the target. A file replaced keeps its owner where possible.
  // False, with the temporary file removed and the target untouched, when
  // any step fails.
  bool Commit(mode_t mode, std::uint32_t attributes, bool keepExplicit,
              const struct timespec* times);

  // Removes the temporary file.
  void Discard();

 private:
  std::string target_;
  std::string temporary_;
  int fd_ = -1;
};

// Removes every temporary file not yet committed, in all threads: for a
// process that ends while a copy is under way, so that nothing is left
// beside its targets.
void DiscardPendingReplacements();

// The permission bits of a file that CreateFile or CopyFile makes anew:
// 0666 less the umask, with execute bits where read bits are for names
// ending in ".exe" or ".com", as Wine creates them.
mode_t NewFileMode(const std::string& name);

}  // namespace pache::host
