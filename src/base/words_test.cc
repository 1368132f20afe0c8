#include "base/words.h"

#include <gtest/gtest.h>

#include <string>

namespace quenfold {
namespace {

// The block-wise cut and the byte-wise one agree on texts of every length up
// to a few blocks, with white space of every kind at every place: none, one
// gap, a leading gap, a trailing one, and gaps that run past a block.
TEST(SplitWord, BlockWiseAgreesWithByteWise) {
  const char kSpaces[] = {' ', '\t', '\n', '\v', '\f', '\r'};
  size_t checked = 0;
  for (size_t length = 0; length <= 40; ++length) {
    for (size_t gap_at = 0; gap_at <= length; ++gap_at) {
      for (size_t gap = 0; gap_at + gap <= length && gap <= 20; ++gap) {
        std::string text(length, 'w');
        for (size_t i = 0; i < gap; ++i) text[gap_at + i] = kSpaces[(gap_at + i) % 6];
        // Bytes next to white space in the character table stay words.
        if (length > 0 && gap_at != 0) text[0] = '\x08';
        if (length > 1 && gap_at + gap < length) text[length - 1] = '\x0e';
        SplitWord fast = split_word(text);
        SplitWord slow = split_word_slow(text);
        ASSERT_EQ(fast.word, slow.word) << length << " " << gap_at << " " << gap;
        ASSERT_EQ(fast.rest, slow.rest) << length << " " << gap_at << " " << gap;
        ASSERT_EQ(fast.has_rest, slow.has_rest) << length << " " << gap_at << " " << gap;
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 1000u);
  SplitWord cut = split_word("@DEFINE name  the value");
  EXPECT_EQ(cut.word, "@DEFINE");
  EXPECT_EQ(cut.rest, "name  the value");
  EXPECT_TRUE(cut.has_rest);
}

}  // namespace
}  // namespace quenfold
