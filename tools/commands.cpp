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
      {"lint", "FILE",
       "report the traps of a patch definition, scrambled or plain, as\n"
       "FILE:LINE:COL: error|warning: message",
       RunLint},
      {"log", "[PATH]",
       "list the entries of an install log, one a line, in UTF-8. PATH names\n"
       "the log or the install directory that holds an\\CP_Data.suk, as a DOS\n"
       "path (C:\\Game) or relative to the Wine prefix (drive_c/Game); without\n"
       "PATH, the install directory that PACH.suk in this folder names",
       RunLog},
      {"plan", "[FOLDER]",
       "show what pache would do, started in FOLDER (this folder when\n"
       "omitted), and change nothing: the install check's verdict, then one\n"
       "line for each folder, copy and registry value, and the install log",
       RunPlan},
  };
  return commands;
}

void PrintHelp() {
  std::cout << "usage: suk COMMAND ARGUMENTS\n"
               "       suk --help\n"
               "\n"
               "The patch author's tool: patch definitions and the scrambled files of\n"
               "a patch, over the Wine prefix that WINEPREFIX names ($HOME/.wine\n"
               "when unset).\n"
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
               "  0  done; lint found nothing\n"
               "  1  warnings only (lint, decode --utf8, log)\n"
               "  2  errors: lint found an error, or the command line, a file, or the\n"
               "     content was refused\n";
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
