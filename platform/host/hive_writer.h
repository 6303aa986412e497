// Putting a new text of a hive file in place without ever leaving a torn
// file: written beside it, flushed and renamed over it. A hive that is a
// symbolic link or has several hard links is rewritten in place instead, as
// Wine does, so that the link keeps pointing at it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pache::host {

// Replaces the file at `path` by `content`. `unchangedPrefix` is how many
// leading bytes `content` shares with the file (an in-place write starts
// there). False when anything failed: the file is then as it was, except
// for an in-place write that failed halfway.
bool WriteHiveFile(const std::string& path, std::string_view content, std::size_t unchangedPrefix);

// Whether an open with write access may be granted: the file has a write
// permission bit (even for root, who could write anything: a hive made
// read-only stays read-only) and the user can write it and, unless it is
// rewritten in place, the folder that holds it.
bool HiveWritable(const std::string& path);

// Test seam: when set, called at each step of a write ("write" before each
// chunk, which then fails halfway; "commit" before the new file is put in
// place); true makes that step fail.
using HiveWriteFault = bool (*)(const char* step);
void SetHiveWriteFault(HiveWriteFault fault);

}  // namespace pache::host
