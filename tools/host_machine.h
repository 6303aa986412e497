// The machine the suk commands work on: the host backend over the Wine
// prefix that WINEPREFIX names, as pache itself uses it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace pache::suk {

class HostMachine {
 public:
  // Message boxes go to `messageBoxes` as "[caption] text" lines.
  explicit HostMachine(std::FILE* messageBoxes = stdout);
  ~HostMachine();
  HostMachine(const HostMachine&) = delete;
  HostMachine& operator=(const HostMachine&) = delete;

  const Platform& platform() const;
  const std::string& prefixDirectory() const;

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

// A path given on the command line as a DOS path in code page 932: a DOS
// path ("C:\Game", "C:/Game") as it stands, any other path through Z:, the
// drive of the host's root, relative to `base`. False when the path cannot
// be written in code page 932.
bool DosPathFromArgument(const std::string& argument, const std::string& base,
                         std::string& dosPath);

}  // namespace pache::suk
