// The patch sequencer: one step per frame through StartWorker, WaitWorker,
// Report and Quit.
#pragma once

#include "app/state.h"

namespace pache {

// Does the work of the current state once and moves to the next one. Never
// blocks on the copy worker: it polls the worker's done flag.
void PatchSequencerStep(PatchSession& session);

}  // namespace pache
