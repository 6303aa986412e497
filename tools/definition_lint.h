// The traps of the patch definition format: what the tool will really read
// from a definition, found with the tool's own readers, set against what
// its author evidently meant.
#pragma once

#include <vector>

#include "app/state.h"
#include "tools/diagnostics.h"

namespace pache::suk {

// Checks the decoded definition in session.definitionText and appends a
// diagnostic, with its reason, for every trap found.
void LintDefinition(const PatchSession& session, std::vector<Diagnostic>& diagnostics);

}  // namespace pache::suk
