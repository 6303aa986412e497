// The scrambled encoding over a whole file's bytes, any size.
#pragma once

#include <string>

namespace pache::suk {

// Every byte b of `bytes` becomes 255 - b; the same call encodes and decodes.
void Scramble(std::string& bytes);

// Reads `input`, scrambles it and writes it to `output` ("-" for standard
// input and output). Returns the exit status.
int ScrambleFile(const std::string& input, const std::string& output);

}  // namespace pache::suk
