// The per-user folder for the single-instance lock and socket.
#pragma once

#include <string>

namespace pache::host {

// XDG_RUNTIME_DIR when it names a folder of this user, else /tmp/pache-UID,
// made private to the user when missing. False when neither can be had
// safely (a folder of another user, or open to others).
bool UserRuntimeDirectory(std::string& directory);

}  // namespace pache::host
