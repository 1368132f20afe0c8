#include "driver/args.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace quenfold {
namespace {

constexpr const char* kOptions = "D:i:qv";

// Runs get_option to the end and renders every result: a letter (or '-', '?')
// followed by [option_arg] when that is not null, "op[word]" for an operand.
std::string scan(ArgList& args, const char* optstring = kOptions) {
  std::string out;
  for (int calls = 0; calls < 100000; ++calls) {
    const int result = args.get_option(optstring);
    if (result == 0) {
      EXPECT_EQ(args.option_arg(), nullptr);
      EXPECT_EQ(args.count(), 0);
      return out;
    }
    if (!out.empty()) out += ' ';
    out += result == -1 ? std::string("op") : std::string(1, static_cast<char>(result));
    if (args.option_arg() != nullptr) out += std::string("[") + args.option_arg() + "]";
  }
  ADD_FAILURE() << "get_option never reported the end";
  return out;
}

std::vector<std::string> words_of(const ArgList& args) {
  std::vector<std::string> words;
  for (int i = 0; i < args.count(); ++i) words.emplace_back(args.word(i));
  return words;
}

struct ScanCase {
  std::vector<const char*> words;
  const char* expected;
};

void check_scans(const std::vector<ScanCase>& cases, const char* optstring) {
  for (const ScanCase& c : cases) {
    std::string trace;
    for (const char* w : c.words) trace += std::string("<") + w + "> ";
    SCOPED_TRACE(trace);
    ArgList args;
    ASSERT_EQ(args.insert_args(static_cast<int>(c.words.size()), c.words.data()),
              static_cast<int>(c.words.size()));
    EXPECT_EQ(scan(args, optstring), c.expected);
  }
}

TEST(ArgListTest, ScansOptionsAndOperands) {
  check_scans(
      {
          {{}, ""},
          {{"-qv"}, "q v"},
          {{"-q", "-v"}, "q v"},
          {{"-Dx=1"}, "D[x=1]"},
          {{"-D", "x=1"}, "D[x=1]"},
          // White space after a letter that takes an argument is skipped.
          {{"-D x=1"}, "D[x=1]"},
          {{"-D \t", "y"}, "D[y]"},
          {{"-D"}, "?[Argument needed for option 'D']"},
          {{"-qD"}, "q ?[Argument needed for option 'D']"},
          // A required argument is the next word, whatever it begins with.
          {{"-D", "-q"}, "D[-q]"},
          {{"-D", "--", "-v"}, "D[--] v"},
          {{"-i", "-"}, "i[-]"},
          {{"-D", ""}, "D[]"},
          {{"-qDx", "y"}, "q D[x] op[y]"},
          {{"-qD", "x", "y"}, "q D[x] op[y]"},
          {{"-vi", "dir", "-q"}, "v i[dir] q"},
          {{"-x"}, "?[Unrecognized option x]"},
          {{"-xq"}, "?[Unrecognized option x] q"},
          {{"-q-v"}, "q ?[Unrecognized option -] v"},
          {{"-:"}, "?[Unrecognized option :]"},
          {{"-?q"}, "? q"},
          {{"--x"}, "?[Unrecognized option -] ?[Unrecognized option x]"},
          // Operands come back in place.
          {{"a", "-q", "b"}, "op[a] q op[b]"},
          {{""}, "op[]"},
          {{"-"}, "-"},
          {{"-", "-q"}, "- q"},
          {{"--", "-q", "-"}, "op[-q] op[-]"},
          {{"--", "--"}, "op[--]"},
          {{"-q", "--", "-v", "--"}, "q op[-v] op[--]"},
          {{"--"}, ""},
      },
      kOptions);
}

TEST(ArgListTest, OptionalArgument) {
  check_scans(
      {
          {{"-afoo"}, "a[foo]"},
          {{"-a foo"}, "a[foo]"},
          {{"-ab"}, "a[b]"},
          // An optional argument must be attached to its letter.
          {{"-a", "foo"}, "a op[foo]"},
          {{"-a "}, "a"},
          {{"-ba"}, "b a"},
          {{"-;"}, "?[Unrecognized option ;]"},
      },
      "a;b");
}

TEST(ArgListTest, HighByteLetterIsPositive) {
  const char* words[] = {"-\xff\xe9"};
  ArgList args;
  args.insert_args(1, words);
  EXPECT_EQ(args.get_option("\xe9\xff"), 0xff);
  EXPECT_EQ(args.get_option("\xe9\xff"), 0xe9);
  EXPECT_EQ(args.get_option("\xe9\xff"), 0);
}

TEST(ArgListTest, EmptyListEndsAtOnce) {
  ArgList args;
  EXPECT_EQ(args.get_option(kOptions), 0);
  EXPECT_EQ(args.get_option(kOptions), 0);
  EXPECT_EQ(args.insert_args(0, nullptr), 0);
  EXPECT_EQ(args.split_args(""), 0);
  EXPECT_EQ(args.split_args(" \t\n\v\f\r"), 0);
  EXPECT_EQ(args.count(), 0);
}

TEST(ArgListTest, InsertsAtScanPosition) {
  const char* first[] = {"a", "b"};
  const char* second[] = {"x", "y"};
  ArgList args;
  ASSERT_EQ(args.insert_args(2, first), 2);
  ASSERT_EQ(args.get_option(kOptions), -1);
  EXPECT_STREQ(args.option_arg(), "a");
  ASSERT_EQ(args.insert_args(2, second), 4);
  EXPECT_EQ(scan(args), "op[x] op[y] op[b]");
}

struct SplitCase {
  const char* text;
  std::vector<std::string> words;
};

TEST(ArgListTest, SplitsVariableText) {
  const SplitCase cases[] = {
      {R"(-q "a b" c\ d 'e''f')", {"-q", "a b", "c d", "e'f"}},
      {R"("a b)", {"a b"}},
      {R"(a "" b)", {"a", "", "b"}},
      {R"("" a)", {"", "a"}},
      {R"(a "")", {"a"}},
      {R"(a "" )", {"a", ""}},
      // A lone empty group is a last word that is empty.
      {R"("")", {}},
      {"  a   b  ", {"a", "b"}},
      {"\ta\nb\v\fc\r", {"a", "b", "c"}},
      {"\xa0x y", {"\xa0x", "y"}},
      // Quotes and backslashes.
      {R"(a\"b)", {"a\"b"}},
      {R"("a\"b")", {"a\"b"}},
      {R"('a\'b')", {"a'b"}},
      {R"("a\\b")", {"a\\b"}},
      {R"('a"b' "a'b")", {"a\"b", "a'b"}},
      {R"("a"b)", {"ab"}},
      {R"(a"b c"d)", {"ab cd"}},
      {R"("a" b)", {"a", "b"}},
      {R"("a"\ b)", {"a b"}},
      {R"('x'"y")", {"x\"y"}},
      {R"(\\ \')", {"\\", "'"}},
      {R"(a\ )", {"a "}},
      // A backslash at the very end is dropped and the scan stops.
      {R"(a\)", {"a"}},
      {R"(a \)", {"a"}},
      {R"(a\ \)", {"a "}},
      {R"("a b\)", {"a b"}},
      {R"('\)", {}},
      {R"(\)", {}},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.text);
    ArgList args;
    const int result = args.split_args(c.text);
    EXPECT_EQ(result, static_cast<int>(c.words.size()));
    EXPECT_EQ(words_of(args), c.words);
  }
}

TEST(ArgListTest, EmptyWordIsAnOperand) {
  ArgList args;
  ASSERT_EQ(args.split_args(R"(a "" b)"), 3);
  EXPECT_EQ(scan(args), "op[a] op[] op[b]");
}

TEST(ArgListTest, SplitsManyWords) {
  std::string text;
  for (int i = 0; i < 10000; ++i) text += "w" + std::to_string(i) + (i % 2 ? "\t" : " ");
  ArgList args;
  ASSERT_EQ(args.split_args(text.c_str()), 10000);
  for (int i = 0; i < 10000; ++i) {
    ASSERT_EQ(args.get_option(kOptions), -1);
    ASSERT_EQ(args.option_arg(), "w" + std::to_string(i));
  }
  EXPECT_EQ(args.get_option(kOptions), 0);
}

TEST(ArgListTest, WordsOutliveTheList) {
  std::string text = "-D name=value";
  ArgList args;
  ASSERT_EQ(args.split_args(text.c_str()), 2);
  text.assign(text.size(), 'z');  // the list must not point into the caller's text
  ASSERT_EQ(args.get_option(kOptions), 'D');
  const char* value = args.option_arg();
  EXPECT_EQ(args.get_option(kOptions), 0);
  EXPECT_STREQ(value, "name=value");
}

// Sets or clears the variable for one test and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

struct InitCase {
  const char* variable;  // null: unset
  std::vector<const char*> argv;
  const char* expected;
};

TEST(ArgListTest, InitArgs) {
  const InitCase cases[] = {
      {"-q -D X=1", {"/some/dir/qftest_prog", "-v", "data"}, "q D[X=1] v op[data]"},
      {"-q", {"qftest_prog", "a"}, "q op[a]"},
      {nullptr, {"/some/dir/qftest_prog", "-v", "data"}, "v op[data]"},
      {nullptr, {"/some/dir/qftest_prog"}, ""},
      {"", {"/some/dir/qftest_prog", "x"}, "op[x]"},
      {" \t ", {"/some/dir/qftest_prog"}, ""},
      // The name is only the text after the last slash.
      {"-q", {"/qftest_prog/other", "x"}, "op[x]"},
      {"-q", {"/some/dir/", "x"}, "op[x]"},
      // Environment words come first, so a "--" there covers the command line.
      {"-- -v", {"qftest_prog", "-q"}, "op[-v] op[-q]"},
      {"-D", {"qftest_prog", "val"}, "D[val]"},
  };
  for (const InitCase& c : cases) {
    SCOPED_TRACE(c.variable ? c.variable : "(unset)");
    ScopedEnv env("qftest_prog", c.variable);
    ArgList args;
    EXPECT_GE(args.init_args(static_cast<int>(c.argv.size()), c.argv.data()), 0);
    EXPECT_EQ(scan(args), c.expected);
  }
}

}  // namespace
}  // namespace quenfold
