// The suk commands: one file each, found by name through the table in
// commands.cpp.
#pragma once

#include <string>
#include <vector>

namespace pache::suk {

// Exit status of every command.
enum ExitStatus : int {
  kExitClean = 0,     // done; lint found nothing
  kExitWarnings = 1,  // lint found warnings and no error
  kExitErrors = 2,    // an error: the command line, a file, or the content
};

using Arguments = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;    // the arguments, as shown after the name
  const char* summary;  // one line for the help
  int (*run)(const Arguments& arguments);
};

const std::vector<Command>& Commands();

// Prints the full help on standard output.
void PrintHelp();

// Prints "suk: message" and the command's usage; returns kExitErrors.
int UsageError(const char* commandName, const std::string& message);

// The separate command files.
int RunEncode(const Arguments& arguments);
int RunDecode(const Arguments& arguments);
int RunBuild(const Arguments& arguments);
int RunLint(const Arguments& arguments);
int RunLog(const Arguments& arguments);
int RunPlan(const Arguments& arguments);

}  // namespace pache::suk
