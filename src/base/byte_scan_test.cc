#include "base/byte_scan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

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

// A word of bytes read one at a time: byte i is bits 8i to 8i+7.
uint64_t word_of(const unsigned char* p, size_t n) {
  uint64_t word = 0;
  for (size_t i = 0; i < n; ++i) word |= static_cast<uint64_t>(p[i]) << (8 * i);
  return word;
}

// The words the tables and the expander compare are the same on every host:
// load_padded, load_le64 and load_le32 against a byte-by-byte reading, at
// every length and every alignment, on random bytes; le() gives back the
// bytes in memory order.
TEST(Words, LoadsAgreeWithBytesReadOneAtATime) {
  std::mt19937 random(19);
  std::vector<unsigned char> bytes(64);
  for (int round = 0; round < 2000; ++round) {
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
    const char* base = reinterpret_cast<const char*>(bytes.data());
    for (size_t offset = 0; offset < 8; ++offset) {
      const unsigned char* p = bytes.data() + offset;
      for (size_t n = 0; n <= 8; ++n) {
        ASSERT_EQ(load_padded(base + offset, n), word_of(p, n)) << round << " " << offset << " " << n;
      }
      ASSERT_EQ(load_le64(base + offset), word_of(p, 8));
      ASSERT_EQ(load_le32(base + offset), word_of(p, 4));
      uint64_t in_memory = le(load_le64(base + offset));
      ASSERT_EQ(std::memcmp(&in_memory, p, 8), 0);
    }
  }
  EXPECT_EQ(load_padded("ab", 2), 0x6261u);
  EXPECT_EQ(load_padded("DEFINE", 6), 0x454E49464544u);
}

// find_any and find_any_within against a plain scan, on random texts made
// mostly of the wanted bytes' neighbours (high bytes, zero, 0xFF), from
// random starts, in ranges of every length up to a few blocks.
TEST(FindAny, AgreesWithAPlainScanOnRandomTexts) {
  std::mt19937 random(7);
  const unsigned char kAlphabet[] = {'a', '$', '#', 0, 0xFF, 0x80, 0xA4, 0xA3, 0x24 ^ 0x20, 'z'};
  for (int round = 0; round < 20000; ++round) {
    size_t length = random() % 70;
    std::string text(length, 'a');
    int hits = static_cast<int>(random() % 4);  // few wanted bytes, often none
    for (char& c : text) {
      c = static_cast<char>(kAlphabet[random() % std::size(kAlphabet)]);
      if ((c == '$' || c == '#') && hits-- <= 0) c = 'a';
    }
    const char* b = text.data();
    const char* e = b + length;
    size_t from = length == 0 ? 0 : random() % (length + 1);
    const char* want = b + from;
    while (want != e && *want != '$' && *want != '#') ++want;
    ASSERT_EQ((find_any<'$', '#'>(b + from, e)), want) << round;
    ASSERT_EQ((find_any_within<'$', '#'>(b, b + from, e)), want) << round;
    const char* high = b + from;
    while (high != e && static_cast<unsigned char>(*high) != 0xFF && *high != '\0') ++high;
    ASSERT_EQ((find_any<0xFF, 0>(b + from, e)), high) << round;
  }
}

}  // namespace
}  // namespace quenfold
