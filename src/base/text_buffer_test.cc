#include "base/text_buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace quenfold {
namespace {

// Pieces of every short length, and long ones, land exactly where a
// std::string would put them, across many growths.
TEST(TextBuffer, AppendsLikeAString) {
  TextBuffer b;
  std::string want;
  std::string source;
  for (int i = 0; i < 300; ++i) source.push_back(static_cast<char>('a' + i % 26));
  for (int round = 0; round < 40; ++round) {
    for (size_t n = 0; n <= 40; ++n) {
      b.append(source.data() + round, n);
      want.append(source.data() + round, n);
      b.push_back('|');
      want.push_back('|');
    }
    b.append(source);
    want.append(source);
  }
  EXPECT_EQ(b.view(), want);
  EXPECT_STREQ(b.c_str(), want.c_str());
  EXPECT_EQ(b.size(), want.size());
  b.truncate(5);
  EXPECT_EQ(b.str(), want.substr(0, 5));
  TextBuffer moved = std::move(b);
  EXPECT_EQ(moved.view(), want.substr(0, 5));
  EXPECT_TRUE(b.empty());
  EXPECT_STREQ(b.c_str(), "");
  moved.clear();
  EXPECT_EQ(moved.view(), "");
}

}  // namespace
}  // namespace quenfold
