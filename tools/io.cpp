#include "tools/io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace pache::suk {

namespace {

std::string Describe(const std::string& path) { return path == "-" ? "standard input" : path; }

std::string Reason() { return std::strerror(errno); }

}  // namespace

void PrintError(const std::string& message) { std::cerr << "suk: " << message << '\n'; }

bool ReadInput(const std::string& path, std::string& bytes) {
  bytes.clear();
  std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    PrintError("cannot open " + path + ": " + Reason());
    return false;
  }
  char chunk[65536];
  std::size_t count;
  while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, count);
  bool failed = std::ferror(file) != 0;
  std::string reason = failed ? Reason() : "";
  if (file != stdin) std::fclose(file);
  if (failed) PrintError("cannot read " + Describe(path) + ": " + reason);
  return !failed;
}

OutputFile::~OutputFile() {
  if (file_ != nullptr && file_ != stdout) std::fclose(file_);
  if (!temporaryPath_.empty()) std::remove(temporaryPath_.c_str());
}

bool OutputFile::Open(const std::string& path) {
  path_ = path;
  if (path == "-") {
    file_ = stdout;
    return true;
  }
  std::string pattern = path + ".XXXXXX";
  int descriptor = mkstemp(pattern.data());
  if (descriptor < 0) {
    PrintError("cannot write " + path + ": " + Reason());
    return false;
  }
  temporaryPath_ = pattern;
  // mkstemp makes the file private; give it the mode a plain create would.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(descriptor, 0666 & ~mask);
  file_ = fdopen(descriptor, "wb");
  if (file_ == nullptr) {
    close(descriptor);
    PrintError("cannot write " + path + ": " + Reason());
    return false;
  }
  return true;
}

bool OutputFile::Write(std::string_view bytes) {
  if (failed_) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    failed_ = true;
    PrintError("cannot write " + (path_ == "-" ? std::string("standard output") : path_) + ": " +
               Reason());
  }
  return !failed_;
}

bool OutputFile::Commit() {
  if (failed_) return false;
  if (file_ == stdout) {
    if (std::fflush(stdout) != 0) {
      PrintError("cannot write standard output: " + Reason());
      return false;
    }
    return true;
  }
  bool written = std::fflush(file_) == 0 && fsync(fileno(file_)) == 0;
  std::string reason = written ? "" : Reason();
  written = std::fclose(file_) == 0 && written;
  file_ = nullptr;
  if (written && std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
    written = false;
    reason = Reason();
  }
  if (!written) {
    PrintError("cannot write " + path_ + ": " + (reason.empty() ? Reason() : reason));
    return false;
  }
  temporaryPath_.clear();
  return true;
}

bool WriteOutput(const std::string& path, std::string_view bytes) {
  OutputFile output;
  return output.Open(path) && output.Write(bytes) && output.Commit();
}

}  // namespace pache::suk
