#include "platform/host/dos_path.h"

#include <dirent.h>
#include <limits.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wctype.h>

#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/host/codepage.h"

namespace pache::host {

namespace {

constexpr char16_t kBackslash = u'\\';

bool IsSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

bool IsAsciiLetter(char16_t unit) {
  return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z');
}

char LowerDrive(char16_t letter) {
  return static_cast<char>(letter >= u'A' && letter <= u'Z' ? letter - u'A' + u'a' : letter);
}

// A character that no Windows file name holds.
bool IsForbidden(char16_t unit) {
  if (unit < 0x20) return true;
  switch (unit) {
    case u'*': case u'?': case u'<': case u'>': case u'|': case u'"': case u':':
      return true;
    default:
      return false;
  }
}

std::string JoinHost(const std::string& directory, const std::string& name) {
  if (!directory.empty() && directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

bool IsDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// Upper case over the whole of Unicode, independent of the user's locale.
char16_t UpperUnit(char16_t unit) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (unit >= 0xD800 && unit <= 0xDFFF) return unit;  // surrogate halves compare as they are
  if (utf8 == static_cast<locale_t>(0))
    return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 32) : unit;
  wint_t upper = towupper_l(static_cast<wint_t>(unit), utf8);
  return upper <= 0xFFFF ? static_cast<char16_t>(upper) : unit;
}

// The entry of `directory` whose name equals `wanted` ignoring case: the
// first in directory order, as Wine takes it.
bool FindIgnoringCase(const std::string& directory, std::u16string_view wanted,
                      std::string& found) {
  std::unique_ptr<DIR, int (*)(DIR*)> stream(opendir(directory.c_str()), closedir);
  if (!stream) return false;
  while (const dirent* entry = readdir(stream.get())) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (NamesEqualIgnoringCase(Utf8ToUtf16(name), wanted)) {
      found = name;
      return true;
    }
  }
  return false;
}

}  // namespace

bool NamesEqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && UpperUnit(a[i]) != UpperUnit(b[i])) return false;
  return true;
}

bool NormaliseComponents(std::u16string_view path, std::vector<std::u16string>& components) {
  components.clear();
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    std::u16string component(path.substr(start, end - start));
    start = end + 1;
    if (component.empty() || component == u".") continue;
    if (component == u"..") {
      if (!components.empty()) components.pop_back();
      continue;
    }
    components.push_back(std::move(component));
  }
  for (std::size_t i = 0; i + 1 < components.size(); ++i)
    if (components[i].back() == u'.') components[i].pop_back();
  if (!components.empty()) {
    std::u16string& last = components.back();
    while (!last.empty() && (last.back() == u'.' || last.back() == u' ')) last.pop_back();
    if (last.empty()) components.pop_back();
  }
  for (const std::u16string& component : components) {
    if (component.empty() || component == u"." || component == u"..") return false;
    for (char16_t unit : component)
      if (IsForbidden(unit)) return false;
  }
  return true;
}

DosPaths::DosPaths(std::string prefixDirectory) : prefixDirectory_(std::move(prefixDirectory)) {}

bool DosPaths::DriveRoot(char letter, std::string& root) const {
  std::string link = prefixDirectory_ + "/dosdevices/" + letter + ":";
  if (IsDirectory(link)) {
    root = link;
    return true;
  }
  // Z: is the host's root, also in a prefix that lacks the link.
  if (letter == 'z' && !Exists(link)) {
    root = "/";
    return true;
  }
  return false;
}

namespace {

// The working directory as a drive letter and the UTF-8 components below
// that drive's root.
bool CurrentLocation(const std::string& prefixDirectory, char& drive,
                     std::vector<std::string>& components) {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) return false;
  std::string cwd = buffer;
  drive = 'z';
  std::string bestRoot = "/";
  std::string devices = prefixDirectory + "/dosdevices/";
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    std::string link = devices + letter + ":";
    char resolved[PATH_MAX];
    if (realpath(link.c_str(), resolved) == nullptr || !IsDirectory(resolved)) continue;
    std::string root = resolved;
    bool holds = root == "/" || cwd == root ||
                 (cwd.size() > root.size() && cwd.compare(0, root.size(), root) == 0 &&
                  cwd[root.size()] == '/');
    // The longest root wins; on a tie, the first letter.
    if (holds && (root.size() > bestRoot.size() || (root == "/" && bestRoot == "/" &&
                                                     letter < drive))) {
      drive = letter;
      bestRoot = root;
    }
  }
  components.clear();
  std::size_t start = bestRoot == "/" ? 1 : bestRoot.size() + 1;
  while (start < cwd.size()) {
    std::size_t end = cwd.find('/', start);
    if (end == std::string::npos) end = cwd.size();
    if (end > start) components.push_back(cwd.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

}  // namespace

std::string DosPaths::CurrentDirectory() const {
  char drive = 'z';
  std::vector<std::string> components;
  if (!CurrentLocation(prefixDirectory_, drive, components)) return {};
  std::string utf8(1, static_cast<char>(drive - 'a' + 'A'));
  utf8 += ":";
  if (components.empty()) utf8 += "\\";
  for (const std::string& component : components) utf8 += "\\" + component;
  // A name without an ANSI spelling shows as '?', as Wine gives it.
  std::string ansi;
  Utf8ToAnsi(utf8, ansi);
  return ansi;
}

PathLookup DosPaths::Resolve(std::string_view dosPath, HostPath& out) const {
  std::u16string path;
  if (!AnsiToUtf16(dosPath, path) || path.empty()) return PathLookup::InvalidName;

  char currentDrive = 'z';
  std::vector<std::string> currentComponents;
  bool haveCurrent = false;
  auto current = [&]() {
    if (!haveCurrent) haveCurrent = CurrentLocation(prefixDirectory_, currentDrive, currentComponents);
    return haveCurrent;
  };
  // The current directory below its drive's root, as UTF-16.
  auto currentRest = [&]() {
    std::u16string rest;
    for (const std::string& component : currentComponents)
      rest += kBackslash + Utf8ToUtf16(component);
    return rest;
  };

  char drive;
  std::u16string rest;
  if (path.size() >= 2 && path[1] == u':' && IsAsciiLetter(path[0])) {
    drive = LowerDrive(path[0]);
    rest = path.substr(2);
    // "X:name" is relative to the current directory when X is its drive.
    if (!rest.empty() && !IsSeparator(rest[0]) && current() && currentDrive == drive)
      rest = currentRest() + kBackslash + rest;
  } else if (IsSeparator(path[0])) {
    // UNC and device paths name no file of the prefix's drives.
    if (path.size() >= 2 && IsSeparator(path[1])) return PathLookup::PathNotFound;
    if (!current()) return PathLookup::PathNotFound;
    drive = currentDrive;
    rest = path;
  } else {
    if (!current()) return PathLookup::PathNotFound;
    drive = currentDrive;
    rest = currentRest() + kBackslash + path;
  }

  std::vector<std::u16string> components;
  if (!NormaliseComponents(rest, components)) return PathLookup::InvalidName;
  std::string host;
  if (!DriveRoot(drive, host)) return PathLookup::PathNotFound;

  out.name.clear();
  for (std::size_t i = 0; i < components.size(); ++i) {
    bool last = i + 1 == components.size();
    std::string spelled = Utf16ToUtf8(components[i]);
    std::string candidate = JoinHost(host, spelled);
    std::string found;
    if (Exists(candidate)) {
      found = spelled;
    } else if (!FindIgnoringCase(host, components[i], found)) {
      if (!last) return PathLookup::PathNotFound;
      out.host = candidate;
      out.name = spelled;
      return PathLookup::LastMissing;
    }
    host = JoinHost(host, found);
    if (last) {
      out.name = found;
    } else if (!IsDirectory(host)) {
      return PathLookup::PathNotFound;
    }
  }
  out.host = host;
  return PathLookup::Found;
}

}  // namespace pache::host
