// suk plan [FOLDER]: what pache would do when started in FOLDER (the
// current folder by default), changing nothing: the install check's verdict
// through the core's own check, then a verdict for each line of the <COPY>
// and <REG> sections and for the install log, in the order of a run.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <set>
#include <system_error>

#include "apply/copy_worker.h"
#include "apply/registry_update.h"
#include "check/install_check.h"
#include "data/patch_definition.h"
#include "data/paths.h"
#include "data/registry_ref.h"
#include "data/scrambled.h"
#include "data/text_cursor.h"
#include "platform/host/dos_attributes.h"
#include "platform/host/dos_path.h"
#include "platform/host/host_registry.h"
#include "tools/commands.h"
#include "tools/definition_sections.h"
#include "tools/host_machine.h"
#include "tools/io.h"
#include "tools/text_map.h"

namespace pache::suk {

namespace {

class Planner {
 public:
  Planner(PatchSession& session, const std::string& prefixDirectory)
      : session_(session), paths_(prefixDirectory) {}

  // Each line of the <COPY> section as the copy worker will take it.
  void PlanCopies() {
    for (const SectionLine& line : ReadCopySection(session_).lines) {
      Text left = {};
      Text right = {};
      SplitAtEquals(line.bytes.c_str(), left, right);
      bool whole = line.length <= kMaxLineBytes;
      if (right[0] != '\0') {
        PlanCopy(whole, left, right);
      } else if (left[0] != '\0') {
        PlanFolder(whole, left);
      }
    }
  }

  // Each line of the <REG> section as the registry update will take it.
  void PlanRegistry() {
    for (const SectionLine& line : ReadRegistrySection(session_).lines) {
      RegistryLine parsed;
      RegistryLineFault fault = ParseSectionRegistryLine(line, parsed);
      std::string head = "registry " + Shown(line.bytes) + ": ";
      if (fault != RegistryLineFault::None) {
        Verdict(false, head + "skipped (" + FaultReason(fault) + ")");
        continue;
      }
      Text reference = {};
      Text expanded = {};
      if (!FormatText(reference, sizeof reference, "%d%s-%s", parsed.rootIndex, parsed.subkey,
                      parsed.valueName)) {
        Verdict(false, head + "skipped (the key and value name do not fit 511 bytes)");
      } else if (!QueryRegistryReference(session_, reference)) {
        Verdict(false, head + "skipped (no such value, or the key cannot be opened with full "
                              "access)");
      } else if (!ExpandMacros(parsed.data, expanded)) {
        Verdict(false, head + "skipped (the data does not fit 511 bytes once expanded)");
      } else {
        Verdict(true, head + "rewritten with \"" + Shown(expanded) + "\"");
      }
    }
  }

  void PlanInstallLog() {
    Text logPath = {};
    FileHandle log = kNoFile;
    if (JoinPath(logPath, session_.installDir, kInstallLogPath) &&
        std::string_view(logPath).size() < sizeof session_.fileName) {
      log = session_.platform.files.OpenForReading(logPath);
    }
    if (log == kNoFile) {
      Verdict(false, "log " + Shown(logPath) + ": not written (it cannot be opened)");
      return;
    }
    session_.platform.files.Close(log);
    Verdict(true, "log " + Shown(logPath) + ": " + std::to_string(entries_) +
                      (entries_ == 1 ? " entry" : " entries") + " appended");
  }

  bool allWell() const { return allWell_; }

 private:
  static std::string FaultReason(RegistryLineFault fault) {
    switch (fault) {
      case RegistryLineFault::Empty: return "an empty line";
      case RegistryLineFault::TooLong: return "the line is longer than 510 bytes";
      case RegistryLineFault::NoDash: return "no \"-\" between the subkey and the value name";
      case RegistryLineFault::NoEquals: return "no \"=\" after the value name";
      case RegistryLineFault::RootDigit: return "the root digit is not \"0\" to \"6\"";
      case RegistryLineFault::None: break;
    }
    return "";
  }

  void Verdict(bool well, const std::string& text) {
    allWell_ = allWell_ && well;
    std::cout << text << '\n';
  }

  // True when the folder exists or an earlier line of the plan creates it.
  bool FolderWillExist(const std::string& folder) {
    host::HostPath found;
    if (planned_.count(FolderKey(folder)) > 0) return true;
    if (paths_.Resolve(folder, found) != host::PathLookup::Found) return false;
    std::uint32_t attributes = 0;
    return host::ReadAttributes(found.host, found.name, attributes) &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  void PlanFolder(bool whole, const Text& left) {
    Text folder = {};
    if (!whole || !JoinPath(folder, session_.installDir, left)) {
      Verdict(false, "folder " + Shown(left) + ": not created (the line or the path is longer "
                                               "than 511 bytes)");
      return;
    }
    std::string head = "folder " + Shown(folder) + ": ";
    host::HostPath found;
    host::PathLookup lookup = paths_.Resolve(folder, found);
    if (lookup == host::PathLookup::Found || planned_.count(FolderKey(folder)) > 0) {
      Verdict(true, head + "exists already");
    } else if (lookup == host::PathLookup::InvalidName) {
      Verdict(false, head + "not created (not a valid name)");
    } else if (lookup == host::PathLookup::LastMissing || FolderWillExist(ParentFolder(folder))) {
      planned_.insert(FolderKey(folder));
      Verdict(true, head + "created");
    } else {
      Verdict(false, head + "not created (its parent folder is missing)");
    }
  }

  void PlanCopy(bool whole, const Text& left, const Text& right) {
    Text source = {};
    Text target = {};
    bool fits = whole && session_.sourceDir[0] != '\0' &&
                JoinPath(source, session_.sourceDir, left) &&
                JoinPath(target, session_.installDir, right);
    std::string head = "copy " + Shown(fits ? source : left) + " -> " +
                       Shown(fits ? target : right) + ": ";
    std::string failure = fits ? CopyFailure(source, target)
                               : "the line or a path is longer than 511 bytes";
    if (!failure.empty()) {
      Verdict(false, head + "fails (" + failure + ")");
      return;
    }
    copied_.insert(FolderKey(target));
    ++entries_;
    Verdict(true, head + "copied");
  }

  // Why the platform's copy would refuse, or "" when it would copy.
  std::string CopyFailure(const Text& source, const Text& target) {
    host::HostPath from;
    std::uint32_t sourceAttributes = 0;
    if (paths_.Resolve(source, from) != host::PathLookup::Found ||
        !host::ReadAttributes(from.host, from.name, sourceAttributes))
      return "the source is missing";
    if (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY) return "the source is a folder";
    if (access(from.host.c_str(), R_OK) != 0) return "the source cannot be read";
    // A target that an earlier copy of the plan made has normal attributes.
    if (copied_.count(FolderKey(target)) > 0) return "";

    host::HostPath to;
    switch (paths_.Resolve(target, to)) {
      case host::PathLookup::Found: {
        std::uint32_t attributes = 0;
        std::error_code error;
        if (!host::ReadAttributes(to.host, to.name, attributes)) return "the target cannot be read";
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "the target is a folder";
        if (attributes & FILE_ATTRIBUTE_READONLY) return "the target is read-only";
        if (attributes & FILE_ATTRIBUTE_HIDDEN) return "the target is hidden";
        if (std::filesystem::equivalent(from.host, to.host, error))
          return "the source and the target are the same file";
        if (access(to.host.c_str(), W_OK) != 0) return "the target cannot be written";
        return "";
      }
      case host::PathLookup::LastMissing:
        return "";
      case host::PathLookup::InvalidName:
        return "the target is not a valid name";
      case host::PathLookup::PathNotFound:
        break;
    }
    return planned_.count(FolderKey(ParentFolder(target))) > 0 ? ""
                                                               : "the target's folder is missing";
  }

  PatchSession& session_;
  host::DosPaths paths_;
  std::set<std::string> planned_;  // folders that earlier lines create
  std::set<std::string> copied_;   // targets that earlier lines copy
  int entries_ = 0;
  bool allWell_ = true;
};

// Message boxes written to memory instead of the terminal.
class CaughtMessages {
 public:
  CaughtMessages() : file_(open_memstream(&text_, &size_)) {}
  ~CaughtMessages() {
    if (file_ != nullptr) std::fclose(file_);
    std::free(text_);
  }
  CaughtMessages(const CaughtMessages&) = delete;
  CaughtMessages& operator=(const CaughtMessages&) = delete;

  std::FILE* file() const { return file_; }
  std::string Text() {
    std::fflush(file_);
    std::string text(text_, size_);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }

 private:
  char* text_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

int Plan(PatchSession& session, const std::string& prefixDirectory, CaughtMessages& boxes) {
  session.platform.files.GetCurrentDirectory(session.sourceDir, sizeof session.sourceDir);
  if (!CheckInstallation(session)) {
    std::cout << "check: refused " << boxes.Text() << '\n';
    return kExitErrors;
  }
  Text installed = {};
  std::int32_t cursor = 0;
  ReadVersionLine(session, cursor, installed);
  ReadVersionLine(session, cursor, installed);
  std::cout << "check: passes (" << Shown(session.title) << " " << Shown(installed) << " -> "
            << Shown(session.version) << ", installed in " << Shown(session.installDir) << ")\n";
  Planner planner(session, prefixDirectory);
  planner.PlanCopies();
  planner.PlanRegistry();
  planner.PlanInstallLog();
  return planner.allWell() ? kExitClean : kExitWarnings;
}

}  // namespace

int RunPlan(const Arguments& arguments) {
  if (arguments.size() > 1) return UsageError("plan", "plan takes at most one FOLDER");
  if (!arguments.empty() && chdir(arguments[0].c_str()) != 0) {
    PrintError("cannot enter " + arguments[0]);
    return kExitErrors;
  }
  CaughtMessages boxes;
  if (boxes.file() == nullptr) {
    PrintError("out of memory");
    return kExitErrors;
  }
  HostMachine machine(boxes.file());
  if (host::WineServerRunning(machine.prefixDirectory())) {
    std::cout << "check: refused (a wineserver runs for the prefix, and pache changes nothing "
                 "while it runs)\n";
    return kExitErrors;
  }
  PatchSession session(machine.platform());
  int status = Plan(session, machine.prefixDirectory(), boxes);
  ReleaseText(session, session.definitionText);
  ReleaseText(session, session.versionFile);
  return status;
}

}  // namespace pache::suk
