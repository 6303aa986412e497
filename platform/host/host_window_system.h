// What every window system of the host shares: the single-instance
// channel. The copy that holds the instance lock answers later copies
// through BringOwnWindowToFront; a later copy asks through
// BringOtherInstanceToFront.
#pragma once

#include "platform/platform.h"

namespace pache::host {

class HostWindowSystem : public WindowSystem {
 public:
  // Asks the copy that holds the instance lock, through the per-user socket.
  bool BringOtherInstanceToFront(const char* className) final;

  // Called on the channel's own thread when a later copy asks: restores this
  // copy's main window of `className` when minimised and brings its last
  // active popup (menu or message box, else the window) to the front. False
  // when there is no such window.
  virtual bool BringOwnWindowToFront(const char* className) = 0;
};

}  // namespace pache::host
