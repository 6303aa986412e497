#include "data/scrambled.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "data/text_cursor.h"
#include "tests/fake/fake_platform.h"

namespace pache {
namespace {

std::string Bytes(const TextBuffer& text) {
  return std::string(reinterpret_cast<const char*>(text.bytes), static_cast<std::size_t>(text.length));
}

std::string Scrambled(std::string plain) {
  InvertBytes(reinterpret_cast<std::uint8_t*>(plain.data()), static_cast<std::int32_t>(plain.size()));
  return plain;
}

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

class Loads : public ::testing::Test {
 protected:
  void TearDown() override {
    ReleaseText(session, session.definitionText);
    ReleaseText(session, session.versionFile);
    EXPECT_EQ(fake.system.liveBlocks(), 0);
    EXPECT_EQ(fake.system.badReleases(), 0);
    EXPECT_EQ(fake.files.OpenHandleCount(), 0);
  }

  FakePlatform fake;
  PatchSession session{fake.platform()};
};

TEST_F(Loads, AScrambledFileLoadsDecodedWithItsExactLength) {
  fake.files.AddFile("C:\\patch\\PACH.suk", "\xAB\xB6\xAB\xB0\xB3\xC2\xF2\xF5");
  ASSERT_TRUE(LoadScrambledText(session, "C:\\patch\\PACH.suk"));
  EXPECT_EQ(session.definitionText.length, 8);
  EXPECT_EQ(Bytes(session.definitionText), "TITOL=\r\n");
  EXPECT_EQ(fake.system.allocations().back(), 8u) << "no room for a ninth byte";
}

TEST_F(Loads, ASecondLoadReplacesAndReleasesTheFirst) {
  fake.files.AddFile("C:\\PACH.suk", Scrambled("TITOL=a\r\n"));
  fake.files.AddFile("C:\\an\\CP_Data.suk", Scrambled("C:\\Game\\x\n\n<END>\n\n"));
  ASSERT_TRUE(LoadScrambledText(session, "C:\\PACH.suk"));
  ASSERT_TRUE(LoadScrambledText(session, "C:\\an\\CP_Data.suk"));
  EXPECT_EQ(fake.system.liveBlocks(), 1);
  Text value;
  EXPECT_EQ(ReadKeyValue(session, "TITOL=", 6, value), 0) << "the old text is still searched";
  std::int32_t cursor = 0;
  EXPECT_TRUE(FindMarker(session, cursor, "<END>", 5, false));
}

TEST_F(Loads, AFailedLoadLeavesTheTextAsItWas) {
  fake.files.AddFile("C:\\PACH.suk", Scrambled("TITOL=a\r\n"));
  fake.files.AddFile("C:\\busy.suk", Scrambled("x"));
  ASSERT_TRUE(LoadScrambledText(session, "C:\\PACH.suk"));

  FileHandle holder = fake.files.OpenForReading("C:\\busy.suk");
  EXPECT_FALSE(LoadScrambledText(session, "C:\\busy.suk")) << "opened although already open";
  fake.files.Close(holder);
  EXPECT_FALSE(LoadScrambledText(session, "C:\\missing.suk"));
  EXPECT_FALSE(LoadScrambledText(session, "C:\\"));
  fake.system.faults().FailNth(SystemCall::Allocate, 1);
  EXPECT_FALSE(LoadScrambledText(session, "C:\\busy.suk")) << "loaded without memory";

  EXPECT_EQ(Bytes(session.definitionText), "TITOL=a\r\n");
}

TEST_F(Loads, AnEmptyFileIsAnEmptyText) {
  fake.files.AddFile("C:\\PACH.suk", Scrambled("TITOL=a\r\n"));
  fake.files.AddFile("C:\\empty.suk", "");
  ASSERT_TRUE(LoadScrambledText(session, "C:\\PACH.suk"));
  ASSERT_TRUE(LoadScrambledText(session, "C:\\empty.suk"));
  EXPECT_EQ(session.definitionText.length, 0);
  Text value;
  EXPECT_EQ(ReadKeyValue(session, "TITOL=", 6, value), 0);
  std::int32_t cursor = 0;
  EXPECT_FALSE(FindMarker(session, cursor, "<COPY>", 6, true));
  EXPECT_EQ(cursor, 0);
  EXPECT_TRUE(AtEndOfText(session, cursor));
}

TEST_F(Loads, APlainFileKeepsItsBytesAsStored) {
  fake.files.AddFile("C:\\Game\\version.txt", "Sample\r\n1.02\r\n");
  fake.files.AddFile("C:\\Game\\other.txt", "\xFF\x00x");
  ASSERT_TRUE(LoadPlainFile(session, "C:\\Game\\other.txt", session.versionFile));
  ASSERT_TRUE(LoadPlainFile(session, "C:\\Game\\version.txt", session.versionFile));
  EXPECT_EQ(Bytes(session.versionFile), "Sample\r\n1.02\r\n");
  EXPECT_EQ(fake.system.liveBlocks(), 1);
  EXPECT_EQ(session.definitionText.length, 0) << "the definition text was touched";
  EXPECT_FALSE(LoadPlainFile(session, "C:\\Game\\missing.txt", session.versionFile));
  EXPECT_EQ(Bytes(session.versionFile), "Sample\r\n1.02\r\n");
}

TEST_F(Loads, ReleaseTextEmptiesTheBufferOnce) {
  fake.files.AddFile("C:\\PACH.suk", "abc");
  ASSERT_TRUE(LoadScrambledText(session, "C:\\PACH.suk"));
  ReleaseText(session, session.definitionText);
  EXPECT_EQ(session.definitionText.bytes, nullptr);
  EXPECT_EQ(session.definitionText.length, 0);
  ReleaseText(session, session.definitionText);
}

}  // namespace
}  // namespace pache
