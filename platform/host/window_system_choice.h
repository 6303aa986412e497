// Which window system the program runs with.
#pragma once

#include <memory>

#include "platform/host/host_window_system.h"

namespace pache::host {

// PACHE_UI names it: "headless", or a desktop window system built into the
// program. Unset, a desktop one is taken when built and a display is set,
// else headless. A name that is not built falls back to headless, with a
// note on standard error.
std::unique_ptr<HostWindowSystem> ChooseWindowSystem();

}  // namespace pache::host
