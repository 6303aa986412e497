#include "tools/definition_lint.h"

#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "apply/copy_worker.h"
#include "check/install_check.h"
#include "data/patch_definition.h"
#include "data/paths.h"
#include "data/registry_ref.h"
#include "data/text_cursor.h"
#include "tools/definition_sections.h"
#include "tools/text_map.h"

namespace pache::suk {

namespace {

struct KeyInfo {
  const char* key;
  std::int32_t length;
  const char* what;
  const char* whyNeeded;  // what an empty value does to a run
};

// In the order the install check reads them.
constexpr KeyInfo kKeys[] = {
    {kInstallDirKey, kInstallDirKeyLength, "install directory reference",
     "no registry value can be read, so the tool refuses to run as if the product were not "
     "installed"},
    {kVersionFileKey, kVersionFileKeyLength, "version file name",
     "the version file's path is then the install directory itself, which cannot be opened, "
     "so the tool refuses to run"},
    {kVersionKey, kVersionKeyLength, "version",
     "every installed version begins with an empty text, so the tool always refuses as "
     "already updated"},
    {kTitleKey, kTitleKeyLength, "title",
     "every version file begins with an empty text, so the patch is offered to whatever "
     "product the registry value points at"},
};

bool EqualsIgnoringCase(std::string_view bytes, std::string_view lower) {
  if (bytes.size() != lower.size()) return false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char byte = bytes[i];
    if (byte >= 'A' && byte <= 'Z') byte = static_cast<char>(byte + 32);
    if (byte != lower[i]) return false;
  }
  return true;
}

class Linter {
 public:
  Linter(const PatchSession& session, std::vector<Diagnostic>& diagnostics)
      : session_(session), text_(session.definitionText), map_(text_), out_(diagnostics) {}

  void Run() {
    copy_ = ReadCopySection(session_);
    registry_ = ReadRegistrySection(session_);
    CheckLineEnds();
    for (const KeyInfo& key : kKeys) CheckKey(key);
    CheckSectionFrame(copy_);
    CheckSectionFrame(registry_);
    CheckCopyLines();
    CheckRegistryLines();
  }

 private:
  void Report(std::int32_t offset, Severity severity, const std::string& message) {
    Diagnostic diagnostic;
    map_.Locate(offset, diagnostic.line, diagnostic.column);
    diagnostic.severity = severity;
    diagnostic.message = message;
    out_.push_back(diagnostic);
  }

  std::string_view Bytes(std::int32_t from, std::int32_t length) const {
    if (from >= text_.length) return {};
    if (length > text_.length - from) length = text_.length - from;
    return {reinterpret_cast<const char*>(text_.bytes) + from, static_cast<std::size_t>(length)};
  }

  bool IsCrLfAt(std::int32_t at) const {
    return at >= 0 && at + 1 < text_.length && text_.bytes[at] == '\r' &&
           text_.bytes[at + 1] == '\n';
  }

  // A line start as an editor sees lines: also after a lone CR or LF, which
  // the line-end check reports on its own.
  bool EditorLineStart(std::int32_t offset) const {
    return offset == 0 || text_.bytes[offset - 1] == '\n' || text_.bytes[offset - 1] == '\r';
  }

  // A line start as the tool sees lines: the text's start or after CR LF.
  bool AtLineStart(std::int32_t offset) const { return offset == 0 || IsCrLfAt(offset - 2); }

  std::string LineName(std::int32_t offset) const {
    return "line " + std::to_string(map_.LineOf(offset));
  }

  // Every place from `from` on where `marker` stands at a line start.
  std::vector<std::int32_t> LineStartsWith(const char* marker, std::int32_t length,
                                           std::int32_t from) const {
    std::vector<std::int32_t> found;
    std::int32_t cursor = from;
    while (FindMarker(session_, cursor, marker, length, false)) {
      if (AtLineStart(cursor - length)) found.push_back(cursor - length);
    }
    return found;
  }

  void CheckLineEnds() {
    std::int32_t firstLoneLf = -1, loneLfCount = 0, firstLoneCr = -1, loneCrCount = 0;
    for (std::int32_t at = 0; at < text_.length; ++at) {
      if (text_.bytes[at] == '\n' && (at == 0 || text_.bytes[at - 1] != '\r')) {
        if (loneLfCount++ == 0) firstLoneLf = at;
      } else if (text_.bytes[at] == '\r' && !IsCrLfAt(at)) {
        if (loneCrCount++ == 0) firstLoneCr = at;
      }
    }
    auto more = [](std::int32_t count) {
      return count > 1 ? " (" + std::to_string(count - 1) + " more in this file)" : std::string();
    };
    if (loneLfCount > 0) {
      Report(firstLoneLf, Severity::Error,
             "line ends with LF alone" + more(loneLfCount) +
                 ": the tool ends a line only at CR LF, so this line runs on into the next; "
                 "build the file with 'suk build'");
    }
    if (loneCrCount > 0) {
      Report(firstLoneCr, Severity::Error,
             "line ends with CR alone" + more(loneCrCount) +
                 ": the tool ends a line only at CR LF, so this line runs on into the next; "
                 "build the file with 'suk build'");
    }
    if (text_.length > 0 && !EditorLineStart(text_.length)) {
      Report(text_.length, Severity::Warning,
             "the last line has no CR LF: every line of a definition, the last one included, "
             "should end with one");
    }
  }

  void CheckKey(const KeyInfo& key) {
    std::string name = key.key;
    std::int32_t cursor = 0;
    if (!FindMarker(session_, cursor, key.key, key.length, false)) {
      Report(0, Severity::Error,
             "no " + name + " line: the " + key.what + " reads as empty, and " + key.whyNeeded);
      return;
    }
    std::int32_t at = cursor - key.length;
    Text value = {};
    std::int32_t valueLength = ReadKeyValue(session_, key.key, key.length, value);
    std::vector<std::int32_t> keyLines = LineStartsWith(key.key, key.length, 0);

    if (keyLines.empty() || keyLines.front() != at) {
      if (!keyLines.empty()) {
        Report(at, Severity::Error,
               name + " occurs here, before its key line " +
                   std::to_string(map_.LineOf(keyLines.front())) +
                   ": the tool takes the first occurrence anywhere in the text, so the " +
                   key.what + " would be " + Quote(value));
      } else if (!EditorLineStart(at)) {
        Report(at, Severity::Warning,
               name + " occurs only inside another line: the tool takes the " + key.what +
                   " " + Quote(value) + " from here");
      }
    }
    for (std::size_t i = 1; i < keyLines.size(); ++i) {
      if (keyLines[i] > at)
        Report(keyLines[i], Severity::Warning,
               "a second " + name + " line is never read: the first occurrence, in " +
                   LineName(at) + ", wins");
    }
    for (const Section* section : {&copy_, &registry_}) {
      if (section->Holds(at))
        Report(at, Severity::Error,
               "the " + name + " line stands inside the " + section->marker +
                   " section, so it is also read as a line of that section");
    }

    if (valueLength == 0) {
      Report(at, Severity::Error,
             name + " has an empty value: " + key.whyNeeded);
      return;
    }
    if (valueLength > kMaxLineBytes) {
      Report(at + key.length, Severity::Error,
             "the " + std::string(key.what) + " is " + std::to_string(valueLength) +
                 " bytes long: the tool reads at most " + std::to_string(kMaxLineBytes) +
                 " bytes of a value");
      return;
    }
    if (name == kInstallDirKey) CheckInstallDirReference(at + key.length, value);
    if (name == kVersionKey) CheckVersion(at + key.length, value);
  }

  void CheckInstallDirReference(std::int32_t valueAt, const Text& value) {
    RegistryRef reference;
    RegKey root = 0;
    if (!ParseRegistryReference('-', value, reference)) {
      Report(valueAt, Severity::Error,
             "the install directory reference " + Quote(value) +
                 " has no \"-\" between its subkey and its value name: nothing can be read, "
                 "so the tool refuses to run");
    } else if (!RootKeyForIndex(reference.rootIndex, root)) {
      Report(valueAt, Severity::Error,
             "the root digit " + Quote(std::string_view(value, 1)) +
                 " is not \"0\" to \"6\": nothing can be read, so the tool refuses to run");
    }
  }

  void CheckVersion(std::int32_t valueAt, const Text& value) {
    constexpr std::size_t kNumberAt = 3;
    if (std::strlen(value) > kNumberAt && value[kNumberAt] >= '0' && value[kNumberAt] <= '9')
      return;
    Report(valueAt, Severity::Error,
           "the version " + Quote(value) +
               " has no number starting at its fourth byte (as 3 in 1.03): the tool compares "
               "versions by that number, which here reads as " +
               std::to_string(VersionNumber(value)));
  }

  void CheckSectionFrame(const Section& section) {
    if (!section.found) return;
    std::string marker = section.marker;
    std::int32_t opening = section.opening;
    bool markerEndsLine = IsCrLfAt(opening + section.markerLength) ||
                          opening + section.markerLength == text_.length;
    std::vector<std::int32_t> laterOpenings =
        LineStartsWith(section.marker, section.markerLength, opening + 1);
    bool keyValue = false;
    for (const KeyInfo& key : kKeys) {
      std::int32_t lineStart = opening;
      while (!AtLineStart(lineStart)) --lineStart;
      keyValue = keyValue || Bytes(lineStart, key.length) == key.key;
    }
    // An opening line is one that begins or, with bytes before it, ends with
    // the marker; anywhere else the marker stands in another line's text.
    bool plausibleOpening = AtLineStart(opening) || (markerEndsLine && !keyValue);
    if (!plausibleOpening && !laterOpenings.empty()) {
      Report(opening, Severity::Error,
             marker + " occurs here, before its opening line " +
                 std::to_string(map_.LineOf(laterOpenings.front())) +
                 ": the tool opens the section at the marker's first occurrence anywhere in "
                 "the text");
    } else if (!markerEndsLine) {
      Report(opening + section.markerLength, Severity::Error,
             "bytes between " + marker + " and its CR LF: the tool skips the two bytes after "
             "the marker unseen and starts the section's first line right after them");
    } else if (!AtLineStart(opening)) {
      Report(opening, Severity::Warning,
             "the " + marker + " section opens in the middle of " + LineName(opening) +
                 ": the bytes before the marker are ignored");
    }
    if (!section.closed) {
      Report(opening, Severity::Error,
             "the " + marker + " section has no closing " + marker +
                 " line: every line to the end of the file is read as one of its lines");
      return;
    }
    std::vector<std::int32_t> second =
        LineStartsWith(section.marker, section.markerLength, section.afterClosing);
    if (!second.empty())
      Report(second.front(), Severity::Error,
             "a second " + marker + " section is never read: the tool reads only the first, "
             "which ends at " + LineName(section.end));
  }

  void CheckCopyLines() {
    // Where each folder is created: the index of its first folder line.
    std::map<std::string, std::size_t> createdBy;
    for (std::size_t i = copy_.lines.size(); i-- > 0;) {
      Text left = {};
      Text right = {};
      SplitAtEquals(copy_.lines[i].bytes.c_str(), left, right);
      if (right[0] == '\0' && left[0] != '\0') createdBy[FolderKey(left)] = i;
    }
    auto createdLater = [&](const std::string& folder, std::size_t index) {
      auto found = createdBy.find(FolderKey(folder));
      return !folder.empty() && found != createdBy.end() && found->second > index
                 ? &copy_.lines[found->second]
                 : nullptr;
    };

    for (std::size_t i = 0; i < copy_.lines.size(); ++i) {
      const SectionLine& line = copy_.lines[i];
      std::size_t inner = line.bytes.find(kCopyMarker);
      if (inner != std::string::npos && inner > 0)
        Report(line.start + static_cast<std::int32_t>(inner), Severity::Warning,
               "this line does not close the <COPY> section: the marker must stand at the "
               "very start of the closing line");
      Text left = {};
      Text right = {};
      std::int32_t equals = SplitAtEquals(line.bytes.c_str(), left, right);
      if (line.length > kMaxLineBytes) {
        Report(line.start, Severity::Error,
               "the line is " + std::to_string(line.length) + " bytes long: the tool reads at "
               "most " + std::to_string(kMaxLineBytes) + " bytes of a line and does not act on "
               "a cut one: a copy fails, a folder is not created");
        continue;
      }
      if (equals > 1) {
        std::size_t second = line.bytes.find('=', line.bytes.find('=') + 1);
        std::string_view dropped = std::string_view(line.bytes).substr(second + 1);
        Report(line.start + static_cast<std::int32_t>(second), Severity::Error,
               "a second \"=\": the tool drops everything from here on" +
                   (dropped.empty() ? std::string() : " (" + Quote(dropped) + ")"));
      }
      bool copyLine = right[0] != '\0';
      if (copyLine && left[0] == '\0') {
        Report(line.start, Severity::Error,
               "no source before \"=\": the source is then the patch folder itself, and the "
               "copy fails");
      }
      std::string parent = ParentFolder(copyLine ? right : left);
      if (copyLine || left[0] != '\0') {
        if (const SectionLine* creator = createdLater(parent, i)) {
          Report(line.start, Severity::Warning,
                 (copyLine ? "copies into " + Quote(parent) + ", which " +
                                 LineName(creator->start) + " creates only afterwards: the "
                                 "copy fails unless the folder exists already"
                           : "the parent folder " + Quote(parent) + " is created only "
                                 "afterwards, by " + LineName(creator->start) +
                                 ": this folder is not created unless its parent exists "
                                 "already"));
        }
      }
    }
  }

  void CheckRegistryLines() {
    for (const SectionLine& line : registry_.lines) {
      RegistryLine parsed;
      switch (ParseSectionRegistryLine(line, parsed)) {
        case RegistryLineFault::Empty:
          Report(line.start, Severity::Warning, "an empty line in the <REG> section is skipped");
          break;
        case RegistryLineFault::TooLong:
          Report(line.start, Severity::Error,
                 "the line is " + std::to_string(line.length) + " bytes long: a <REG> line "
                 "holds at most " + std::to_string(kMaxLineBytes - 1) + " bytes, so it is "
                 "skipped");
          break;
        case RegistryLineFault::NoDash:
          Report(line.start, Severity::Error,
                 "no \"-\" between the subkey and the value name: the line is skipped");
          break;
        case RegistryLineFault::NoEquals:
          Report(line.start, Severity::Error, "no \"=\" after the value name: the line is skipped");
          break;
        case RegistryLineFault::RootDigit:
          Report(line.start, Severity::Error,
                 "the root digit " + Quote(line.bytes.substr(0, 1)) +
                     " is not \"0\" to \"6\": the line is skipped");
          CheckMacroSpelling(line, parsed.dataAt);
          break;
        case RegistryLineFault::None:
          CheckMacroSpelling(line, parsed.dataAt);
          break;
      }
    }
  }

  // The macros are matched byte for byte: another spelling stays in the data.
  void CheckMacroSpelling(const SectionLine& line, std::size_t dataAt) {
    struct Spelling {
      std::string_view macro;
      std::string_view lowerCase;
    };
    static constexpr Spelling kMacros[] = {{"%Dir", "%dir"}, {"%CD", "%cd"}};
    std::string_view bytes = line.bytes;
    for (std::size_t at = dataAt; at < bytes.size(); ++at) {
      for (const Spelling& spelling : kMacros) {
        std::string_view written = bytes.substr(at, spelling.macro.size());
        if (written != spelling.macro && EqualsIgnoringCase(written, spelling.lowerCase)) {
          Report(line.start + static_cast<std::int32_t>(at), Severity::Warning,
                 Quote(written) + " is not expanded: only \"" + std::string(spelling.macro) +
                     "\", spelled exactly so, is a macro");
        }
      }
    }
  }

  const PatchSession& session_;
  const TextBuffer& text_;
  TextMap map_;
  std::vector<Diagnostic>& out_;
  Section copy_{kCopyMarker, kCopyMarkerLength};
  Section registry_{kRegistryMarker, kRegistryMarkerLength};
};

}  // namespace

void LintDefinition(const PatchSession& session, std::vector<Diagnostic>& diagnostics) {
  Linter(session, diagnostics).Run();
}

}  // namespace pache::suk
