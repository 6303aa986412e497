// Loading files: scrambled files (every byte stored as 255 - byte) and plain
// files.
#pragma once

#include <cstdint>

#include "app/state.h"

namespace pache {

// Each byte b of bytes[0, length) becomes 255 - b: in place, or written to
// `target` (length bytes) when one is given. Encodes and decodes alike.
void InvertBytes(std::uint8_t* bytes, std::int32_t length, std::uint8_t* target = nullptr);

// Opens `fileName` for reading with no sharing, reads it whole, decodes it
// and makes it session.definitionText (the replaced text is released).
// False, with definitionText unchanged, when the file cannot be opened or
// read whole, or no memory can be had. An empty file loads as an empty text.
bool LoadScrambledText(PatchSession& session, const char* fileName);

// As LoadScrambledText, but the bytes are kept as stored and go to `buffer`
// (whose previous bytes are released).
bool LoadPlainFile(PatchSession& session, const char* path, TextBuffer& buffer);

// Releases a loaded text and leaves it empty.
void ReleaseText(PatchSession& session, TextBuffer& buffer);

}  // namespace pache
