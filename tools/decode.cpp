// suk decode IN OUT: unscrambles a file.
#include "tools/commands.h"
#include "tools/scramble.h"

namespace pache::suk {

int RunDecode(const Arguments& arguments) {
  if (arguments.size() != 2) return UsageError("decode", "decode takes IN and OUT");
  return ScrambleFile(arguments[0], arguments[1]);
}

}  // namespace pache::suk
