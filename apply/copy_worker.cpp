#include "apply/copy_worker.h"

#include <atomic>
#include <cstring>

#include "app/texts.h"
#include "data/patch_definition.h"
#include "data/paths.h"
#include "data/scrambled.h"
#include "data/text_cursor.h"

namespace pache {

namespace {

constexpr std::uint32_t kLinePauseMs = 100;
constexpr char kLogEntryEnd[] = "\n\n";
constexpr std::int32_t kLogEntryEndLength = 2;

bool IsCopyMarkerLine(const Text& line) {
  return std::strncmp(line, kCopyMarker, kCopyMarkerLength) == 0;
}

// Appends `count` bytes to the text in the log block, growing the block in
// 256-byte steps so that the text and its closing zero always fit.
void AppendToLogAdditions(PatchSession& session, const char* bytes, std::int32_t count) {
  TextBuffer& block = session.logAdditions;
  if (block.bytes == nullptr) return;
  const void* zero = std::memchr(block.bytes, 0, static_cast<std::size_t>(block.length));
  std::int64_t used = static_cast<const std::uint8_t*>(zero) - block.bytes;
  std::int64_t needed = used + count + 1;
  if (needed > block.length) {
    std::int64_t steps = (needed - block.length + kLogBytesPerLine - 1) / kLogBytesPerLine;
    std::int64_t grown = block.length + steps * kLogBytesPerLine;
    void* bigger = grown <= INT32_MAX ? session.platform.system.Allocate(static_cast<std::size_t>(grown))
                                      : nullptr;
    if (bigger == nullptr) {
      // A log that would miss a copied file is never written: without room
      // for every entry there is no log update at all.
      ReleaseText(session, block);
      return;
    }
    std::memcpy(bigger, block.bytes, static_cast<std::size_t>(used));
    session.platform.system.Release(block.bytes);
    block.bytes = static_cast<std::uint8_t*>(bigger);
    block.length = static_cast<std::int32_t>(grown);
  }
  std::memcpy(block.bytes + used, bytes, static_cast<std::size_t>(count));
}

void AllocateLogAdditions(PatchSession& session) {
  // At least one step, so that the terminator of an empty section fits.
  std::int64_t lines = session.copyLineCount > 0 ? session.copyLineCount : 1;
  std::int64_t size = lines * kLogBytesPerLine;
  void* block = size <= INT32_MAX ? session.platform.system.Allocate(static_cast<std::size_t>(size))
                                  : nullptr;
  session.logAdditions.bytes = static_cast<std::uint8_t*>(block);
  session.logAdditions.length = block != nullptr ? static_cast<std::int32_t>(size) : 0;
}

// Copies one file; a line that was cut to fit, or a path that does not fit,
// is never used and counts as a failed copy.
void CopyOneFile(PatchSession& session, bool lineWhole, const Text& left, const Text& right) {
  Text source = {};
  Text target = {};
  bool sourceWhole = session.sourceDir[0] != '\0' && JoinPath(source, session.sourceDir, left);
  bool targetWhole = JoinPath(target, session.installDir, right);
  bool copied = lineWhole && sourceWhole && targetWhole &&
                session.platform.files.CopyFile(source, target, false);
  session.platform.windows.SetWindowText(session.mainWindow, right);
  if (copied) {
    session.platform.files.SetAttributes(target, FILE_ATTRIBUTE_NORMAL);
    AppendToLogAdditions(session, target, static_cast<std::int32_t>(std::strlen(target)));
    AppendToLogAdditions(session, kLogEntryEnd, kLogEntryEndLength);
    return;
  }
  Text message = {};
  FormatText(message, sizeof message, kCopyFailedFormat, sourceWhole ? source : left,
             targetWhole ? target : right);
  session.platform.windows.MessageBox(session.mainWindow, message, kCopyFailedCaption, MB_OK);
}

void CreateOneFolder(PatchSession& session, bool lineWhole, const Text& left) {
  Text folder = {};
  if (lineWhole && JoinPath(folder, session.installDir, left)) {
    session.platform.files.CreateDirectory(folder);
  }
}

}  // namespace

std::int32_t SplitAtEquals(const char* line, Text& left, Text& right) {
  std::size_t length = std::strlen(line);
  std::int32_t equals = 0;
  std::size_t leftAt = 0;
  std::size_t rightAt = 0;
  for (std::size_t i = 0; i < length; ++i) {
    char byte = line[i];
    if (byte == '=') {
      ++equals;
    } else if (equals == 0 && leftAt < sizeof left - 1) {
      left[leftAt++] = byte;
    } else if (equals == 1 && rightAt < sizeof right - 1) {
      right[rightAt++] = byte;
    }
  }
  return equals;
}

void CountCopyLines(PatchSession& session) {
  std::int32_t cursor = 0;
  if (!FindMarker(session, cursor, kCopyMarker, kCopyMarkerLength, true)) return;
  Text line = {};
  // A section without its closing line ends with the text.
  while (!AtEndOfText(session, cursor)) {
    ReadLine(session, cursor, line);
    if (IsCopyMarkerLine(line)) return;
    ++session.copyLineCount;
  }
}

void ProcessCopySection(PatchSession& session) {
  std::int32_t cursor = 0;
  if (!FindMarker(session, cursor, kCopyMarker, kCopyMarkerLength, true)) return;
  for (;;) {
    session.platform.system.Sleep(kLinePauseMs);
    if (AtEndOfText(session, cursor)) return;
    Text line = {};
    Text left = {};
    Text right = {};
    bool lineWhole = ReadLine(session, cursor, line) <= kMaxLineBytes;
    if (IsCopyMarkerLine(line)) return;
    SplitAtEquals(line, left, right);
    if (right[0] != '\0') {
      CopyOneFile(session, lineWhole, left, right);
    } else if (left[0] != '\0') {
      CreateOneFolder(session, lineWhole, left);
    }
  }
}

void CopyWorkerMain(PatchSession& session, WorkerRecord& record) {
  session.copyLineCount = 0;
  CountCopyLines(session);
  AllocateLogAdditions(session);
  ProcessCopySection(session);
  AppendToLogAdditions(session, kEndMarker, kEndMarkerLength);
  AppendToLogAdditions(session, kLogEntryEnd, kLogEntryEndLength);
  record.done.store(1, std::memory_order_release);
}

}  // namespace pache
