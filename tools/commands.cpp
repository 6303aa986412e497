#include "tools/commands.h"

#include <cstring>
#include <iostream>

#include "tools/io.h"

namespace pache::suk {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"encode", "IN OUT", "scramble a file: every byte b is stored as 255 - b", RunEncode},
      {"decode", "IN OUT", "unscramble a file (the same transform)", RunDecode},
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
  for (const Command& command : Commands()) {
    std::string line = std::string("  ") + command.name + " " + command.usage;
    line.resize(line.size() < 28 ? 28 : line.size() + 1, ' ');
    std::cout << line << command.summary << '\n';
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
