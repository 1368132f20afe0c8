#include "output/writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace quenfold {
namespace {

std::string written(const std::string& text) {
  std::string sink;
  Writer out(-1, &sink);
  EXPECT_EQ(write_line(out, text), 0);
  EXPECT_TRUE(out.flush());
  return sink;
}

TEST(WriteLine, DecodesEscapesAndMarkers) {
  struct Case {
    const char* name;
    std::string text;
    std::string out;
  };
  const Case cases[] = {
      {"backslash n", "a\\nb", "a\nb\n"},
      {"backslash t kept", "\\t", "\\t\n"},
      {"empty", "", "\n"},
      {"marker pair", "\xFF\xA4x", "$x\n"},
      {"marker last", "ab\xFF", "ab\n"},
      {"raw 0xFF pair", "a\xFF\xFF" "b", "a\xFF" "b\n"},
      {"two backslashes and n", "\\\\n", "\\\\n\n"},
      {"backslash then pair", "\\\xFF\xA4", "\\$\n"},
      {"marker before backslash n", "\xFF\\n", "\n\n"},
      {"lone backslash at the end", "abc\\", "abc\\\n"},
      {"UTF-8 unchanged", "\xE0\xA4\x95\xE2\x82\xAC", "\xE0\xA4\x95\xE2\x82\xAC\n"},
      {"every escapable", "\xFF\xA1\xFF\xA2\xFF\xA3\xFF\xA5\xFF\xA6\xFF\xA7\xFF\xA8\xFF\xA9\xFF\xAC\xFF\xC0\xFF\xFC\xFF\xFE",
       "!\"#%&'(),@|~\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(written(c.text), c.out);
  }
}

TEST(WriteLine, LargeOutputIsKeptWhole) {
  std::string sink;
  Writer out(-1, &sink);
  std::string line(100000, 'q');
  for (int i = 0; i < 5; ++i) write_line(out, line);
  ASSERT_TRUE(out.flush());
  EXPECT_EQ(sink.size(), 5u * 100001u);
}

// Only complete lines go out: a line still being built when the run ends
// (its expansion failed) is dropped, and a long line goes out whole.
TEST(Writer, OnlyCompleteLinesGoOut) {
  std::string sink;
  Writer out(-1, &sink);
  write_line(out, "first");
  out.put("half a li");
  EXPECT_TRUE(out.flush());
  EXPECT_EQ(sink, "first\n");
  out.put("ne");
  out.end_line();
  std::string big(200000, 'b');
  out.put_line(big);
  EXPECT_TRUE(out.flush());
  EXPECT_EQ(sink, "first\nhalf a line" + big + "\n");
}

TEST(DecodeFrom, LeavesWhatComesBeforeAlone) {
  TextBuffer text;
  text.append(std::string_view("kept \\n \xFF\xA4|"));
  size_t from = text.size();
  text.append(std::string_view("a\\nb \xFF\xA4x \xFF\xFF"));
  decode_from(text, from);
  EXPECT_EQ(text.view(), std::string_view("kept \\n \xFF\xA4|a\nb $x \xFF"));
}

TEST(WriteLine, WriteFailureIsReported) {
  int fd = open("/dev/full", O_WRONLY);
  ASSERT_GE(fd, 0);
  Writer out(fd);
  std::string line(70000, 'x');
  EXPECT_NE(write_line(out, line), 0);  // the buffer overflowed into a failed write
  EXPECT_FALSE(out.flush());
  close(fd);

  Writer small(-1);  // a closed descriptor
  EXPECT_EQ(write_line(small, "a"), 0);  // still buffered
  EXPECT_FALSE(small.flush());
  EXPECT_TRUE(small.error());
}

}  // namespace
}  // namespace quenfold
