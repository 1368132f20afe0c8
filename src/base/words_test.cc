#include "base/words.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
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

// The bytes of `text` in hexadecimal, for failure messages.
std::string show(std::string_view text) {
  std::string out;
  char two[4];
  for (char c : text) {
    std::snprintf(two, sizeof two, "%02x ", static_cast<unsigned char>(c));
    out += two;
  }
  return out;
}

// The cut made one byte at a time, as the definition reads: white space is
// the six bytes tab to carriage return and blank, and nothing else.
SplitWord cut_bytewise(std::string_view text) {
  auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  size_t i = 0;
  while (i < text.size() && space(text[i])) ++i;
  while (i < text.size() && !space(text[i])) ++i;
  SplitWord cut;
  cut.word = text.substr(0, i);
  while (i < text.size() && space(text[i])) ++i;
  if (i < text.size()) {
    cut.rest = text.substr(i);
    cut.has_rest = true;
  }
  return cut;
}

// split_word against the byte-by-byte cut on random texts of random bytes,
// white space of every kind and the bytes beside it in the character table
// (and high bytes whose low seven bits are white space) among them.
TEST(SplitWord, AgreesWithAByteByByteCutOnRandomTexts) {
  std::mt19937 random(11);
  const char kAlphabet[] = {' ', '\t', '\n', '\v', '\f', '\r', '\x08', '\x0e', '\x1f', '!',
                            '\x89', '\x8d', '\xa0', '\x85', '\0', 'w', '@'};
  for (int round = 0; round < 30000; ++round) {
    std::string text(random() % 40, 'w');
    int spaces = 1 + static_cast<int>(random() % 5);
    for (char& c : text) c = random() % 8 < static_cast<unsigned>(spaces) ? kAlphabet[random() % std::size(kAlphabet)] : 'w';
    SplitWord fast = split_word(text);
    SplitWord plain = cut_bytewise(text);
    ASSERT_EQ(fast.word, plain.word) << show(text);
    ASSERT_EQ(fast.rest, plain.rest) << show(text);
    ASSERT_EQ(fast.has_rest, plain.has_rest) << show(text);
  }
}

}  // namespace
}  // namespace quenfold
