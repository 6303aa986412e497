#include "platform/host/prefix.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace pache::host {

std::string PrefixDirectory() {
  std::string prefix;
  if (const char* value = std::getenv("WINEPREFIX"); value != nullptr && *value != '\0') {
    prefix = value;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
      const passwd* entry = getpwuid(getuid());
      home = entry != nullptr ? entry->pw_dir : "/";
    }
    prefix = std::string(home) + "/.wine";
  }
  while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
  return prefix;
}

}  // namespace pache::host
