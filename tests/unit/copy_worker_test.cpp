#include "apply/copy_worker.h"

#include <gtest/gtest.h>

namespace pache {
namespace {

TEST(SplitAtEquals, LeftBeforeTheFirstRightUpToTheSecond) {
  struct Case {
    const char* line;
    const char* left;
    const char* right;
    std::int32_t equals;
  } cases[] = {
      {"voice01.dat=data\\voice\\voice01.dat", "voice01.dat", "data\\voice\\voice01.dat", 1},
      {"a=b=c", "a", "b", 2},
      {"save", "save", "", 0},
      {"save=", "save", "", 1},
      {"=b", "", "b", 1},
      {"=", "", "", 1},
      {"", "", "", 0},
      {"a==b", "a", "", 2},
  };
  for (const Case& c : cases) {
    Text left = {};
    Text right = {};
    EXPECT_EQ(SplitAtEquals(c.line, left, right), c.equals) << c.line;
    EXPECT_STREQ(left, c.left) << c.line;
    EXPECT_STREQ(right, c.right) << c.line;
  }
}

}  // namespace
}  // namespace pache
