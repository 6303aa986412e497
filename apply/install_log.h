// The install log update: appends the copied files to the product's
// scrambled, hidden install log "an\CP_Data.suk".
#pragma once

#include "app/state.h"

namespace pache {

// Rewrites the install log as its old entries (everything before its first
// "<END>") followed by the whole log additions block, scrambled, and
// releases the block. Does nothing when the log cannot be loaded or its
// path does not fit.
void UpdateInstallLog(PatchSession& session);

}  // namespace pache
