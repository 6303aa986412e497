// The copy worker: carries out the <COPY> section on a thread of its own and
// builds the log additions block.
#pragma once

#include <cstdint>

#include "app/state.h"

namespace pache {

inline constexpr std::int32_t kLogBytesPerLine = 256;

// The thread's body: counts the section's lines, allocates the block,
// copies and creates folders, ends the block with "<END>" and two LF, then
// stores 1 into record.done (release) as its last use of the session.
void CopyWorkerMain(PatchSession& session, WorkerRecord& record);

// Sets session.copyLineCount to the number of lines of the <COPY> section.
void CountCopyLines(PatchSession& session);

// Handles every line of the <COPY> section in order, sleeping 100 ms before
// each line read, the closing one included.
void ProcessCopySection(PatchSession& session);

// Splits `line` at its "=" bytes: the bytes before the first go to `left`,
// those between the first and the second to `right`, the rest nowhere.
// Returns the number of "=" bytes.
std::int32_t SplitAtEquals(const char* line, Text& left, Text& right);

}  // namespace pache
