#include "tools/host_machine.h"

#include "platform/host/codepage.h"
#include "platform/host/host_file_system.h"
#include "platform/host/host_registry.h"
#include "platform/host/host_system.h"
#include "platform/host/prefix.h"
#include "platform/ui/headless/headless_window_system.h"

namespace pache::suk {

namespace {

headless::HeadlessOptions QuietOptions(std::FILE* messageBoxes) {
  headless::HeadlessOptions options;
  options.out = messageBoxes;
  // suk never shows the patch menu, and is stopped as any command is.
  options.menuAnswer = "quit";
  options.closeSignals = false;
  return options;
}

bool IsDosPath(const std::string& path) {
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

}  // namespace

struct HostMachine::Parts {
  Parts(std::string prefix, std::FILE* messageBoxes)
      : prefixDirectory(std::move(prefix)),
        files(prefixDirectory),
        registry(prefixDirectory),
        windows(QuietOptions(messageBoxes)),
        // suk takes no instance lock, so no later copy ever asks it.
        system([](const char*) { return false; }),
        platform{files, registry, windows, system} {}

  std::string prefixDirectory;
  host::HostFileSystem files;
  host::HostRegistry registry;
  headless::HeadlessWindowSystem windows;
  host::HostSystem system;
  Platform platform;
};

HostMachine::HostMachine(std::FILE* messageBoxes)
    : parts_(std::make_unique<Parts>(host::PrefixDirectory(), messageBoxes)) {}

HostMachine::~HostMachine() = default;

const Platform& HostMachine::platform() const { return parts_->platform; }

const std::string& HostMachine::prefixDirectory() const { return parts_->prefixDirectory; }

bool DosPathFromArgument(const std::string& argument, const std::string& base,
                         std::string& dosPath) {
  std::string path = argument;
  if (!IsDosPath(path)) {
    // Z: is the host's root.
    if (path.empty() || path[0] != '/') path = base + "/" + path;
    path = "Z:" + path;
  }
  for (char& byte : path) {
    if (byte == '/') byte = '\\';
  }
  return host::Utf8ToAnsi(path, dosPath);
}

}  // namespace pache::suk
