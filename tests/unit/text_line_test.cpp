#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "data/scrambled.h"
#include "data/text_cursor.h"

namespace pache {
namespace {

// A text held in a block of exactly its length, so that the sanitizers
// catch any read past its end.
struct ExactText {
  explicit ExactText(const std::string& content) : bytes(content.begin(), content.end()) {
    buffer.bytes = bytes.empty() ? nullptr : bytes.data();
    buffer.length = static_cast<std::int32_t>(bytes.size());
  }
  std::vector<std::uint8_t> bytes;
  TextBuffer buffer;
};

TEST(InvertBytes, StoresEachByteAsItsComplement) {
  std::uint8_t bytes[] = {'T', 'I', 'T', 'O', 'L', '=', 13, 10, 0x00, 0xFF};
  const std::uint8_t stored[] = {0xAB, 0xB6, 0xAB, 0xB0, 0xB3, 0xC2, 0xF2, 0xF5, 0xFF, 0x00};
  std::uint8_t target[sizeof bytes] = {};
  InvertBytes(bytes, sizeof bytes, target);
  EXPECT_EQ(0, std::memcmp(target, stored, sizeof stored));
  EXPECT_EQ(bytes[0], 'T') << "the source changed when a target was given";
  InvertBytes(target, sizeof target);
  EXPECT_EQ(0, std::memcmp(target, bytes, sizeof bytes));
}

TEST(ReadTextLine, OnlyCrLfEndsALine) {
  struct Case {
    const char* name;
    std::string text;
    std::int32_t cursor;
    std::int32_t length;
    std::string line;
    std::int32_t cursorAfter;
  } cases[] = {
      {"lone CR inside", "A\rB\r\nC", 0, 3, "A\rB", 5},
      {"CR CR LF", "\r\r\n", 0, 1, "\r", 3},
      {"lone LF inside", "A\nB\r\n", 0, 3, "A\nB", 5},
      {"LF CR is no line end", "A\n\rB", 0, 4, "A\n\rB", 4},
      {"empty line", "\r\nX", 0, 0, "", 2},
      {"from the middle", "ab\r\ncd\r\n", 4, 2, "cd", 8},
      {"last line without CR LF", "ab\r\ncd", 4, 2, "cd", 6},
      {"last line ends in a lone CR", "ab\r", 0, 3, "ab\r", 3},
      {"empty text", "", 0, 0, "", 0},
      {"at the end", "ab\r\n", 4, 0, "", 4},
      {"past the end, after a skip", "ab", 4, 0, "", 4},
  };
  for (const Case& c : cases) {
    ExactText text(c.text);
    Text line;
    std::memset(line, 'x', sizeof line);
    std::int32_t cursor = c.cursor;
    EXPECT_EQ(ReadTextLine(text.buffer, cursor, line), c.length) << c.name;
    EXPECT_EQ(std::string(line), c.line) << c.name;
    EXPECT_EQ(cursor, c.cursorAfter) << c.name;
  }
}

TEST(ReadTextLine, ReportsTheFullLengthOfALineThatDidNotFit) {
  struct Case {
    std::size_t bytes;
    std::size_t kept;
  } cases[] = {{510, 510}, {511, 511}, {512, 511}, {2000, 511}};
  for (const Case& c : cases) {
    ExactText text(std::string(c.bytes, 'a') + "\r\nnext");
    Text line;
    std::int32_t cursor = 0;
    EXPECT_EQ(ReadTextLine(text.buffer, cursor, line), static_cast<std::int32_t>(c.bytes));
    EXPECT_EQ(std::strlen(line), c.kept);
    EXPECT_EQ(cursor, static_cast<std::int32_t>(c.bytes + 2)) << "the cursor skips the whole line";
    EXPECT_EQ(ReadTextLine(text.buffer, cursor, line), 4);
    EXPECT_STREQ(line, "next");
  }
}

TEST(ReadTextLine, ReadsLineAfterLineToTheEnd) {
  ExactText text("Sample\r\n1.02\r\n");
  Text line;
  std::int32_t cursor = 0;
  EXPECT_EQ(ReadTextLine(text.buffer, cursor, line), 6);
  EXPECT_STREQ(line, "Sample");
  EXPECT_EQ(ReadTextLine(text.buffer, cursor, line), 4);
  EXPECT_STREQ(line, "1.02");
  EXPECT_EQ(cursor, 14);
  EXPECT_EQ(ReadTextLine(text.buffer, cursor, line), 0);
  EXPECT_EQ(cursor, 14);
}

}  // namespace
}  // namespace pache
