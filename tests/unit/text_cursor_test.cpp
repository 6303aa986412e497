#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "data/scrambled.h"
#include "data/text_cursor.h"
#include "tests/fake/fake_platform.h"

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


// The readers over a session's definition text, held in a block of exactly
// its length.
class DefinitionText : public ::testing::Test {
 protected:
  void Use(const std::string& content) {
    text_ = std::make_unique<ExactText>(content);
    session.definitionText = text_->buffer;
  }
  void TearDown() override { session.definitionText = TextBuffer{}; }

  FakePlatform fake;
  PatchSession session{fake.platform()};

 private:
  std::unique_ptr<ExactText> text_;
};

TEST_F(DefinitionText, FindMarkerTakesTheEarliestMatchInsideTheText) {
  struct Case {
    const char* name;
    std::string text;
    std::int32_t from;
    bool skipLineEnd;
    bool found;
    std::int32_t cursor;
  } cases[] = {
      {"after two bytes, skipping CR LF", "xx<REG>\r\nline", 0, true, true, 9},
      {"after two bytes, not skipping", "xx<REG>\r\nline", 0, false, true, 7},
      {"at the cursor itself", "<REG>\r\n", 0, false, true, 5},
      {"the first of two", "a<REG>b<REG>", 0, false, true, 6},
      {"from after the first", "a<REG>b<REG>", 2, false, true, 12},
      {"inside a line", "2SOFTWARE\\X-<REG>=1\r\n", 0, false, true, 17},
      {"at the very end, the skip past it", "xx<REG>", 0, true, true, 9},
      {"its last bytes past the end", "xxxxx<RE", 0, false, false, 8},
      {"not in the text", std::string(100, 'a'), 0, false, false, 100},
      {"cursor at the end", "<REG>", 5, false, false, 5},
      {"cursor past the end", "<REG>", 7, true, false, 5},
      {"empty text", "", 0, true, false, 0},
      {"case matters", "<reg>\r\n", 0, false, false, 7},
  };
  for (const Case& c : cases) {
    Use(c.text);
    std::int32_t cursor = c.from;
    EXPECT_EQ(FindMarker(session, cursor, "<REG>", 5, c.skipLineEnd), c.found) << c.name;
    EXPECT_EQ(cursor, c.cursor) << c.name;
  }
}

TEST_F(DefinitionText, ACursorThatASkipPutPastTheEndReadsNothing) {
  Use("<COPY>");
  std::int32_t cursor = 0;
  ASSERT_TRUE(FindMarker(session, cursor, "<COPY>", 6, true));
  EXPECT_TRUE(AtEndOfText(session, cursor));
  Text line;
  std::memset(line, 'x', sizeof line);
  EXPECT_EQ(ReadLine(session, cursor, line), 0);
  EXPECT_STREQ(line, "");
  EXPECT_EQ(cursor, 8);
}

TEST_F(DefinitionText, ReadLineUnlessMarkerStopsOnlyAtALineThatBeginsWithIt) {
  Use("<REG>\r\na<REG>\r\n<RE");
  Text line;
  std::memset(line, 'q', sizeof line);
  line[sizeof line - 1] = '\0';
  std::int32_t cursor = 0;
  for (int call = 0; call < 2; ++call) {
    EXPECT_TRUE(ReadLineUnlessMarker(session, line, cursor, "<REG>", 5));
    EXPECT_EQ(cursor, 0);
    EXPECT_EQ(line[0], 'q') << "the line buffer was touched";
  }
  cursor = 7;
  EXPECT_FALSE(ReadLineUnlessMarker(session, line, cursor, "<REG>", 5));
  EXPECT_STREQ(line, "a<REG>");
  EXPECT_EQ(cursor, 15);
  // A marker cut off by the end of the text does not match.
  EXPECT_FALSE(ReadLineUnlessMarker(session, line, cursor, "<REG>", 5));
  EXPECT_STREQ(line, "<RE");
  EXPECT_TRUE(AtEndOfText(session, cursor));
  EXPECT_FALSE(ReadLineUnlessMarker(session, line, cursor, "<REG>", 5));
  EXPECT_STREQ(line, "");
  EXPECT_EQ(cursor, 18);
}

TEST_F(DefinitionText, ReadKeyValueTakesTheRestOfTheLineAfterTheFirstOccurrence) {
  struct Case {
    const char* name;
    std::string text;
    const char* key;
    std::int32_t length;
    std::string value;
  } cases[] = {
      {"VERSION_TXT= differs at its eighth byte", "VERSION_TXT=v.txt\r\nVERSION=1.03\r\n",
       "VERSION=", 4, "1.03"},
      {"the first occurrence is inside a registry line",
       "2SOFTWARE\\Sample-VERSION=1.00\r\nVERSION=1.03\r\n", "VERSION=", 4, "1.00"},
      {"blanks are kept", "TITOL=Sample  \r\n", "TITOL=", 8, "Sample  "},
      {"not at a line start", "xTITOL=abc\r\n", "TITOL=", 3, "abc"},
      {"a second key line is never read", "TITOL=a\r\nTITOL=b\r\n", "TITOL=", 1, "a"},
      {"missing", "TITLE=abc\r\n", "TITOL=", 0, ""},
      {"nothing after the key", "TITOL=\r\nx", "TITOL=", 0, ""},
      {"the key ends the text", "xTITOL=", "TITOL=", 0, ""},
      {"a last line without CR LF", "TITOL=abc", "TITOL=", 3, "abc"},
      {"LF line ends run on", "TITOL=a\nVERSION=b\n", "TITOL=", 12, "a\nVERSION=b\n"},
      {"empty text", "", "TITOL=", 0, ""},
  };
  for (const Case& c : cases) {
    Use(c.text);
    Text value;
    std::memset(value, 'x', sizeof value);
    EXPECT_EQ(ReadKeyValue(session, c.key, static_cast<std::int32_t>(std::strlen(c.key)), value),
              c.length)
        << c.name;
    EXPECT_EQ(std::string(value), c.value) << c.name;
  }
}

TEST_F(DefinitionText, ReadKeyValueReportsAValueThatDidNotFit) {
  Use("DIR_REG=" + std::string(600, 'r') + "\r\n");
  Text value;
  EXPECT_EQ(ReadKeyValue(session, "DIR_REG=", 8, value), 600);
  EXPECT_EQ(std::strlen(value), 511u);
}

TEST(ReadVersionLine, ReadsTheVersionFileLineByLine) {
  FakePlatform fake;
  PatchSession session(fake.platform());
  fake.files.AddFile("C:\\Game\\version.txt", "Sample\r\n1.02\r\n");
  ASSERT_TRUE(LoadPlainFile(session, "C:\\Game\\version.txt", session.versionFile));
  EXPECT_EQ(session.versionFile.length, 14);
  Text line;
  EXPECT_EQ(ReadVersionLine(session, session.versionCursor, line), 6);
  EXPECT_STREQ(line, "Sample");
  EXPECT_EQ(ReadVersionLine(session, session.versionCursor, line), 4);
  EXPECT_STREQ(line, "1.02");
  EXPECT_EQ(session.versionCursor, 14);
  // A missing line reads as empty.
  EXPECT_EQ(ReadVersionLine(session, session.versionCursor, line), 0);
  EXPECT_STREQ(line, "");
  ReleaseText(session, session.versionFile);
}

}  // namespace
}  // namespace pache
