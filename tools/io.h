// Reading and writing whole files for the suk commands; "-" names standard
// input or output. Failures are printed as "suk: ..." on standard error.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace pache::suk {

// Reads the whole of `path` into `bytes`.
bool ReadInput(const std::string& path, std::string& bytes);

// A file that gets its content only when committed: the bytes go to a
// temporary file beside it, renamed into place by Commit, so a failure
// leaves an existing file as it was. Standard output is written directly.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  bool Open(const std::string& path);
  bool Write(std::string_view bytes);
  bool Commit();

 private:
  std::string path_;
  std::string temporaryPath_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

// Writes `bytes` as the whole content of `path`.
bool WriteOutput(const std::string& path, std::string_view bytes);

// Prints "suk: message" on standard error.
void PrintError(const std::string& message);

}  // namespace pache::suk
