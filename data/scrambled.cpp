#include "data/scrambled.h"

#include <cstdint>

namespace pache {

namespace {

// Reads the whole file into a fresh zero-filled block. An empty file gives
// no block and length 0. False when the file cannot be opened or read
// whole, is too large for a TextBuffer, or no memory can be had; `loaded` is
// then untouched.
bool ReadWholeFile(PatchSession& session, const char* path, TextBuffer& loaded) {
  FileSystem& files = session.platform.files;
  FileHandle file = files.OpenForReading(path);
  if (file == kNoFile) return false;
  std::uint32_t size = files.GetSize(file);
  // INVALID_FILE_SIZE, a failure, is caught here too.
  if (size > static_cast<std::uint32_t>(INT32_MAX)) {
    files.Close(file);
    return false;
  }
  std::uint8_t* bytes = nullptr;
  if (size > 0) {
    bytes = static_cast<std::uint8_t*>(session.platform.system.Allocate(size));
    if (bytes == nullptr) {
      files.Close(file);
      return false;
    }
    // A text read in part is never acted on: the install log update would
    // write the missing bytes back as zeros, losing the old entries.
    if (files.ReadFromStart(file, bytes, size) != size) {
      session.platform.system.Release(bytes);
      files.Close(file);
      return false;
    }
  }
  files.Close(file);
  loaded.bytes = bytes;
  loaded.length = static_cast<std::int32_t>(size);
  return true;
}

// Releases what `buffer` holds and makes it `loaded`.
void ReplaceText(PatchSession& session, TextBuffer& buffer, const TextBuffer& loaded) {
  ReleaseText(session, buffer);
  buffer = loaded;
}

}  // namespace

void InvertBytes(std::uint8_t* bytes, std::int32_t length, std::uint8_t* target) {
  std::uint8_t* out = target != nullptr ? target : bytes;
  for (std::int32_t i = 0; i < length; ++i) out[i] = static_cast<std::uint8_t>(255 - bytes[i]);
}

bool LoadScrambledText(PatchSession& session, const char* fileName) {
  TextBuffer loaded;
  if (!ReadWholeFile(session, fileName, loaded)) return false;
  InvertBytes(loaded.bytes, loaded.length);
  ReplaceText(session, session.definitionText, loaded);
  return true;
}

bool LoadPlainFile(PatchSession& session, const char* path, TextBuffer& buffer) {
  TextBuffer loaded;
  if (!ReadWholeFile(session, path, loaded)) return false;
  ReplaceText(session, buffer, loaded);
  return true;
}

void ReleaseText(PatchSession& session, TextBuffer& buffer) {
  if (buffer.bytes != nullptr) session.platform.system.Release(buffer.bytes);
  buffer.bytes = nullptr;
  buffer.length = 0;
}

}  // namespace pache
