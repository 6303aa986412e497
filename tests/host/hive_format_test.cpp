// The line-level text of hive files: escapes, data encodings and hex
// wrapping, both as written and as read back.
#include "platform/host/hive_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/codepage.h"
#include "platform/win32.h"

namespace pache::host {
namespace {

TEST(HiveEscape, WritesAsWineAndReadsBack) {
  struct Case {
    std::u16string text;
    char quote, quote2;
    std::string written;
  } cases[] = {
      {u"C:\\Games\\ゲーム\\", '"', 0, R"(C:\\Games\\\x30b2\x30fc\x30e0\\)"},
      // Four digits when a hex digit follows, as few as needed otherwise.
      {u"Caf\u00e91", '"', 0, R"(Caf\x00e91)"},
      {u"Caf\u00e91 \u00e9!", '"', 0, R"(Caf\x00e91 \xe9!)"},
      {u"\u00e9F", '"', 0, R"(\x00e9F)"},
      {u"\u00e9g", '"', 0, R"(\xe9g)"},
      // Three octal digits when an octal digit follows.
      {u"\u00017\u0001x", '"', 0, R"(\0017\1x)"},
      {u"\u00018", '"', 0, R"(\18)"},
      {u"tab\there", '"', 0, R"(tab\there)"},
      {u"line1\r\nline2", '"', 0, R"(line1\r\nline2)"},
      {u"\a\b\v\f\u001b", '"', 0, R"(\a\b\v\f\e)"},
      {std::u16string(u"a\0b", 3), '"', 0, R"(a\0b)"},
      {u"Say \"hi\"", '"', 0, R"(Say \"hi\")"},
      // Brackets are escaped in key names only, quotes in names and data only.
      {u"Odd[1]", '[', ']', R"(Odd\[1\])"},
      {u"Odd[1]", '"', 0, "Odd[1]"},
      {u"Say \"hi\"", '[', ']', "Say \"hi\""},
      {u"del\u007f", '"', 0, "del\x7f"},
      // A surrogate pair is written as its two halves.
      {u"\U0001F600", '"', 0, R"(\xd83d\xde00)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EscapeText(c.text, c.quote, c.quote2), c.written) << c.written;
    std::u16string read;
    std::string quoted = c.written + c.quote;
    EXPECT_EQ(UnescapeText(quoted, c.quote, read), c.written.size()) << c.written;
    EXPECT_EQ(read, c.text) << c.written;
  }
}

TEST(HiveEscape, DropsOnlyTheTerminatingZero) {
  EXPECT_EQ(EscapeText(std::u16string(u"1.02\0\0\0", 7), '"'), R"(1.02\0\0)");
}

TEST(HiveEscape, ReadsWhatWineNeverWrites) {
  struct Case {
    std::string source;
    std::u16string read;
  } cases[] = {
      {R"(\x)", u"x"},  // \x without a digit
      {R"(\xg)", u"xg"},
      {R"(\x30b2f)", u"ゲf"},  // at most four digits
      {R"(\1234)", u"S4"},    // at most three octal digits
      {R"(Software\Foo)", u"SoftwareFoo"},  // an unknown escape drops the backslash
      {"caf\xc3\xa9", u"caf\u00e9"},          // raw UTF-8
      {"a\xff\xc3z", u"az"},                  // invalid UTF-8 is dropped
      {"\xe3\x82\xb2", u"ゲ"},
  };
  for (const Case& c : cases) {
    std::u16string read;
    std::string quoted = c.source + '"';
    EXPECT_EQ(UnescapeText(quoted, '"', read), c.source.size()) << c.source;
    EXPECT_EQ(read, c.read) << c.source;
  }
  std::u16string read;
  EXPECT_EQ(UnescapeText("no end", '"', read), std::string_view::npos);
  EXPECT_EQ(UnescapeText(R"(ends in \")", '"', read), std::string_view::npos);
}

TEST(HiveValueLine, EachTypeIsWrittenInItsFormAndReadBack) {
  struct Case {
    std::u16string name;
    std::uint32_t type;
    std::string data;
    std::string line;
  } cases[] = {
      {u"V", REG_SZ, BytesFromUnits(std::u16string(u"1.02\0", 5)), "\"V\"=\"1.02\"\n"},
      {u"Path", REG_EXPAND_SZ, BytesFromUnits(std::u16string(u"%ProgramFiles%\\Sample\0", 22)),
       "\"Path\"=str(2):\"%ProgramFiles%\\\\Sample\"\n"},
      {u"List", REG_MULTI_SZ, BytesFromUnits(std::u16string(u"a\0b\0\0", 5)), "\"List\"=str(7):\"a\\0b\\0\"\n"},
      {u"nul", REG_SZ, BytesFromUnits(std::u16string(u"1.02\0\0\0", 7)), "\"nul\"=\"1.02\\0\\0\"\n"},
      {u"V", REG_SZ, BytesFromUnits(std::u16string(u"\0", 1)), "\"V\"=\"\"\n"},
      // Strings without their zero, or of odd length, are kept as hex.
      {u"Version", REG_SZ, BytesFromUnits(u"1.02"), "\"Version\"=hex(1):31,00,2e,00,30,00,32,00\n"},
      {u"Version", REG_SZ, "", "\"Version\"=hex(1):\n"},
      {u"Version", REG_SZ, std::string("a\0b", 3), "\"Version\"=hex(1):61,00,62\n"},
      {u"E", REG_EXPAND_SZ, "", "\"E\"=hex(2):\n"},
      {u"M", REG_MULTI_SZ, BytesFromUnits(u"a"), "\"M\"=hex(7):61,00\n"},
      {u"D", REG_DWORD, std::string("\x0a\0\0\0", 4), "\"D\"=dword:0000000a\n"},
      {u"D", REG_DWORD, std::string("\x78\x56\x34\x12", 4), "\"D\"=dword:12345678\n"},
      {u"D", REG_DWORD, std::string("\x01\x02", 2), "\"D\"=hex(4):01,02\n"},
      {u"B", REG_BINARY, "\xde\xad\xbe\xef", "\"B\"=hex:de,ad,be,ef\n"},
      {u"B", REG_BINARY, "", "\"B\"=hex:\n"},
      {u"Q", REG_QWORD, std::string("\x01\0\0\0\0\0\0\0", 8), "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n"},
      {u"Be", 5, std::string("\0\0\0\x01", 4), "\"Be\"=hex(5):00,00,00,01\n"},
      {u"None", REG_NONE, "", "\"None\"=hex(0):\n"},
      {u"a\\b", REG_SZ, BytesFromUnits(std::u16string(u"x\0", 2)), "\"a\\\\b\"=\"x\"\n"},
      {u"", REG_SZ, BytesFromUnits(std::u16string(u"default\0", 8)), "@=\"default\"\n"},
      {u"Install", REG_SZ, BytesFromUnits(std::u16string(u"C:\\Games\\ゲーム\\\0", 14)),
       "\"Install\"=\"C:\\\\Games\\\\\\x30b2\\x30fc\\x30e0\\\\\"\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatValueLine(c.name, c.type, c.data), c.line);
    ParsedValue value;
    std::size_t consumed = 0;
    ASSERT_TRUE(ParseValueLine(c.line, value, consumed)) << c.line;
    EXPECT_TRUE(value.dataValid) << c.line;
    EXPECT_EQ(consumed, c.line.size()) << c.line;
    EXPECT_EQ(value.name, c.name) << c.line;
    EXPECT_EQ(value.type, c.type) << c.line;
    EXPECT_EQ(value.data, c.data) << c.line;
  }
}

TEST(HiveValueLine, HexWrapsAtColumn76) {
  // Names of 1 to 3, 4 to 6 and 7 to 9 characters leave room for 23, 22
  // and 21 bytes on the first line; continuation lines hold 25.
  struct Case {
    std::size_t nameLength;
    std::size_t bytes;
    std::vector<std::size_t> perLine;
  } cases[] = {
      {3, 23, {23}},          {3, 24, {23, 1}},      {4, 22, {22}},
      {4, 23, {22, 1}},       {6, 23, {22, 1}},      {7, 22, {21, 1}},
      {4, 47, {22, 25}},      {4, 48, {22, 25, 1}},  {4, 73, {22, 25, 25, 1}},
      {0, 24, {24}},  // "@=hex:" is 6 characters
  };
  for (const Case& c : cases) {
    std::u16string name(c.nameLength, u'n');
    std::string data;
    for (std::size_t i = 0; i < c.bytes; ++i) data += static_cast<char>(i);
    std::string text = FormatValueLine(name, REG_BINARY, data);
    std::vector<std::size_t> perLine;
    std::size_t start = 0;
    for (std::size_t lf; (lf = text.find('\n', start)) != std::string::npos; start = lf + 1) {
      std::string line = text.substr(start, lf - start);
      if (start > 0) {
        EXPECT_EQ(line.substr(0, 2), "  ");
      }
      // A full continuation line is 78 characters with its backslash.
      if (start > 0 && line.back() == '\\') {
        EXPECT_EQ(line.size(), 78u) << line;
      }
      std::size_t values = 0;
      for (std::size_t i = 0; i + 1 < line.size(); ++i)
        if (std::isxdigit(static_cast<unsigned char>(line[i])) &&
            std::isxdigit(static_cast<unsigned char>(line[i + 1])) &&
            (i + 2 == line.size() || line[i + 2] == ',')) {
          ++values;
          ++i;
        }
      perLine.push_back(values);
    }
    EXPECT_EQ(perLine, c.perLine) << text;
    ParsedValue value;
    std::size_t consumed = 0;
    ASSERT_TRUE(ParseValueLine(text, value, consumed));
    EXPECT_EQ(value.data, data) << text;
    EXPECT_EQ(consumed, text.size());
  }
  std::string data;
  for (int i = 0; i < 40; ++i) data += static_cast<char>(i);
  EXPECT_EQ(FormatValueLine(u"Data", REG_BINARY, data),
            "\"Data\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
            "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\n");
}

TEST(HiveValueLine, ReadsLinesAsWineDoes) {
  struct Case {
    std::string text;
    std::uint32_t type;
    std::string data;
    bool dataValid;
    std::size_t consumed;  // 0: the whole text
  } cases[] = {
      {"\"a\"=\"x\"\r\n", REG_SZ, BytesFromUnits(std::u16string(u"x\0", 2)), true, 0},
      {"\"a\" =  dword:1\n", REG_DWORD, std::string("\x01\0\0\0", 4), true, 0},
      {"\"a\"=dword:0000000A\n", REG_DWORD, std::string("\x0a\0\0\0", 4), true, 0},
      {"\"a\"=\"x\" trailing\n", REG_SZ, BytesFromUnits(std::u16string(u"x\0", 2)), true, 0},
      {"\"a\"=str:\"x\"\n", REG_SZ, BytesFromUnits(std::u16string(u"x\0", 2)), true, 0},
      {"\"a\"=hex:01 , 02,03\n", REG_BINARY, "\x01\x02\x03", true, 0},
      {"\"a\"=hex(2):61,00,00,00\n", REG_EXPAND_SZ, std::string("a\0\0\0", 4), true, 0},
      {"\"a\"=hex:01,\\\n\t02\n", REG_BINARY, "\x01\x02", true, 0},
      {"\"a\"=hex:01,\\\r\n  02\r\n", REG_BINARY, "\x01\x02", true, 0},
      // Data that does not parse leaves the value empty, of no type.
      {"\"a\"=str(1):\"x\"\n", REG_NONE, "", false, 0},
      {"\"a\"=\"no end\n", REG_NONE, "", false, 0},
      {"\"a\"=hex:100\n", REG_NONE, "", false, 0},
      {"\"a\"=hex:01,zz\n", REG_NONE, "", false, 0},
      {"\"a\"=text\n", REG_NONE, "", false, 0},
      {"\"a\"=hex(b:01\n", REG_NONE, "", false, 0},
      // Only a continued value takes the next line.
      {"\"a\"=hex:01\n\"b\"=hex:02\n", REG_BINARY, "\x01", true, 11},
      {"\"a\"=\"x\"\n  02\n", REG_SZ, BytesFromUnits(std::u16string(u"x\0", 2)), true, 8},
  };
  for (const Case& c : cases) {
    ParsedValue value;
    std::size_t consumed = 0;
    ASSERT_TRUE(ParseValueLine(c.text, value, consumed)) << c.text;
    EXPECT_EQ(value.name, u"a") << c.text;
    EXPECT_EQ(value.type, c.type) << c.text;
    EXPECT_EQ(value.data, c.data) << c.text;
    EXPECT_EQ(value.dataValid, c.dataValid) << c.text;
    EXPECT_EQ(consumed, c.consumed == 0 ? c.text.size() : c.consumed) << c.text;
  }
  // Without a name that parses there is no value at all.
  for (const char* text : {"\"a=\"x\"\n", "\"a\" \"x\"\n", "a=\"x\"\n"}) {
    ParsedValue value;
    std::size_t consumed = 0;
    EXPECT_FALSE(ParseValueLine(text, value, consumed)) << text;
  }
}

TEST(HiveNames, CompareIgnoringCaseBeyondAscii) {
  struct Case {
    std::u16string_view a, b;
    bool same;
  } cases[] = {
      {u"SOFTWARE\\Wow6432Node", u"software\\wow6432node", true},
      {u"ÄÖÜ ΣΑΜΠΛΕ Ж ＡＢ", u"äöü σαμπλε ж ａｂ", true},
      {u"ゲーム_x", u"ゲーム_X", true},
      {u"_x", u"ax", false},
      {u"a", u"ab", false},
  };
  for (const Case& c : cases) EXPECT_EQ(SameName(c.a, c.b), c.same);
}

TEST(HiveTimes, FileTimeIsHighWordThenEightDigits) {
  EXPECT_EQ(FormatFileTime(133590384001234567ull), "1da9bbf17cd3687");
  EXPECT_EQ(FormatFileTime(0x0000000100000002ull), "100000002");
  KeyTime now = CurrentKeyTime();
  EXPECT_EQ(now.fileTime / 10000000u - 11644473600ull, now.seconds);
}

}  // namespace
}  // namespace pache::host
