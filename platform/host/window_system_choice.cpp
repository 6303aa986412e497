#include "platform/host/window_system_choice.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ui/headless/headless_window_system.h"

namespace pache::host {

std::unique_ptr<HostWindowSystem> ChooseWindowSystem() {
  const char* value = std::getenv("PACHE_UI");
  const std::string requested = value != nullptr ? value : "";
  // Desktop window systems are chosen here, before the headless one: for
  // their own name, or for no name when a display is set.
  if (!requested.empty() && requested != "headless")
    std::fprintf(stderr, "pache: window system \"%s\" is not built in; running headless\n",
                 requested.c_str());
  return std::make_unique<headless::HeadlessWindowSystem>(headless::HeadlessOptions::FromProcess());
}

}  // namespace pache::host
