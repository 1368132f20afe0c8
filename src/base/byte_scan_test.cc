#include "base/byte_scan.h"

#include <gtest/gtest.h>

#include <string>

namespace quenfold {
namespace {

// Every length up to a few blocks, with the wanted byte at every position and
// nowhere: the block loop, the overlapping last block and the short path.
const char* find(const char* begin, const char* end) { return find_any<'$', '#'>(begin, end); }

TEST(FindAny, FindsTheFirstWantedByteAtEveryPosition) {
  for (size_t length = 0; length <= 50; ++length) {
    std::string text(length, 'a');
    const char* begin = text.data();
    EXPECT_EQ(find(begin, begin + length), begin + length) << length;
    for (size_t at = 0; at < length; ++at) {
      std::string marked = text;
      marked[at] = at % 2 ? '$' : '#';
      if (at + 3 < length) marked[at + 3] = '$';  // a later hit must not win
      const char* b = marked.data();
      EXPECT_EQ(find(b, b + length), b + at) << length << " " << at;
      // Starting past the hit finds the later one, or nothing.
      const char* from = b + at + 1;
      const char* want = at + 3 < length ? b + at + 3 : b + length;
      EXPECT_EQ(find(from, b + length), want) << length << " " << at;
    }
  }
}

// find_any_within may read the block that ends the range when fewer than
// sixteen bytes are left: same answers, from every start, in ranges inside
// texts of every length.
TEST(FindAny, WithinALargerRange) {
  for (size_t length = 0; length <= 40; ++length) {
    for (size_t hit = 0; hit <= length; ++hit) {
      std::string text(length, 'a');
      if (hit < length) text[hit] = '$';
      const char* b = text.data();
      const char* e = b + length;
      for (size_t from = 0; from <= length; ++from) {
        const char* want = hit >= from && hit < length ? b + hit : e;
        ASSERT_EQ((find_any_within<'$', '#'>(b, b + from, e)), want) << length << " " << hit << " " << from;
      }
    }
  }
}

TEST(FindAny, HighBytesAndZero) {
  std::string text = std::string(20, 'x') + '\xFF' + std::string(5, 'y');
  text[3] = '\0';
  const unsigned char* b = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* e = b + text.size();
  const unsigned char* high = find_any<0xFF>(b, e);
  const unsigned char* zero = find_any<0>(b, e);
  EXPECT_EQ(high, b + 20);
  EXPECT_EQ(zero, b + 3);
}

}  // namespace
}  // namespace quenfold
