// How a second copy reaches the first: the copy that holds the instance
// lock listens on a per-user socket; a later copy asks it, by window class
// name, to bring its window to the front.
#pragma once

#include <functional>
#include <string>

namespace pache::host {

// Answers a request for the main window of `className`: true when this copy
// has one and brought it (or its last active popup) to the front. Runs on
// the listening thread.
using FrontRequestHandler = std::function<bool(const char* className)>;

// Starts a detached thread that answers requests at the socket in
// `runtimeDirectory`. Only the holder of the instance lock calls it.
bool ListenForFrontRequests(const std::string& runtimeDirectory, FrontRequestHandler handler);

// Asks the listening copy; false when none answers, or it has no such
// window.
bool AskOtherInstanceToFront(const char* className);

}  // namespace pache::host
