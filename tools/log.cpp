// suk log [PATH]: the entries of a product's install log, one a line, in
// UTF-8. PATH names the log, or the install directory that holds it in
// an\CP_Data.suk, as a DOS path or relative to the prefix; without PATH the
// install directory is the one that the patch definition in the current
// folder names.
#include <iostream>

#include "data/patch_definition.h"
#include "data/paths.h"
#include "data/registry_ref.h"
#include "data/scrambled.h"
#include "data/text_cursor.h"
#include "tools/commands.h"
#include "tools/host_machine.h"
#include "tools/io.h"
#include "tools/text_map.h"

namespace pache::suk {

namespace {

// The install directory that the patch definition in the current folder
// names, read as the install check reads it.
bool InstallDirFromDefinition(PatchSession& session, Text& installDir) {
  if (!LoadScrambledText(session, kDefinitionFileName)) {
    PrintError(std::string("no ") + kDefinitionFileName +
               " in the current folder: name the install log or install directory");
    return false;
  }
  Text value = {};
  bool whole = ReadKeyValue(session, kInstallDirKey, kInstallDirKeyLength, value) <= kMaxLineBytes;
  std::string reference = Shown(value);
  if (!whole || !QueryRegistryReference(session, value) || !JoinPath(installDir, value, "")) {
    PrintError("the registry value " + reference + " that " + kDefinitionFileName +
               " names cannot be read: the product is not installed in this prefix");
    return false;
  }
  return true;
}

// Loads the install log that `place` names, or the one in the install
// directory `place`; `logPath` receives the path loaded.
bool LoadInstallLog(PatchSession& session, const Text& place, Text& logPath) {
  FormatText(logPath, sizeof logPath, "%s", place);
  if (LoadScrambledText(session, logPath)) return true;
  return JoinPath(logPath, place, kInstallLogPath) && LoadScrambledText(session, logPath);
}

}  // namespace

int RunLog(const Arguments& arguments) {
  if (arguments.size() > 1) return UsageError("log", "log takes at most one PATH");
  HostMachine machine;
  PatchSession session(machine.platform());
  Text place = {};
  if (arguments.empty()) {
    if (!InstallDirFromDefinition(session, place)) return kExitErrors;
  } else {
    std::string dosPath;
    if (!DosPathFromArgument(arguments[0], machine.prefixDirectory(), dosPath) ||
        !FormatText(place, sizeof place, "%s", dosPath.c_str())) {
      PrintError("the path " + arguments[0] + " cannot be used as a DOS path");
      return kExitErrors;
    }
  }
  Text logPath = {};
  if (!LoadInstallLog(session, place, logPath)) {
    PrintError("no install log at " + Shown(place));
    return kExitErrors;
  }

  const TextBuffer& text = session.definitionText;
  std::int32_t end = 0;
  bool marked = FindMarker(session, end, kEndMarker, kEndMarkerLength, false);
  if (marked) end -= kEndMarkerLength;
  std::string_view list(reinterpret_cast<const char*>(text.bytes), static_cast<std::size_t>(end));
  for (std::size_t at = 0; at < list.size();) {
    std::size_t entryEnd = list.find("\n\n", at);
    if (entryEnd == std::string_view::npos) entryEnd = list.size();
    std::string_view entry = list.substr(at, entryEnd - at);
    if (!entry.empty() && entry.find_first_not_of('\0') != std::string_view::npos)
      std::cout << Shown(entry) << '\n';
    at = entryEnd + 2;
  }
  ReleaseText(session, session.definitionText);
  if (!marked) {
    PrintError("warning: " + Shown(logPath) + " has no <END> marker: all of it was listed");
    return kExitWarnings;
  }
  return kExitClean;
}

}  // namespace pache::suk
