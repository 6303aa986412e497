// suk: the patch author's command-line tool. Picks the command by its first
// argument and hands it the rest.
#include <cstring>
#include <iostream>

#include "tools/commands.h"
#include "tools/io.h"

int main(int argc, char** argv) {
  using namespace pache::suk;
  if (argc < 2) {
    PrintError("no command given");
    std::cerr << "Try 'suk --help'.\n";
    return kExitErrors;
  }
  const char* name = argv[1];
  if (std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0 ||
      std::strcmp(name, "help") == 0) {
    PrintHelp();
    return kExitClean;
  }
  for (const Command& command : Commands()) {
    if (std::strcmp(command.name, name) != 0) continue;
    Arguments arguments(argv + 2, argv + argc);
    for (const std::string& argument : arguments) {
      if (argument == "--help") {
        std::cout << "usage: suk " << command.name << ' ' << command.usage << "\n  "
                  << command.summary << '\n';
        return kExitClean;
      }
    }
    return command.run(arguments);
  }
  PrintError(std::string("unknown command '") + name + "'");
  std::cerr << "Try 'suk --help'.\n";
  return kExitErrors;
}
