// The Wine prefix that the tool works on.
#pragma once

#include <string>

namespace pache::host {

// WINEPREFIX when set and not empty, else $HOME/.wine, as Wine chooses it;
// without a trailing slash.
std::string PrefixDirectory();

}  // namespace pache::host
