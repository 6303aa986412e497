#include "check/install_check.h"

#include <gtest/gtest.h>

namespace pache {
namespace {

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
