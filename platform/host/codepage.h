// Conversions between the ANSI code page (932 unless PACHE_ACP says
// otherwise), UTF-8 and UTF-16, as Wine converts for the ...A functions.
#pragma once

#include <string>
#include <string_view>

namespace pache::host {

// The ANSI code page in force: PACHE_ACP when it holds a number, else 932.
int AnsiCodePage();

// ANSI bytes to UTF-8. Bytes without a mapping become '?', Wine's default
// character, and the result is then false.
bool AnsiToUtf8(std::string_view ansi, std::string& utf8, int codePage = AnsiCodePage());

// UTF-8 to ANSI bytes. False when a character has no mapping in the code
// page (the output then holds '?' for it).
bool Utf8ToAnsi(std::string_view utf8, std::string& ansi, int codePage = AnsiCodePage());

// ANSI bytes to UTF-16 code units and back, for the registry's strings.
bool AnsiToUtf16(std::string_view ansi, std::u16string& utf16, int codePage = AnsiCodePage());
bool Utf16ToAnsi(std::u16string_view utf16, std::string& ansi, int codePage = AnsiCodePage());

// UTF-16 code units and their little-endian bytes, as the registry stores
// text. An odd last byte is ignored.
std::u16string UnitsFromBytes(std::string_view bytes);
std::string BytesFromUnits(std::u16string_view units);

// UTF-8 and UTF-16, both ways (no code page involved).
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace pache::host
