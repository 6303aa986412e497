#include "platform/host/window_system_choice.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ui/headless/headless_window_system.h"
#ifdef PACHE_HAVE_GTK
#include "platform/ui/gtk/gtk_window_system.h"
#endif

namespace pache::host {

namespace {

[[maybe_unused]] bool DisplaySet() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

std::unique_ptr<HostWindowSystem> Headless() {
  return std::make_unique<headless::HeadlessWindowSystem>(headless::HeadlessOptions::FromProcess());
}

}  // namespace

std::unique_ptr<HostWindowSystem> ChooseWindowSystem() {
  const char* value = std::getenv("PACHE_UI");
  const std::string requested = value != nullptr ? value : "";
  // Desktop window systems are chosen here, before the headless one: for
  // their own name, or for no name when a display is set.
#ifdef PACHE_HAVE_GTK
  if (requested == "gtk" || (requested.empty() && DisplaySet())) {
    if (std::unique_ptr<HostWindowSystem> desktop = gtk::GtkWindowSystem::Open()) return desktop;
    std::fprintf(stderr, "pache: cannot open the display; running headless\n");
    return Headless();
  }
#endif
  if (!requested.empty() && requested != "headless")
    std::fprintf(stderr, "pache: window system \"%s\" is not built in; running headless\n",
                 requested.c_str());
  return Headless();
}

}  // namespace pache::host
