#include "platform/host/hive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace pache::host {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The map key of a child: its parent's number in two code units, then its
// lower-case name.
std::u16string ChildIndex(int parent, std::u16string_view lowerName) {
  std::u16string index;
  index.reserve(lowerName.size() + 2);
  index += static_cast<char16_t>(static_cast<unsigned>(parent) >> 16);
  index += static_cast<char16_t>(static_cast<unsigned>(parent) & 0xFFFF);
  index += lowerName;
  return index;
}

std::size_t LineEnd(const std::string& text, std::size_t pos) {
  const void* lf = std::memchr(text.data() + pos, '\n', text.size() - pos);
  return lf == nullptr ? text.size() : static_cast<const char*>(lf) - text.data();
}

// The bytes of a line without its trailing white space (CR included).
std::string_view TrimmedLine(const std::string& text, std::size_t from, std::size_t lineEnd) {
  while (lineEnd > from && IsSpace(text[lineEnd - 1])) --lineEnd;
  return std::string_view(text).substr(from, lineEnd - from);
}

bool ReadWholeFile(const std::string& path, std::string& content) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (ok) {
    content.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (ok && done < content.size()) {
      ssize_t got = read(fd, content.data() + done, content.size() - done);
      if (got < 0) {
        ok = false;
      } else if (got == 0) {
        content.resize(done);  // shrank meanwhile
      } else {
        done += static_cast<std::size_t>(got);
      }
    }
    // Grown meanwhile: read the rest too.
    char chunk[65536];
    for (ssize_t got; ok && (got = read(fd, chunk, sizeof chunk)) != 0;) {
      if (got < 0) ok = false;
      else content.append(chunk, static_cast<std::size_t>(got));
    }
  }
  close(fd);
  if (!ok) content.clear();
  return ok;
}

}  // namespace

std::string ApplyEdits(std::string_view content, std::vector<HiveEdit> edits) {
  std::stable_sort(edits.begin(), edits.end(),
                   [](const HiveEdit& a, const HiveEdit& b) { return a.offset < b.offset; });
  std::size_t grow = 0;
  for (const HiveEdit& edit : edits) grow += edit.text.size();
  std::string out;
  out.reserve(content.size() + grow);
  std::size_t pos = 0;
  for (const HiveEdit& edit : edits) {
    out.append(content.substr(pos, edit.offset - pos));
    out += edit.text;
    pos = edit.offset + edit.length;
  }
  out.append(content.substr(pos));
  return out;
}

HiveFile::HiveFile() { Reset(); }

void HiveFile::Reset() {
  valid_ = false;
  win64_ = false;
  keys_.assign(1, Key());
  blocks_.clear();
  children_.clear();
}

void HiveFile::Load(std::string path) {
  path_ = std::move(path);
  identity_ = Stat(path_);
  content_.clear();
  if (!ReadWholeFile(path_, content_)) content_.clear();
  Index();
}

void HiveFile::Adopt(std::string content) {
  content_ = std::move(content);
  identity_ = Stat(path_);
  Index();
}

HiveFile::Identity HiveFile::Stat(const std::string& path) {
  Identity identity;
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) {
    identity.device = st.st_dev;
    identity.inode = st.st_ino;
    identity.size = st.st_size;
    identity.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  }
  return identity;
}

bool HiveFile::ChangedOnDisk() const {
  Identity now = Stat(path_);
  return now.device != identity_.device || now.inode != identity_.inode ||
         now.size != identity_.size || now.modified != identity_.modified;
}

int HiveFile::AddChild(int parent, const std::u16string& name) {
  auto [slot, added] = children_.try_emplace(ChildIndex(parent, LowerName(name)), 0);
  if (added) {
    slot->second = static_cast<int>(keys_.size());
    Key key;
    key.parent = parent;
    key.name = name;
    keys_.push_back(std::move(key));
  }
  return slot->second;
}

int HiveFile::Child(int key, std::u16string_view name) const {
  auto found = children_.find(ChildIndex(key, LowerName(name)));
  return found == children_.end() ? kNoKey : found->second;
}

void HiveFile::Index() {
  Reset();
  const std::string& text = content_;
  std::size_t firstEnd = LineEnd(text, 0);
  std::string_view first(text.data(), firstEnd);
  if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
  if (first != kHiveSignature) return;
  valid_ = true;

  bool seenKeyLine = false;
  int current = kNoKey;      // the key whose block is open
  int currentBlock = -1;
  // Blocks come in tree order, so a key line mostly repeats the start of
  // the previous one: those components are not looked up again.
  std::vector<std::u16string> previous;
  std::vector<int> previousKeys;
  std::u16string path;
  std::vector<std::u16string> components;

  std::size_t pos = firstEnd < text.size() ? firstEnd + 1 : firstEnd;
  while (pos < text.size()) {
    std::size_t lineStart = pos;
    std::size_t lineEnd = LineEnd(text, pos);
    std::size_t next = lineEnd < text.size() ? lineEnd + 1 : lineEnd;
    std::size_t p = lineStart;
    while (p < lineEnd && IsSpace(text[p])) ++p;
    char c = p < lineEnd ? text[p] : '\0';
    if (c == '[') {
      seenKeyLine = true;
      if (currentBlock >= 0) blocks_[currentBlock].end = lineStart;
      currentBlock = -1;
      current = kNoKey;
      std::size_t close = UnescapeText(std::string_view(text).substr(p + 1, lineEnd - p - 1), ']', path);
      if (close != std::string_view::npos) {
        components.clear();
        std::size_t from = 0;
        for (std::size_t i = 0; i <= path.size(); ++i) {
          if (i == path.size() || path[i] == u'\\') {
            if (i > from) components.emplace_back(path, from, i - from);
            from = i + 1;
          }
        }
        int key = kRoot;
        bool same = true;
        for (std::size_t i = 0; i < components.size(); ++i) {
          if (same && i < previous.size() && previous[i] == components[i]) {
            key = previousKeys[i];
            continue;
          }
          same = false;
          key = AddChild(key, components[i]);
          if (i < previous.size()) {
            previous[i] = components[i];
            previousKeys[i] = key;
          } else {
            previous.push_back(components[i]);
            previousKeys.push_back(key);
          }
        }
        previous.resize(components.size());
        previousKeys.resize(components.size());
        current = key;
        currentBlock = static_cast<int>(blocks_.size());
        blocks_.push_back(Block{lineStart, next, text.size()});
        keys_[key].blocks.push_back(currentBlock);
      }
    } else if (c == '#') {
      std::string_view option = TrimmedLine(text, p, lineEnd);
      if (!seenKeyLine) {
        if (option.substr(0, 6) == "#arch=") {
          if (option == "#arch=win64") {
            win64_ = true;
          } else if (option != "#arch=win32") {
            Reset();  // Wine refuses the whole file
            return;
          }
        }
      } else if (current != kNoKey && option == "#link") {
        keys_[current].link = true;
      }
    } else if ((c == '"' || c == '@') && TrimmedLine(text, p, lineEnd).ends_with('\\')) {
      // Possibly hex data going on over the next lines: skip those.
      ParsedValue value;
      std::size_t consumed = 0;
      if (ParseValueLine(std::string_view(text).substr(p), value, consumed)) next = p + consumed;
    }
    pos = next;
  }
}

bool HiveFile::FindValue(int key, std::u16string_view name, HiveValue& found) const {
  std::u16string lower = LowerName(name);
  bool have = false;
  for (int blockIndex : keys_[key].blocks) {
    const Block& block = blocks_[blockIndex];
    std::size_t pos = block.bodyStart;
    while (pos < block.end) {
      std::size_t lineEnd = std::min(LineEnd(content_, pos), block.end);
      std::size_t next = lineEnd < block.end ? lineEnd + 1 : block.end;
      std::size_t p = pos;
      while (p < lineEnd && IsSpace(content_[p])) ++p;
      if (p < lineEnd && (content_[p] == '"' || content_[p] == '@')) {
        HiveValue value;
        std::size_t consumed = 0;
        if (ParseValueLine(std::string_view(content_).substr(p, block.end - p), value.value, consumed)) {
          next = p + consumed;
          // A line whose data does not parse leaves an earlier setting as
          // it was, and a value first seen there empty.
          if (LowerName(value.value.name) == lower && (value.value.dataValid || !have)) {
            value.start = pos;
            value.end = next;
            found = std::move(value);
            have = true;
          }
        }
      }
      pos = next;
    }
  }
  return have;
}

std::vector<std::u16string> HiveFile::PathOf(int key) const {
  std::vector<std::u16string> path;
  for (int k = key; k != kRoot && k != kNoKey; k = keys_[k].parent) path.push_back(keys_[k].name);
  std::reverse(path.begin(), path.end());
  return path;
}

int HiveFile::FindPath(const std::vector<std::u16string>& path) const {
  int key = kRoot;
  for (std::size_t i = 0; i < path.size() && key != kNoKey; ++i) key = Child(key, path[i]);
  return key;
}

std::vector<HiveEdit> HiveFile::TouchEdits(int key, const KeyTime& time) const {
  std::vector<HiveEdit> edits;
  std::string fileTime = FormatFileTime(time.fileTime);
  for (int blockIndex : keys_[key].blocks) {
    const Block& block = blocks_[blockIndex];
    // The seconds after the key line's closing bracket.
    std::size_t p = block.start;
    while (content_[p] != '[') ++p;
    std::u16string ignored;
    std::size_t close = UnescapeText(
        std::string_view(content_).substr(p + 1, block.bodyStart - p - 1), ']', ignored);
    std::size_t digits = p + 1 + close + 1;
    while (digits < block.bodyStart && (content_[digits] == ' ' || content_[digits] == '\t')) ++digits;
    std::size_t digitsEnd = digits;
    while (digitsEnd < block.bodyStart && content_[digitsEnd] >= '0' && content_[digitsEnd] <= '9')
      ++digitsEnd;
    if (digitsEnd > digits)
      edits.push_back({digits, digitsEnd - digits, std::to_string(time.seconds)});
    // The #time= line, added when the block has none.
    bool haveTime = false;
    for (std::size_t pos = block.bodyStart; pos < block.end && !haveTime;) {
      std::size_t lineEnd = std::min(LineEnd(content_, pos), block.end);
      std::size_t q = pos;
      while (q < lineEnd && IsSpace(content_[q])) ++q;
      if (content_.compare(q, 6, "#time=") == 0) {
        std::string_view line = TrimmedLine(content_, q + 6, lineEnd);
        edits.push_back({q + 6, line.size(), fileTime});
        haveTime = true;
      }
      pos = lineEnd + 1;
    }
    if (!haveTime) {
      std::string line = "#time=" + fileTime + "\n";
      if (block.bodyStart == content_.size() && !content_.ends_with('\n')) line.insert(0, "\n");
      edits.push_back({block.bodyStart, 0, std::move(line)});
    }
  }
  return edits;
}

std::string HiveFile::NewBlock(const std::u16string* components, std::size_t count,
                               const KeyTime& time, const std::string& values) const {
  std::string block = content_.empty() || content_.ends_with('\n') ? "\n" : "\n\n";
  block += '[';
  block += FormatKeyPath(components, count);
  block += "] ";
  block += std::to_string(time.seconds);
  block += "\n#time=";
  block += FormatFileTime(time.fileTime);
  block += '\n';
  block += values;
  return block;
}

std::vector<HiveEdit> HiveFile::SetValueEdits(int key, std::u16string_view name, std::uint32_t type,
                                              std::string_view data, const KeyTime& time,
                                              bool& unchanged) const {
  unchanged = false;
  HiveValue existing;
  if (FindValue(key, name, existing)) {
    if (existing.value.dataValid && existing.value.type == type && existing.value.data == data) {
      unchanged = true;
      return {};
    }
    std::vector<HiveEdit> edits = TouchEdits(key, time);
    std::string line = FormatValueLine(existing.value.name, type, data);
    edits.push_back({existing.start, existing.end - existing.start, std::move(line)});
    return edits;
  }
  std::string line = FormatValueLine(name, type, data);
  if (keys_[key].blocks.empty()) {
    // A key that exists only through deeper blocks gets a block of its own.
    std::vector<std::u16string> path = PathOf(key);
    return {{content_.size(), 0, NewBlock(path.data(), path.size(), time, line)}};
  }
  std::vector<HiveEdit> edits = TouchEdits(key, time);
  // After the last line of the key's last block that is not blank.
  const Block& block = blocks_[keys_[key].blocks.back()];
  std::size_t insert = block.bodyStart;
  for (std::size_t pos = block.bodyStart; pos < block.end;) {
    std::size_t lineEnd = std::min(LineEnd(content_, pos), block.end);
    if (!TrimmedLine(content_, pos, lineEnd).empty())
      insert = lineEnd < content_.size() ? lineEnd + 1 : lineEnd;
    pos = lineEnd + 1;
  }
  if (insert == content_.size() && !content_.ends_with('\n')) line.insert(0, "\n");
  edits.push_back({insert, 0, std::move(line)});
  return edits;
}

std::vector<HiveEdit> HiveFile::CreateKeyEdits(int parent, const std::vector<std::u16string>& components,
                                               const KeyTime& time) const {
  std::vector<std::u16string> path = PathOf(parent);
  path.insert(path.end(), components.begin(), components.end());
  std::vector<HiveEdit> edits = TouchEdits(parent, time);
  edits.push_back({content_.size(), 0, NewBlock(path.data(), path.size(), time, std::string())});
  return edits;
}

}  // namespace pache::host
