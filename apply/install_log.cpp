#include "apply/install_log.h"

#include <cstring>

#include "data/patch_definition.h"
#include "data/paths.h"
#include "data/scrambled.h"
#include "data/text_cursor.h"

namespace pache {

namespace {

// The log's path in session.fileName. False when it does not fit there.
bool FormInstallLogPath(PatchSession& session) {
  Text path = {};
  if (!JoinPath(path, session.installDir, kInstallLogPath)) return false;
  std::size_t length = std::strlen(path);
  if (length >= sizeof session.fileName) return false;
  std::memset(session.fileName, 0, sizeof session.fileName);
  std::memcpy(session.fileName, path, length);
  return true;
}

// The bytes of the loaded log that stand before its first "<END>". A log
// without the marker keeps all of its text but the zero fill at its end.
std::int32_t CountOldEntryBytes(const PatchSession& session) {
  std::int32_t cursor = 0;
  if (FindMarker(session, cursor, kEndMarker, kEndMarkerLength, false)) {
    return cursor - kEndMarkerLength;
  }
  std::int32_t count = session.definitionText.length;
  while (count > 0 && session.definitionText.bytes[count - 1] == 0) --count;
  return count;
}

}  // namespace

void UpdateInstallLog(PatchSession& session) {
  TextBuffer& block = session.logAdditions;
  // Without its block (no memory for it) the log would lose its end marker.
  if (block.bytes == nullptr) return;
  if (!FormInstallLogPath(session)) return;
  if (!LoadScrambledText(session, session.fileName)) return;

  System& system = session.platform.system;
  std::int32_t oldCount = CountOldEntryBytes(session);
  std::uint8_t* oldEntries = nullptr;
  if (oldCount > 0) {
    oldEntries = static_cast<std::uint8_t*>(system.Allocate(static_cast<std::size_t>(oldCount)));
    // Without it the old entries would be lost: leave the log as it is.
    if (oldEntries == nullptr) return;
    InvertBytes(session.definitionText.bytes, oldCount, oldEntries);
  }
  InvertBytes(block.bytes, block.length);

  // The file system commits the new content at close only when every write
  // succeeded, so a failure leaves the old log as it was.
  FileSystem& files = session.platform.files;
  FileHandle log = files.CreateAlways(session.fileName, FILE_ATTRIBUTE_HIDDEN);
  if (log != kNoFile) {
    if (oldCount > 0) files.Write(log, oldEntries, static_cast<std::uint32_t>(oldCount));
    files.Write(log, block.bytes, static_cast<std::uint32_t>(block.length));
    files.Close(log);
  }
  ReleaseText(session, block);
  if (oldEntries != nullptr) system.Release(oldEntries);
}

}  // namespace pache
