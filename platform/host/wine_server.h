// Finding out whether a wineserver runs for a prefix, as Wine's own client
// does: the server holds a write lock on the "lock" file of its folder for
// as long as it lives.
#pragma once

#include <string>

namespace pache::host {

// The server folder of a prefix: <tmpRoot>/.wine-<uid>/server-<dev>-<ino>,
// with the prefix folder's device and inode in lowercase hex. Empty when
// the prefix folder does not exist.
std::string WineServerDirectory(const std::string& prefixDirectory, const std::string& tmpRoot = "/tmp");

// True when a process holds the lock in `serverDirectory`; where the file
// system has no locks, when something answers on its socket.
bool WineServerRunningIn(const std::string& serverDirectory);

}  // namespace pache::host
