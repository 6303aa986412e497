// The resource script and the dialog template describe the same dialog 101:
// the script is what a Windows build compiles, the template what the
// desktop window system builds the dialog from.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "res/dialog_template.h"
#include "res/resource.h"

namespace pache {
namespace {

std::string ReadScript() {
  std::ifstream file(PACHE_SOURCE_DIR "/res/pache.rc", std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::string Trim(std::string_view text) {
  std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return "";
  std::size_t end = text.find_last_not_of(" \t");
  return std::string(text.substr(begin, end - begin + 1));
}

// Fields separated by commas outside quotes; quoted fields keep their quotes.
std::vector<std::string> Fields(std::string_view text) {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      fields.push_back(Trim(field));
      field.clear();
    } else {
      field += c;
    }
  }
  fields.push_back(Trim(field));
  return fields;
}

std::string Unquoted(const std::string& field) {
  EXPECT_TRUE(field.size() >= 2 && field.front() == '"' && field.back() == '"') << field;
  return field.size() >= 2 ? field.substr(1, field.size() - 2) : field;
}

// The value of "A | B | 12": symbols of windows.h and resource.h, or numbers.
std::int64_t Value(const std::string& expression) {
  static const std::map<std::string, std::int64_t> kSymbols = {
      {"WS_POPUP", WS_POPUP},       {"WS_CHILD", WS_CHILD},
      {"WS_VISIBLE", WS_VISIBLE},   {"WS_CAPTION", WS_CAPTION},
      {"WS_TABSTOP", WS_TABSTOP},   {"DS_SETFONT", DS_SETFONT},
      {"DS_CENTER", DS_CENTER},     {"SS_BITMAP", SS_BITMAP},
      {"BS_PUSHBUTTON", BS_PUSHBUTTON}, {"IDD_PATCH_MENU", IDD_PATCH_MENU},
      {"IDB_ARTWORK", IDB_ARTWORK}, {"IDI_PROGRAM", IDI_PROGRAM},
      {"IDC_ARTWORK", IDC_ARTWORK}, {"IDC_START", IDC_START},
      {"IDC_QUIT", IDC_QUIT},
  };
  std::int64_t value = 0;
  std::istringstream terms(expression);
  for (std::string term; std::getline(terms, term, '|');) {
    term = Trim(term);
    auto symbol = kSymbols.find(term);
    if (symbol != kSymbols.end()) {
      value |= symbol->second;
    } else if (!term.empty() && term.find_first_not_of("0123456789") == std::string::npos) {
      value |= std::stoll(term);
    } else {
      ADD_FAILURE() << "unknown term: " << term;
    }
  }
  return value;
}

// The rest of the first line that starts with `keyword`, or "" when none does.
std::string After(const std::vector<std::string>& lines, std::string_view keyword) {
  for (const std::string& line : lines) {
    if (line.starts_with(keyword)) return Trim(std::string_view(line).substr(keyword.size()));
  }
  ADD_FAILURE() << "no line starts with " << keyword;
  return "";
}

TEST(ResourceScript, DescribesThePatchMenuAsTheTemplateDoes) {
  const std::vector<std::string> lines = Lines(ReadScript());
  ASSERT_FALSE(lines.empty()) << "cannot read res/pache.rc";
  const DialogTemplate& dialog = PatchMenuTemplate();

  std::vector<std::string> header = Fields(After(lines, "IDD_PATCH_MENU DIALOG "));
  ASSERT_EQ(header.size(), 4u);
  EXPECT_EQ(dialog.id, IDD_PATCH_MENU);
  EXPECT_EQ(Value(header[0]), dialog.x);
  EXPECT_EQ(Value(header[1]), dialog.y);
  EXPECT_EQ(Value(header[2]), dialog.width);
  EXPECT_EQ(Value(header[3]), dialog.height);
  EXPECT_EQ(Value(After(lines, "STYLE ")), dialog.style);
  EXPECT_EQ(Unquoted(After(lines, "CAPTION ")), dialog.caption);
  std::vector<std::string> font = Fields(After(lines, "FONT "));
  ASSERT_EQ(font.size(), 2u);
  EXPECT_EQ(Value(font[0]), dialog.fontPointSize);
  EXPECT_EQ(Unquoted(font[1]), dialog.fontName);

  std::vector<std::vector<std::string>> controls;
  for (const std::string& line : lines) {
    std::string trimmed = Trim(line);
    if (trimmed.starts_with("CONTROL ")) controls.push_back(Fields(trimmed.substr(8)));
  }
  ASSERT_EQ(static_cast<int>(controls.size()), dialog.controlCount);
  for (int i = 0; i < dialog.controlCount; ++i) {
    const DialogControl& expected = dialog.controls[i];
    const std::vector<std::string>& control = controls[i];
    SCOPED_TRACE("control " + std::to_string(i + 1));
    ASSERT_EQ(control.size(), 8u);
    if (expected.text != nullptr) {
      EXPECT_EQ(Unquoted(control[0]), expected.text);
    } else {
      EXPECT_EQ(Value(control[0]), expected.imageId);
    }
    EXPECT_EQ(Value(control[1]), expected.id);
    EXPECT_EQ(Unquoted(control[2]),
              expected.controlClass == ControlClass::Static ? "Static" : "Button");
    EXPECT_EQ(Value(control[3]), expected.style);
    EXPECT_EQ(Value(control[4]), expected.x);
    EXPECT_EQ(Value(control[5]), expected.y);
    EXPECT_EQ(Value(control[6]), expected.width);
    EXPECT_EQ(Value(control[7]), expected.height);
  }
}

TEST(ResourceScript, IsJapaneseAndNamesTheBitmapAndTheIcon) {
  const std::vector<std::string> lines = Lines(ReadScript());
  EXPECT_EQ(After(lines, "#pragma code_page("), "932)");
  EXPECT_EQ(After(lines, "LANGUAGE "), "LANG_JAPANESE, SUBLANG_DEFAULT");
  EXPECT_EQ(After(lines, "IDB_ARTWORK BITMAP "), "\"artwork.bmp\"");
  EXPECT_EQ(After(lines, "IDI_PROGRAM ICON "), "\"pache.ico\"");
}

}  // namespace
}  // namespace pache
