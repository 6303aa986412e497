#include "tests/fake/dos_path.h"

#include <cctype>
#include <cstring>

#include "data/paths.h"

namespace pache {

namespace {

// The width of the character at text[at]: 2 for a double-byte character
// whose trail byte is there, else 1.
std::size_t CharacterWidth(std::string_view text, std::size_t at) {
  return IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

bool IsValidName(std::string_view name) {
  for (std::size_t at = 0; at < name.size(); at += CharacterWidth(name, at)) {
    unsigned char byte = static_cast<unsigned char>(name[at]);
    if (CharacterWidth(name, at) == 1 && (byte < 0x20 || std::strchr("*?<>|\":", byte) != nullptr)) {
      return false;
    }
  }
  return true;
}

std::string JoinKey(char drive, const std::vector<std::string>& parts, std::size_t count) {
  std::string key{drive, ':', '\\'};
  for (std::size_t index = 0; index < count; ++index) {
    if (index > 0) key += '\\';
    key += FoldCase(parts[index]);
  }
  return key;
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string folded(text);
  for (std::size_t at = 0; at < folded.size(); at += CharacterWidth(folded, at)) {
    if (folded[at] >= 'a' && folded[at] <= 'z') folded[at] = static_cast<char>(folded[at] - 32);
  }
  return folded;
}

std::vector<std::string> SplitComponents(std::string_view text, bool slashToo) {
  std::vector<std::string> components(1);
  for (std::size_t at = 0; at < text.size();) {
    std::size_t width = CharacterWidth(text, at);
    if (width == 1 && (text[at] == '\\' || (slashToo && text[at] == '/'))) {
      components.emplace_back();
    } else {
      components.back().append(text.substr(at, width));
    }
    at += width;
  }
  return components;
}

std::string DosPath::Key() const { return JoinKey(drive, parts, parts.size()); }

std::string DosPath::ParentKey() const {
  return JoinKey(drive, parts, parts.empty() ? 0 : parts.size() - 1);
}

DosPath DosPath::Prefix(std::size_t count) const {
  DosPath prefix;
  prefix.drive = drive;
  prefix.parts.assign(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(count));
  return prefix;
}

bool ParseDosPath(std::string_view path, std::string_view current, DosPath& out) {
  if (path.empty()) return false;
  DosPath base;
  bool hasCurrent = !current.empty() && ParseDosPath(current, "", base);
  std::string_view rest = path;
  auto isSeparator = [](char byte) { return byte == '\\' || byte == '/'; };
  if (path.size() >= 2 && path[1] == ':' && static_cast<unsigned char>(path[0]) < 0x80 &&
      std::isalpha(static_cast<unsigned char>(path[0]))) {
    char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    rest = path.substr(2);
    // "X:name" is relative to the current folder when that is on drive X.
    bool relative = !rest.empty() && !isSeparator(rest[0]) && hasCurrent && base.drive == drive;
    if (!relative) base.parts.clear();
    base.drive = drive;
  } else if (isSeparator(path[0])) {
    if (path.size() >= 2 && isSeparator(path[1])) return false;  // UNC
    if (!hasCurrent) return false;
    base.parts.clear();
  } else if (!hasCurrent) {
    return false;
  }
  for (std::string& component : SplitComponents(rest, true)) {
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      if (!base.parts.empty()) base.parts.pop_back();
      continue;
    }
    while (!component.empty() && (component.back() == '.' || component.back() == ' ')) {
      component.pop_back();
    }
    if (component.empty()) continue;
    if (!IsValidName(component)) return false;
    base.parts.push_back(std::move(component));
  }
  out = std::move(base);
  return true;
}

}  // namespace pache
