// Compiler-style diagnostics, "FILE:LINE:COL: error: message", shared by the
// commands that check a text.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace pache::suk {

enum class Severity { Warning, Error };

struct Diagnostic {
  int line = 1;    // 1-based, as an editor counts lines
  int column = 1;  // 1-based, in characters
  Severity severity = Severity::Error;
  std::string message;  // UTF-8
};

// Prints each diagnostic on a line of its own, in order of position.
void PrintDiagnostics(std::ostream& out, const std::string& fileName,
                      std::vector<Diagnostic> diagnostics);

// The exit status for a list: errors 2, warnings only 1, none 0.
int ExitStatusFor(const std::vector<Diagnostic>& diagnostics);

}  // namespace pache::suk
