#include "tools/diagnostics.h"

#include <algorithm>

#include "tools/commands.h"

namespace pache::suk {

void PrintDiagnostics(std::ostream& out, const std::string& fileName,
                      std::vector<Diagnostic> diagnostics) {
  std::stable_sort(diagnostics.begin(), diagnostics.end(),
                   [](const Diagnostic& a, const Diagnostic& b) {
                     return a.line != b.line ? a.line < b.line : a.column < b.column;
                   });
  for (const Diagnostic& diagnostic : diagnostics) {
    out << fileName << ':' << diagnostic.line << ':' << diagnostic.column << ": "
        << (diagnostic.severity == Severity::Error ? "error" : "warning") << ": "
        << diagnostic.message << '\n';
  }
}

int ExitStatusFor(const std::vector<Diagnostic>& diagnostics) {
  int status = kExitClean;
  for (const Diagnostic& diagnostic : diagnostics)
    status = std::max(status, diagnostic.severity == Severity::Error ? int{kExitErrors}
                                                                     : int{kExitWarnings});
  return status;
}

}  // namespace pache::suk
