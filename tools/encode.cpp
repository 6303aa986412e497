// suk encode IN OUT: scrambles a file.
#include "tools/commands.h"
#include "tools/scramble.h"

namespace pache::suk {

int RunEncode(const Arguments& arguments) {
  if (arguments.size() != 2) return UsageError("encode", "encode takes IN and OUT");
  return ScrambleFile(arguments[0], arguments[1]);
}

}  // namespace pache::suk
