// suk lint FILE: the traps of a patch definition, scrambled or plain, as
// compiler-style diagnostics.
#include <iostream>

#include "tools/commands.h"
#include "tools/definition_lint.h"
#include "tools/host_machine.h"
#include "tools/io.h"
#include "tools/scramble.h"
#include "tools/text_map.h"

namespace pache::suk {

int RunLint(const Arguments& arguments) {
  if (arguments.size() != 1) return UsageError("lint", "lint takes one FILE");
  std::string bytes;
  if (!ReadInput(arguments[0], bytes)) return kExitErrors;
  if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
    PrintError(arguments[0] + " is too large for a patch definition");
    return kExitErrors;
  }
  if (LooksScrambled(bytes)) Scramble(bytes);

  HostMachine machine;
  PatchSession session(machine.platform());
  // The readers only read the text; it stays owned by `bytes`.
  session.definitionText.bytes = reinterpret_cast<std::uint8_t*>(bytes.data());
  session.definitionText.length = static_cast<std::int32_t>(bytes.size());
  std::vector<Diagnostic> diagnostics;
  LintDefinition(session, diagnostics);
  session.definitionText = TextBuffer{};

  PrintDiagnostics(std::cout, arguments[0] == "-" ? "<stdin>" : arguments[0], diagnostics);
  return ExitStatusFor(diagnostics);
}

}  // namespace pache::suk
