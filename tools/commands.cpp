#include "tools/commands.h"

#include <cstring>
#include <iostream>

#include "tools/io.h"

namespace pache::suk {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"encode", "IN OUT", "scramble a file: every byte b is stored as 255 - b", RunEncode},
      {"decode", "[--utf8] IN OUT",
       "unscramble a file; --utf8 converts its code page 932 text to UTF-8", RunDecode},
      {"build", "IN OUT",
       "make a stored patch definition from UTF-8 text with any line ends:\n"
       "code page 932, CR LF after every line, scrambled",
       RunBuild},
  };
  return commands;
}

void PrintHelp() {
  std::cout << "usage: suk COMMAND ARGUMENTS\n"
               "       suk --help\n"
               "\n"
               "The patch author's tool for scrambled files.\n"
               "\n"
               "Commands:\n";
  constexpr std::size_t kSummaryColumn = 24;
  const std::string indent(kSummaryColumn, ' ');
  for (const Command& command : Commands()) {
    std::string head = std::string("  ") + command.name + " " + command.usage;
    if (head.size() >= kSummaryColumn)
      std::cout << head << '\n' << indent;
    else
      std::cout << head << std::string(kSummaryColumn - head.size(), ' ');
    for (const char* at = command.summary; *at != '\0'; ++at) {
      std::cout << *at;
      if (*at == '\n') std::cout << indent;
    }
    std::cout << '\n';
  }
  std::cout << "\n"
               "IN and OUT may be \"-\" for standard input and standard output. OUT is\n"
               "replaced only once it has been written whole.\n"
               "\n"
               "Exit status:\n"
               "  0  done\n"
               "  1  warnings only\n"
               "  2  an error: a wrong command line, a file that cannot be read or\n"
               "     written, or content that is refused\n";
}

int UsageError(const char* commandName, const std::string& message) {
  PrintError(message);
  for (const Command& command : Commands()) {
    if (std::strcmp(command.name, commandName) == 0)
      std::cerr << "usage: suk " << command.name << ' ' << command.usage << '\n';
  }
  return kExitErrors;
}

}  // namespace pache::suk
