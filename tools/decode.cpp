// suk decode [--utf8] IN OUT: unscrambles a file; with --utf8 the text is
// converted from code page 932 to UTF-8 on the way.
#include "platform/host/codepage.h"
#include "tools/commands.h"
#include "tools/io.h"
#include "tools/scramble.h"

namespace pache::suk {

int RunDecode(const Arguments& arguments) {
  bool utf8 = !arguments.empty() && arguments[0] == "--utf8";
  Arguments files(arguments.begin() + (utf8 ? 1 : 0), arguments.end());
  if (files.size() != 2) return UsageError("decode", "decode takes IN and OUT");
  if (!utf8) return ScrambleFile(files[0], files[1]);

  std::string bytes;
  if (!ReadInput(files[0], bytes)) return kExitErrors;
  Scramble(bytes);
  std::string text;
  bool clean = host::AnsiToUtf8(bytes, text, 932);
  if (!WriteOutput(files[1], text)) return kExitErrors;
  if (clean) return kExitClean;
  PrintError("warning: " + files[0] +
             " holds bytes that are not code page 932 text; they were written as '?'");
  return kExitWarnings;
}

}  // namespace pache::suk
