#include "platform/host/hive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace pache::host {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::uint64_t ChildHash(int parent, std::u16string_view name) {
  std::uint64_t hash = 14695981039346656037ull ^ (static_cast<std::uint64_t>(parent) * 0x9E3779B97F4A7C15ull);
  for (char16_t c : name) {
    hash ^= LowerUnit(c);
    hash *= 1099511628211ull;
  }
  return hash ^ (hash >> 31);
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

HiveFile::HiveFile() { Reset(); }

void HiveFile::Reset() {
  valid_ = false;
  win64_ = false;
  keys_.assign(1, Key());
  blocks_.clear();
  slots_.clear();
}

void HiveFile::Load(std::string path) {
  path_ = std::move(path);
  identity_ = Stat(path_);
  content_.clear();
  if (!ReadWholeFile(path_, content_)) content_.clear();
  Index();
}

std::size_t HiveFile::Edit(std::vector<HiveEdit> edits) {
  if (edits.empty()) return content_.size();
  std::stable_sort(edits.begin(), edits.end(),
                   [](const HiveEdit& a, const HiveEdit& b) { return a.offset < b.offset; });
  // The edits lie close together, in one key's blocks: rebuild the span
  // they cover and move the rest of the text once, in place.
  std::size_t first = edits.front().offset;
  std::size_t last = first;
  for (const HiveEdit& edit : edits) last = std::max(last, edit.offset + edit.length);
  std::string span;
  std::size_t pos = first;
  for (const HiveEdit& edit : edits) {
    span.append(content_, pos, edit.offset - pos);
    span += edit.text;
    pos = edit.offset + edit.length;
  }
  span.append(content_, pos, last - pos);
  content_.replace(first, last - first, span);

  for (const HiveEdit& edit : edits) {
    if (edit.text.find("\n[") != std::string::npos || edit.text.starts_with("[")) {
      Index();  // a new block: read the keys again
      return first;
    }
  }
  // Edits within blocks: the index stays, its offsets move. Text inserted
  // where a block ends belongs to that block; text inserted where a body
  // starts belongs to the body.
  auto moved = [&](std::size_t position, bool bodyStart) {
    std::ptrdiff_t shift = 0;
    for (const HiveEdit& edit : edits) {
      bool after = edit.length > 0 ? position >= edit.offset + edit.length
                                   : (bodyStart ? position > edit.offset : position >= edit.offset);
      if (after) shift += static_cast<std::ptrdiff_t>(edit.text.size()) - static_cast<std::ptrdiff_t>(edit.length);
    }
    return static_cast<std::size_t>(static_cast<std::ptrdiff_t>(position) + shift);
  };
  for (Block& block : blocks_) {
    block.start = moved(block.start, false);
    block.bodyStart = moved(block.bodyStart, true);
    block.end = moved(block.end, false);
  }
  return first;
}

void HiveFile::Written() { identity_ = Stat(path_); }

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

int HiveFile::FindChild(int parent, std::u16string_view name, std::uint64_t hash) const {
  if (slots_.empty()) return kNoKey;
  std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask; slots_[i] != 0; i = (i + 1) & mask) {
    const Key& key = keys_[slots_[i] - 1];
    if (key.hash == hash && key.parent == parent && SameName(key.name, name)) return slots_[i] - 1;
  }
  return kNoKey;
}

void HiveFile::InsertSlot(int key) {
  std::size_t mask = slots_.size() - 1;
  std::size_t i = keys_[key].hash & mask;
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = key + 1;
}

int HiveFile::AddChild(int parent, std::u16string_view name) {
  std::uint64_t hash = ChildHash(parent, name);
  int found = FindChild(parent, name, hash);
  if (found != kNoKey) return found;
  Key key;
  key.parent = parent;
  key.hash = hash;
  key.name = name;
  keys_.push_back(std::move(key));
  if (keys_.size() * 2 > slots_.size()) {
    slots_.assign(std::max<std::size_t>(1024, slots_.size() * 2), 0);
    for (std::size_t k = 1; k < keys_.size(); ++k) InsertSlot(static_cast<int>(k));
  } else {
    InsertSlot(static_cast<int>(keys_.size() - 1));
  }
  return static_cast<int>(keys_.size() - 1);
}

int HiveFile::Child(int key, std::u16string_view name) const {
  return FindChild(key, name, ChildHash(key, name));
}

namespace {

// The escaped components of a key line's path, from after its "[" up to
// its closing "]": "\\\\" separates them, any other escape belongs to the
// component. False when the line has no closing bracket.
bool SplitRawPath(std::string_view line, std::vector<std::string_view>& components, std::size_t& close) {
  components.clear();
  std::size_t from = 0;
  for (std::size_t i = 0; i < line.size();) {
    char c = line[i];
    if (c == ']') {
      if (i > from) components.push_back(line.substr(from, i - from));
      close = i;
      return true;
    }
    if (c != '\\') {
      ++i;
      continue;
    }
    if (i + 1 < line.size() && line[i + 1] == '\\') {
      if (i > from) components.push_back(line.substr(from, i - from));
      i += 2;
      from = i;
    } else {
      i += 2;  // an escape: its digits, if any, are no separators
    }
  }
  return false;
}

// Whether a value line holds hex data, whose lines a trailing backslash
// continues.
bool IsHexValueLine(std::string_view line) {
  std::size_t i = 0;
  if (line.empty()) return false;
  if (line[0] == '@') {
    i = 1;
  } else {
    for (i = 1; i < line.size() && line[i] != '"'; ++i)
      if (line[i] == '\\') ++i;
    ++i;
  }
  while (i < line.size() && IsSpace(line[i])) ++i;
  if (i >= line.size() || line[i] != '=') return false;
  ++i;
  while (i < line.size() && IsSpace(line[i])) ++i;
  return line.substr(i, 3) == "hex";
}

}  // namespace

void HiveFile::Index() {
  Reset();
  const std::string& text = content_;
  std::size_t firstEnd = LineEnd(text, 0);
  std::string_view first(text.data(), firstEnd);
  if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
  if (first != kHiveSignature) return;
  valid_ = true;
  // Wine's blocks average a few hundred bytes.
  keys_.reserve(text.size() / 128);
  blocks_.reserve(text.size() / 256);

  bool seenKeyLine = false;
  int current = kNoKey;  // the key whose block is open
  int currentBlock = -1;
  // Blocks come in tree order, so a key line mostly repeats the start of
  // the previous one: components spelled the same are not looked up again.
  std::vector<std::string_view> previous, components;
  std::vector<int> previousKeys;
  std::u16string name;

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
      std::size_t close = 0;
      std::string_view line = std::string_view(text).substr(p + 1, lineEnd - p - 1);
      if (SplitRawPath(line, components, close)) {
        int key = kRoot;
        std::size_t same = 0;
        while (same < components.size() && same < previous.size() && components[same] == previous[same]) ++same;
        if (same > 0) key = previousKeys[same - 1];
        previousKeys.resize(components.size());
        for (std::size_t i = same; i < components.size(); ++i) {
          std::string component(components[i]);
          component += ']';
          UnescapeText(component, ']', name);
          // An escaped backslash (\x5c) separates too once unescaped.
          if (name.find(u'\\') == std::u16string::npos) {
            if (!name.empty()) key = AddChild(key, name);
          } else {
            for (const std::u16string& piece : SplitKeyPath(name)) key = AddChild(key, piece);
          }
          previousKeys[i] = key;
        }
        previous = components;
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
    } else if ((c == '"' || c == '@') && TrimmedLine(text, p, lineEnd).ends_with('\\') &&
               IsHexValueLine(std::string_view(text).substr(p, lineEnd - p))) {
      // Hex data going on over the next lines: none of them is a key line.
      while (next < text.size()) {
        std::size_t end = LineEnd(text, next);
        bool more = TrimmedLine(text, next, end).ends_with('\\');
        next = end < text.size() ? end + 1 : end;
        if (!more) break;
      }
    }
    pos = next;
  }
}

bool HiveFile::FindValue(int key, std::u16string_view name, HiveValue& found) const {
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
          if (SameName(value.value.name, name) && (value.value.dataValid || !have)) {
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
    std::size_t digits = close == std::string_view::npos ? block.bodyStart : p + 1 + close + 1;
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
