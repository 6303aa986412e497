#include "check/install_check.h"

#include <gtest/gtest.h>

#include <string>

#include "app/texts.h"
#include "tests/unit/patch_machine.h"

namespace pache {
namespace {

using namespace machine;

TEST(CheckInstallation, ComparesTitleThenSameVersionThenOrder) {
  struct Case {
    std::string title;
    std::string version;
    std::string versionFile;  // as stored
    std::string refusal;      // empty: approved
  } cases[] = {
      {"Sample Story", "1.03", "Sample Story\r\n1.02\r\n", ""},
      {"Sample Story", "1.03", "Sample Story and more\r\n1.02\r\n", ""},
      {"", "1.03", "Anything\r\n1.02\r\n", ""},
      {"Sample Story", "1.03", "Sample\r\n1.02\r\n", kWrongTitleText},
      {"Sample Story", "1.03", "sample story\r\n1.02\r\n", kWrongTitleText},
      {"Sample Story", "", "Sample Story\r\n1.02\r\n", kSameVersionText},
      {"Sample Story", "abc102", "Sample Story\r\nabc101\r\n", ""},
      {"Sample Story", "abc102", "Sample Story\r\nabc102\r\n", kSameVersionText},
      {"Sample Story", "abc102", "Sample Story\r\nabc1025\r\n", kSameVersionText},
      {"Sample Story", "abc102", "Sample Story\r\nabc103\r\n", kHigherVersionText},
      {"Sample Story", "abc1.02", "Sample Story\r\nabc1.03\r\n", ""},
      {"Sample Story", "xyz5", "Sample Story\r\nabc4\r\n", ""},
      // A missing second line reads as empty: number 0.
      {"Sample Story", "1.03", "Sample Story\r\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title + " " + c.version + " " + c.versionFile);
    FakePlatform fake;
    Definition definition;
    definition.title = c.title;
    definition.version = c.version;
    InstallSample(fake, definition);
    fake.files.AddFile("C:\\Game\\version.txt", c.versionFile);
    PatchSession session(fake.platform());

    EXPECT_EQ(CheckInstallation(session), c.refusal.empty());
    auto boxes = fake.windows.messageBoxes();
    EXPECT_LE(boxes.size(), 1u);
    EXPECT_EQ(boxes.empty() ? "" : boxes[0].text, c.refusal);
  }
}

TEST(CheckInstallation, InstallDirEndsWithOneBackslash) {
  struct Case {
    std::string registered;
    std::string versionFileName;
    std::string installDir;
    std::string refusal;  // empty: approved
  } cases[] = {
      {"C:\\Game", "version.txt", "C:\\Game\\", ""},
      {"C:\\Game\\", "version.txt", "C:\\Game\\", ""},
      // The trail byte of the last character is a backslash.
      {"C:\\\x95\x5C", "version.txt", "C:\\\x95\x5C", ""},
      // No version file name: the install directory itself is not a file.
      {"C:\\Game", "", "C:\\Game\\", std::string("C:\\Game\\") + (kVersionFileMissingFormat + 2)},
      // A registered value that fills its text leaves no room for the
      // backslash: the product counts as not registered.
      {"C:\\" + std::string(508, 'g'), "version.txt", "", kNotInstalledText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.registered);
    FakePlatform fake;
    Definition definition;
    definition.versionFile = c.versionFileName;
    InstallSample(fake, definition);
    fake.registry.AddString(HKEY_LOCAL_MACHINE, kGameKey, "InstallDir", c.registered);
    fake.files.AddFile(c.installDir + "version.txt", "Sample Story\r\n1.02\r\n");
    PatchSession session(fake.platform());

    EXPECT_EQ(CheckInstallation(session), c.refusal.empty());
    EXPECT_EQ(session.installDir, c.installDir);
    auto boxes = fake.windows.messageBoxes();
    EXPECT_LE(boxes.size(), 1u);
    EXPECT_EQ(boxes.empty() ? "" : boxes[0].text, c.refusal);
  }
}

TEST(VersionNumber, ReadsFromTheFourthByteAsAtolDoes) {
  struct Case {
    const char* text;
    std::int32_t number;
  } cases[] = {
      {"1.03", 3},
      {"abc102", 102},
      {"abc1.02", 1},
      {"xyz5", 5},
      {"abc", 0},
      {"", 0},
      {"abcx1", 0},
      {"abc \t12", 12},
      {"abc+7", 7},
      {"abc-5", -5},
      {"abc4294967297", 1},             // wraps at 32 bits
      {"abc2147483648", INT32_MIN},     // wraps into the negative range
      {"abc-2147483648", INT32_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(VersionNumber(c.text), c.number) << c.text;
}

}  // namespace
}  // namespace pache
