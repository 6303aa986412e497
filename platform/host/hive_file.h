// One hive file of a Wine prefix, held as its text with an index of its
// key blocks. Only key lines are read when the file is loaded; a key's
// values are read from its blocks when they are asked for, so that a hive
// of tens of megabytes loads quickly. Changes are computed as edits of the
// text that leave every other byte in place.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/hive_format.h"

namespace pache::host {

// Replace `length` bytes at `offset` by `text` (an insertion when length
// is 0).
struct HiveEdit {
  std::size_t offset = 0;
  std::size_t length = 0;
  std::string text;
};

// A value as found in a hive: its data and the lines it occupies.
struct HiveValue {
  ParsedValue value;
  std::size_t start = 0;  // first byte of its line
  std::size_t end = 0;    // after the LF of its last continuation line
};

class HiveFile {
 public:
  static constexpr int kRoot = 0;
  static constexpr int kNoKey = -1;

  HiveFile();

  // Reads and indexes the file. A file that is missing, unreadable or not a
  // hive leaves an empty hive (its root alone) that Valid() refuses.
  void Load(std::string path);
  // Applies `edits` to the text held (in order of their offsets; edits at
  // one offset in the order given) and returns the offset of the first
  // change. The file is not touched: write Content() to it, then call
  // Written(), or Load() again when that failed.
  std::size_t Edit(std::vector<HiveEdit> edits);
  void Written();
  // Whether the file on disk is no longer what was loaded or written.
  bool ChangedOnDisk() const;

  const std::string& Path() const { return path_; }
  const std::string& Content() const { return content_; }
  bool Valid() const { return valid_; }
  bool Win64() const { return win64_; }

  int Child(int key, std::u16string_view name) const;
  int Parent(int key) const { return keys_[key].parent; }
  const std::u16string& Name(int key) const { return keys_[key].name; }
  bool IsLink(int key) const { return keys_[key].link; }
  std::size_t KeyCount() const { return keys_.size(); }
  // The key's path below the root, each component spelled as first seen.
  std::vector<std::u16string> PathOf(int key) const;
  // The key at `path` below the root (any case), without following links.
  int FindPath(const std::vector<std::u16string>& path) const;

  // The value named `name` (any case), as the last line that sets it
  // leaves it. False when the key has no such value.
  bool FindValue(int key, std::u16string_view name, HiveValue& found) const;

  // The edits that give `key` the value `name` with `type` and `data`,
  // refreshing the key's time. `unchanged` is set, and no edit returned,
  // when the value already holds exactly that.
  std::vector<HiveEdit> SetValueEdits(int key, std::u16string_view name, std::uint32_t type,
                                      std::string_view data, const KeyTime& time,
                                      bool& unchanged) const;
  // The edits that create the keys `components` below `parent`, which
  // exists: one new block for the deepest, and a fresh time for `parent`.
  std::vector<HiveEdit> CreateKeyEdits(int parent, const std::vector<std::u16string>& components,
                                       const KeyTime& time) const;

 private:
  struct Key {
    int parent = kNoKey;
    std::uint64_t hash = 0;   // of the parent and the lower-case name
    std::u16string name;      // spelled as first seen
    std::vector<int> blocks;  // in file order
    bool link = false;
  };
  struct Block {
    std::size_t start = 0;      // the key line
    std::size_t bodyStart = 0;  // after the key line
    std::size_t end = 0;        // the next key line, or the end of the file
  };
  struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    std::int64_t modified = 0;
  };

  void Reset();
  void Index();
  int AddChild(int parent, std::u16string_view name);
  int FindChild(int parent, std::u16string_view name, std::uint64_t hash) const;
  void InsertSlot(int key);
  std::vector<HiveEdit> TouchEdits(int key, const KeyTime& time) const;
  std::string NewBlock(const std::u16string* components, std::size_t count, const KeyTime& time,
                       const std::string& values) const;
  static Identity Stat(const std::string& path);

  std::string path_;
  std::string content_;
  Identity identity_;
  bool valid_ = false;
  bool win64_ = false;
  std::vector<Key> keys_;
  std::vector<Block> blocks_;
  // Keys by parent and name: an open-addressed table of key numbers + 1
  // (0: empty), its size a power of two. Hives hold hundreds of thousands
  // of keys; this keeps their index small and quick to build.
  std::vector<int> slots_;
};

}  // namespace pache::host
