// A Wine prefix in a temporary folder, for tests of the host backend: a
// drive C: linked to drive_c as Wine sets it up, and helpers to look at the
// host files behind the DOS paths.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace pache::test {

class TempPrefix {
 public:
  // `withDosDevices` false gives a prefix that has no drive links at all.
  explicit TempPrefix(bool withDosDevices = true);
  ~TempPrefix();
  TempPrefix(const TempPrefix&) = delete;
  TempPrefix& operator=(const TempPrefix&) = delete;

  const std::string& Directory() const { return directory_; }
  // The host path of a path below drive_c ("Games/x.dat").
  std::string OnC(const std::string& relative) const { return directory_ + "/drive_c/" + relative; }
  // Adds the drive link dosdevices/<letter>: pointing at `target`.
  void LinkDrive(char letter, const std::string& target) const;

 private:
  std::string directory_;
};

// Small host file helpers; each fails the running test on error.
void WriteHostFile(const std::string& path, const std::string& content, mode_t mode = 0644);
std::string ReadHostFile(const std::string& path);
void MakeHostFolder(const std::string& path);
// The user.DOSATTRIB value, or nothing when the file has none.
std::optional<std::string> DosAttrib(const std::string& path);
void SetDosAttrib(const std::string& path, const std::string& value);
mode_t HostMode(const std::string& path);
// Names in a folder that start with `start` (leftover temporary files).
int CountEntriesStartingWith(const std::string& folder, const std::string& start);

// Runs `body` in a child process that has dropped root for the user
// "nobody" (or directly, when the tests already run unprivileged) and
// returns its result; nothing when no unprivileged user can be had.
std::optional<bool> RunUnprivileged(const std::function<bool()>& body);
// Gives a folder and everything in it to the user RunUnprivileged uses.
void GiveToUnprivileged(const std::string& path);

// Changes the working directory for the life of the object.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& path);
  ~WorkingDirectory();

 private:
  std::string previous_;
};

}  // namespace pache::test
