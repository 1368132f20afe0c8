#include "input/line_reader.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace quenfold {
namespace {

struct Read {
  std::vector<std::string> lines;
  uint64_t count = 0;
};

// Hands out the bytes of a text `chunk` at a time, as a pipe may.
struct Trickle {
  std::string text;
  size_t at = 0;
  size_t chunk;
  static long read(void* context, char* buffer, size_t size) {
    auto* t = static_cast<Trickle*>(context);
    size_t n = std::min({size, t->chunk, t->text.size() - t->at});
    std::memcpy(buffer, t->text.data() + t->at, n);
    t->at += n;
    return static_cast<long>(n);
  }
  // A reader of the whole text in memory (chunk 0), or of this trickle.
  std::unique_ptr<Reader> reader() {
    return chunk == 0 ? std::make_unique<Reader>(text) : std::make_unique<Reader>(&Trickle::read, this);
  }
};

// Every line of `input`, read from memory (chunk 0) or `chunk` bytes at a
// time, so that the reader refills at every position of a line.
Read read_all(const std::string& input, size_t chunk = 0) {
  Trickle trickle{input, 0, chunk};
  std::unique_ptr<Reader> reader = trickle.reader();
  Read r;
  std::string storage;
  std::string_view line;
  while (read_line(*reader, storage, &line, &r.count)) r.lines.emplace_back(line);
  // The end stays the end.
  EXPECT_FALSE(read_line(*reader, storage, &line, &r.count));
  return r;
}

// The same through read_line_traced, which must read exactly as read_line
// does; every offset of its trace must lie inside the input.
Read read_all_traced(const std::string& input, size_t chunk = 0) {
  Trickle trickle{input, 0, chunk};
  std::unique_ptr<Reader> reader = trickle.reader();
  Read r;
  std::string line;
  LineTrace trace;
  while (read_line_traced(*reader, line, &r.count, trace)) {
    r.lines.push_back(line);
    EXPECT_EQ(trace.source.size(), line.size());
    for (uint64_t at : trace.source) EXPECT_LT(at, input.size());
    for (const LineTrace::Comment& c : trace.comments) {
      EXPECT_EQ(input[c.begin], '#');
      EXPECT_LE(c.end, input.size());
    }
  }
  EXPECT_FALSE(read_line_traced(*reader, line, &r.count, trace));
  return r;
}

const std::string M = "\xFF";  // marker byte

TEST(ReadLine, LogicalLines) {
  struct Case {
    const char* name;
    std::string input;
    std::vector<std::string> lines;
    uint64_t count;
  };
  const std::vector<Case> cases = {
      {"trims both ends", "  abc  \n", {"abc"}, 1},
      {"comment after text", "a # note\n", {"a"}, 1},
      {"blank and comment lines", "\n\n  \n#c\nx\n", {"x"}, 5},
      {"continuation keeps inner space", "a\\\n  b\n", {"a   b"}, 2},
      {"continuation ends a comment", "a #c \\\n d\n", {"a   d"}, 2},
      {"number sign inside quotes", "\"a#b\"\n", {"\"a"}, 1},
      {"escaped dollar", "\\$\n", {M + "\xA4"}, 1},
      {"escaped number sign begins no comment", "\\#x\n", {M + "\xA3" "x"}, 1},
      {"double backslash then dollar", "\\\\$\n", {"\\\\$"}, 1},
      {"backslash n and t kept", "\\n\\t\n", {"\\n\\t"}, 1},
      {"final backslash without newline", "abc\\", {"abc\\"}, 0},
      {"last line keeps trailing space", "abcd  ", {"abcd  "}, 0},
      {"last line without newline", "abc\nlast", {"abc", "last"}, 1},
      {"CR LF", "a\r\n", {"a"}, 1},
      {"backslash space newline", "x\\ \n", {"x\\"}, 1},
      {"continuation then end", "\\\n", {}, 1},
      {"NUL ends the visible line", std::string("ab\0cd\n", 6), {"ab"}, 1},
      {"NUL first gives an empty line", std::string("\0x\ny\n", 5), {"", "y"}, 2},
      {"backslash NUL", std::string("a\\\0b\n", 5), {"a\\"}, 1},
      {"raw 0xFF doubled", "a\xFF" "b\n", {"a" + M + M + "b"}, 1},
      {"backslash 0xFF", "\\\xFF\n", {"\\" + M + M}, 1},
      {"UTF-8 passes as it is", "\xE0\xA4\x95 \xE2\x82\xAC\n", {"\xE0\xA4\x95 \xE2\x82\xAC"}, 1},
      {"all escapable characters", "\\!\\\"\\#\\$\\%\\&\\'\\(\\)\\,\\@\\|\\~\n",
       {M + "\xA1" + M + "\xA2" + M + "\xA3" + M + "\xA4" + M + "\xA5" + M + "\xA6" + M + "\xA7" + M +
        "\xA8" + M + "\xA9" + M + "\xAC" + M + "\xC0" + M + "\xFC" + M + "\xFE"},
       1},
      {"escape inside a comment is dropped", "a #\\$b\nc\n", {"a", "c"}, 2},
      {"backslash colon kept", "\\:\n", {"\\:"}, 1},
  };
  for (const Case& c : cases) {
    for (size_t chunk : {0, 1, 3, 1 << 20}) {
      SCOPED_TRACE(std::string(c.name) + ", chunk " + std::to_string(chunk));
      Read r = read_all(c.input, chunk);
      EXPECT_EQ(r.lines, c.lines);
      EXPECT_EQ(r.count, c.count);
      Read traced = read_all_traced(c.input, chunk);
      EXPECT_EQ(traced.lines, c.lines);
      EXPECT_EQ(traced.count, c.count);
    }
  }
}

// Where each byte of a line came from, and the comments dropped on the way:
// the source offsets are shown as the input's bytes at them.
TEST(ReadLineTraced, SourcesAndComments) {
  struct Case {
    const char* name;
    std::string input;
    std::string line;
    std::string sources;               // input[source[i]] for every byte of the line
    std::vector<std::string> comments;  // input[begin, end) of each comment
    std::vector<size_t> at;            // bytes stored before each comment
  };
  const std::vector<Case> cases = {
      {"plain", "  ab \n", "ab", "ab", {}, {}},
      {"comment after text", "a #x y\nb\n", "a", "a", {"#x y"}, {2}},
      {"comment lines before", "#one\n  # two\nz\n", "z", "z", {"#one", "# two"}, {0, 0}},
      {"continuation ends a comment", "a #c \\\n d\n", "a   d", "a \\ d", {"#c "}, {2}},
      {"marker pair", "x\\$y\n", "x" + M + "\xA4" "y", "x\\$y", {}, {}},
      {"number sign in a comment", "a#b#c\n", "a", "a", {"#b#c"}, {1}},
      {"comment at the end of input", "a #z", "a ", "a ", {"#z"}, {2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reader reader(c.input);
    std::string line;
    LineTrace trace;
    ASSERT_TRUE(read_line_traced(reader, line, nullptr, trace));
    EXPECT_EQ(line, c.line);
    std::string sources;
    for (uint64_t at : trace.source) sources.push_back(c.input[at]);
    EXPECT_EQ(sources, c.sources);
    std::vector<std::string> comments;
    std::vector<size_t> at;
    for (const LineTrace::Comment& comment : trace.comments) {
      comments.push_back(c.input.substr(comment.begin, comment.end - comment.begin));
      at.push_back(comment.at);
    }
    EXPECT_EQ(comments, c.comments);
    EXPECT_EQ(at, c.at);
  }
}

TEST(ReadLine, LongLineAcrossRefills) {
  std::string big(10 * 1024 * 1024, 'x');
  for (size_t chunk : {0, 4096, 100000}) {
    Read r = read_all("  " + big + "  \nnext\n" + big, chunk);
    ASSERT_EQ(r.lines.size(), 3u);
    EXPECT_EQ(r.lines[0], big);
    EXPECT_EQ(r.lines[1], "next");
    EXPECT_EQ(r.lines[2], big);
  }
}

TEST(ReadLine, NoCountWhenNull) {
  const std::string text = "a\nb\n";  // the reader keeps a view of it
  Reader reader(text);
  std::string line;
  ASSERT_TRUE(read_line(reader, line, nullptr));
  EXPECT_EQ(line, "a");
}

// A pipe fed with `text` by a child process, so that it never fills up
// against the reader. Returns the reading end; `child` is the writer.
int feed_pipe(const std::string& text, pid_t* child) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  *child = fork();
  if (*child == 0) {
    close(fds[0]);
    size_t done = 0;
    while (done < text.size()) {
      ssize_t n = write(fds[1], text.data() + done, text.size() - done);
      if (n <= 0) _exit(1);
      done += static_cast<size_t>(n);
    }
    _exit(0);
  }
  close(fds[1]);
  return fds[0];
}

// Everything after the held position is kept, past the point (2 MiB) where
// the buffer moves to huge pages.
TEST(Reader, HeldPositionCanBeReturnedToOnAPipe) {
  std::string text;
  for (int i = 0; i < 300000; ++i) text += "line " + std::to_string(i) + "\n";
  pid_t child;
  int fd = feed_pipe(text, &child);
  ASSERT_GE(fd, 0);
  Reader reader(fd, true);
  std::string line;
  ASSERT_TRUE(read_line(reader, line, nullptr));
  uint64_t mark = reader.tell();
  reader.hold(mark);
  std::vector<std::string> first;
  while (read_line(reader, line, nullptr)) first.push_back(line);
  ASSERT_EQ(first.size(), 299999u);
  ASSERT_TRUE(reader.seek(mark));
  std::vector<std::string> again;
  while (read_line(reader, line, nullptr)) again.push_back(line);
  EXPECT_EQ(first, again);
  reader.release(mark);
  int status;
  waitpid(child, &status, 0);
}

TEST(Reader, UnheldPositionOfAPipeIsGone) {
  pid_t child;
  int fd = feed_pipe(std::string(200000, 'a'), &child);
  ASSERT_GE(fd, 0);
  Reader reader(fd, true);
  while (reader.get() >= 0) {
  }
  EXPECT_FALSE(reader.seek(0));
  int status;
  waitpid(child, &status, 0);
}

}  // namespace
}  // namespace quenfold
