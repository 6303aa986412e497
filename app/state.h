// PatchSession: the one record that holds the state of a patch run.
//
// Every operation of the core takes the session it works on, so that tests
// can run any number of independent sessions side by side. Texts are
// zero-filled byte buffers in code page 932.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/platform.h"

namespace pache {

inline constexpr int kTextSize = 512;      // texts: at most 511 bytes and a zero
inline constexpr int kFileNameSize = 260;  // fileName: at most 259 bytes and a zero

using Text = char[kTextSize];

// The bytes of a loaded file: exactly `length` of them, no terminating zero.
struct TextBuffer {
  std::uint8_t* bytes = nullptr;
  std::int32_t length = 0;
};

enum SequencerState : std::int32_t {
  StartWorker = 0,
  WaitWorker = 1,
  Report = 2,
  Quit = 3,
};

// The hand-off between the sequencer and the copy worker. The worker stores
// 1 into `done` (release) after its last use of shared state; the sequencer
// loads it (acquire) once per frame.
struct WorkerRecord {
  std::atomic<std::int32_t> done{0};
};

struct PatchSession {
  explicit PatchSession(const Platform& machine) : platform(machine) {}
  PatchSession(const PatchSession&) = delete;
  PatchSession& operator=(const PatchSession&) = delete;

  Platform platform;

  WindowHandle mainWindow = 0;
  Text sourceDir = {};
  char fileName[kFileNameSize] = {};
  TextBuffer definitionText;
  Text installDir = {};
  Text versionPath = {};
  Text version = {};
  Text title = {};
  TextBuffer versionFile;
  std::int32_t versionCursor = 0;
  std::int32_t menuChoice = 0;
  std::int32_t sequencerState = StartWorker;
  WorkerRecord worker;
  std::int32_t copyLineCount = 0;
  // The log additions block: entries, "<END>" and two LF, zero fill.
  // `length` is its size in bytes (copyLineCount * 256, grown in 256-byte
  // steps when the entries need more).
  TextBuffer logAdditions;
};

}  // namespace pache
