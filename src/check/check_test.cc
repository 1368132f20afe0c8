#include "check/check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace quenfold::check {
namespace {

// Where `name` warns in `script` ("LINE:COLUMN" each), and that nothing
// else warns there.
std::vector<std::string> found(const std::string& name, const std::string& script, const Options& options = {}) {
  std::vector<std::string> at;
  for (const Warning& w : check_script(script, "t.qf", options)) {
    if (w.name == name) {
      at.push_back(std::to_string(w.line) + ":" + std::to_string(w.column));
    } else {
      ADD_FAILURE() << "unexpected " << format_warning(w);
    }
  }
  return at;
}

struct Case {
  std::string script;
  std::vector<std::string> at;  // where the warning is, or nothing when the script must not warn
};

void check_table(const std::string& name, const std::vector<Case>& cases, const Options& options = {}) {
  for (const Case& c : cases) {
    SCOPED_TRACE(name + " on: " + c.script);
    EXPECT_EQ(found(name, c.script, options), c.at);
  }
}

const std::vector<std::string> none;

TEST(Check, CommentInText) {
  check_table("comment-in-text", {
      // Touching text, or standing inside quotes that it cuts off.
      {"color: #fff;\n", {"1:8"}},
      {"<a href=\"#top\">Top</a>\n", {"1:10"}},
      {"@DEFINE accent #ff6600\n", {"1:16"}},
      {"a#b\n", {"1:2"}},
      {"Fix #123: do not crash\n", {"1:5"}},
      {"x# note\n", {"1:2"}},
      {"say \"a # b\" twice\n", {"1:8"}},
      {"first\n  second \\\n  third#x\n", {"3:8"}},
      {"tabs\t#1\n", {"1:6"}},
      // Meant comments: alone on their line, or with blanks on both sides.
      {"# a comment\n", none},
      {"   # indented\n", none},
      {"text # note\n", none},
      {"text\t#\tnote\n", none},
      {"@ENDIF # mode\n", none},
      {"a \\\n# continued line begins with a comment\n", none},
      {"\"open # but the quote never closes\n", none},
      {"escaped \\#1 and \\# too\n", none},
      {"it's # note\n", none},
  });
  // The text says what is dropped.
  std::vector<Warning> w = check_script("color: #fff;   \n", "t.qf", {});
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(format_warning(w[0]),
            "t.qf:1:8: warning: '#' begins a comment, so \"#fff;\" is dropped; write \\# for the character itself "
            "[comment-in-text]");
}

TEST(Check, QuoteProtects) {
  check_table("quote-protects", {
      {"Don't forget, $(name): bring $(item).\n", {"1:4"}},
      {"it's $x\n", {"1:3"}},
      {"a 5\"x board for $(who)\n", {"1:4"}},
      {"@PRINT Don't forget $(name)\n", {"1:11"}},
      {"@DEFINE note Don't forget $(name)\n", {"1:17"}},
      {"$(link:/a, it's $(x))\n", {"1:14"}},
      {"l'été de $(ville)\n", {"1:2"}},
      // The quote hides a reference further on by moving the pairs.
      {"It's $(a) and it's $(b)\n", {"1:3"}},
      // At a word's edge, or hiding nothing, or paired: meant.
      {"\"$(url)\" is shown as written\n", none},
      {"'$x' and \"$y\"\n", none},
      {"Don't panic.\n", none},
      {"$(x) isn't expanded after, but nothing follows\n", none},
      {"Don't, won't $(x)\n", none},
      {"It\\'s $(url)\n", none},
      {"a \"b\"c $(x)\n", none},
      {"<a href=\\\"$(url)\\\">it</a>\n", none},
      {"@DEFINE x it's\n", none},
  });
  std::vector<Warning> w = check_script("Don't $x\n", "t.qf", {});
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].text, "the apostrophe in \"Don't\" opens a quote, so $x after it is not expanded; write \\' for a "
                       "plain apostrophe");
}

TEST(Check, BareParameter) {
  check_table("bare-parameter", {
      {"<p>Price: $5</p>\n", {"1:11"}},
      {"$(0)\n", {"1:1"}},
      {"$(link:$1)\n", {"1:8"}},
      {"@PRINT costs $9\n", {"1:14"}},
      {"@FOR x $1 $2\n", {"1:8", "1:11"}},
      // With a default, escaped, inside quotes, or in a macro's value.
      {"$(1:none)\n", none},
      {"$(1:)\n", none},
      {"Price: \\$5\n", none},
      {"'$5'\n", none},
      {"@DEFINE m [$(0)|$1]\n", none},
      {"@DEFAULT m $(0)\n", none},
      {"@EXTEND m $1\n", none},
      {"$x $(name5) $(=:5 + 1)\n", none},
  });
}

TEST(Check, SeparatorInValue) {
  check_table("separator-in-value", {
      {"@DEFINE title Hello, world\n@DEFINE link <a>$(0)|$(1)</a>\n$(link:/a, $(title))\n", {"3:12"}},
      {"@DEFINE t 12:30\n$(?:$(t):set:unset)\n", {"2:5"}},
      {"@DEFINE t 12:30\n$(?:x:$(t):no)\n", {"2:7"}},
      {"@DEFINE url http://x\n@DEFINE show $(?:$(url):yes:no)\n", {"2:18"}},
      // A value defined further down is checked too: values are expanded when used.
      {"@DEFINE page $(link:$(title))\n@DEFINE title a, b\n", {"1:21"}},
      // Escaped separators; a value in the last branch; a value as the name
      // or outside any call; a value whose comma is inside a reference.
      {"@DEFINE title Hello\\, world\n$(link:/a, $(title))\n", none},
      {"@DEFINE t 12:30\n$(?:x:yes:$(t))\n", none},
      {"@DEFINE title a, b\n$(title) and $(@:$(title))\n", none},
      {"@DEFINE t 1:2\n$(m:$(t))\n", none},
      {"@DEFINE v $(f:a,b)\n$(m:$(v))\n", none},
      {"@DEFINE title a, b\n$(m:'$(title)')\n", none},
  });
  // A value given with -D.
  Options options;
  options.defines = {{"title", "a, b"}};
  check_table("separator-in-value", {{"$(m:x, $(title))\n", {"1:8"}}}, options);
}

TEST(Check, OctalNumber) {
  check_table("octal-number", {
      {"$(=:08 + 1)\n", {"1:5"}},
      {"$(=:1 + 09)\n", {"1:9"}},
      {"$(=:-019 * 2)\n", {"1:6"}},
      {"@DEFINE month 09\n$(=:$(month) + 1)\n", {"2:5"}},
      {"$(%:01-09)\n", {"1:8"}},
      {"@DEFINE next $(=:$(0) + 08)\n", {"1:25"}},
      // Octal digits only, hexadecimal, decimal, parts of names, outside expressions.
      {"$(=:010 + 0x19 + 90 + 0)\n", none},
      {"@DEFINE month 07\n$(=:$(month) + 1)\n", none},
      {"@DEFINE month 09\n$(=:1$(month) - 100)\n", none},
      {"$(=:$(m08) + 1)\n@DEFINE m08 1\n", none},
      {"Route 09 is closed\n", none},
      {"@DEFINE month 09\n$(month)\n", none},
  });
}

TEST(Check, LoopShadows) {
  check_table("loop-shadows", {
      {"@DEFINE name site\n@FOR name home about\n@END\n", {"2:6"}},
      {"@FOR i 1 2\n@FOR i 3 4\n@END\n@END\n", {"2:6"}},
      {"@GETENV HOME\n@FOR HOME a\n@END\n", {"2:6"}},
      // After its loop, after @UNDEF or @CLEAR, another name, or a name built by a reference.
      {"@FOR i 1 2\n@END\n@FOR i 3 4\n@END\n", none},
      {"@DEFINE i 0\n@UNDEF i\n@FOR i 1\n@END\n", none},
      {"@DEFINE i 0\n@CLEAR\n@FOR i 1\n@END\n", none},
      {"@DEFINE a 0\n@DEFINE i 0\n@CLEAR a\n@FOR i 1\n@END\n", none},
      {"@DEFINE n i\n@FOR $(n) 1\n@END\n", none},
      {"@FOR i 1\n@END\n@DEFINE i 0\n", none},
  });
  Options options;
  options.defines = {{"i", "0"}};
  check_table("loop-shadows", {{"@FOR i 1\n@END\n", {"1:6"}}}, options);
  std::vector<Warning> w = check_script("@DEFINE n x\n@FOR n a\n@END\n", "t.qf", {});
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].text, "loop variable n is also a macro defined on line 1: the loop runs once more, first with that "
                       "value, and leaves n undefined; choose another name");
}

TEST(Check, ByteOrderMark) {
  check_table("byte-order-mark", {
      {"\xEF\xBB\xBF@DEFINE x 1\n", {"1:1"}},
      {"\xEF\xBB\xBF", {"1:1"}},
      {"@DEFINE x \xEF\xBB\xBF\n", none},
      {"\xEF\xBB", none},
  });
}

TEST(Check, DefineVsOption) {
  Options options;
  options.defines = {{"mode", "release"}, {"x", ""}};
  check_table("define-vs-option", {
      {"@DEFINE mode debug\n", {"1:9"}},
      {"@define x 1\n", {"1:9"}},
      {"@DEFAULT mode debug\n", none},
      {"@DEFINE other 1\n", none},
      {"@UNDEF mode\n@DEFINE mode debug\n", none},
      {"@CLEAR\n@DEFINE mode debug\n", none},
  }, options);
  check_table("define-vs-option", {{"@DEFINE mode debug\n", none}});
}

TEST(Check, UnknownDirectiveSkipped) {
  check_table("unknown-directive-skipped", {
      {"@IFDEF x\n@FOO bar\n@ENDIF\n", {"2:1"}},
      {"@IFNDEF x\n@ELSE\n  !@Includes x\n@ENDIF\n", {"3:4"}},
      {"@IFDEF a\n@IFDEF b\n@ENDIF\n@ PRINT x\n@ENDIF\n", {"4:1"}},
      // Outside blocks (it always fails there), without an argument (always
      // fails too), known words in any case, escaped or doubled '!'.
      {"@FOO bar\n", none},
      {"@IFDEF x\n@FOO\n@ENDIF\n", none},
      {"@IFDEF x\n@endif\n@FOO bar\n", none},
      {"@IFDEF x\n@print a\n@ENDIF\n", none},
      {"@IFDEF x\n\\@FOO bar\n!!@FOO bar\n@ENDIF\n", none},
  });
}

TEST(Check, IgnoreComments) {
  const std::string script =
      "# quenfold-check: ignore bare-parameter\n"
      "Price: $5\n"
      "#quenfold-check:ignore comment-in-text,bare-parameter\n"
      "# quenfold-check: ignore quote-protects\n"
      "Price: $5 #1\n"
      "# quenfold-check: ignore bare-parameter\n"
      "\n"
      "Price: $5\n"
      "# quenfold-check: ignore comment-in-text\n"
      "Price: $5\n";
  std::vector<std::string> at;
  for (const Warning& w : check_script(script, "t.qf", {})) {
    at.push_back(std::to_string(w.line) + " " + w.name);
  }
  // Only the lines right above count, and only the names they give.
  EXPECT_EQ(at, (std::vector<std::string>{"8 bare-parameter", "10 bare-parameter"}));
}

TEST(Check, ReadsLinesAsTheProgramDoes) {
  // A continued line: columns point into the physical line.
  EXPECT_EQ(found("bare-parameter", "Price:\\\n   $5 each\n"), (std::vector<std::string>{"2:4"}));
  // CR LF line ends, a NUL byte (which ends the line), a last line without newline.
  EXPECT_EQ(found("bare-parameter", "a\r\n$1\r\n"), (std::vector<std::string>{"2:1"}));
  EXPECT_EQ(found("bare-parameter", std::string("a\0$1\n$2", 7)), (std::vector<std::string>{"2:1"}));
  // An escaped quote and dollar are no syntax.
  EXPECT_EQ(found("bare-parameter", "\\'$1\n"), (std::vector<std::string>{"1:3"}));
  EXPECT_TRUE(found("bare-parameter", "\\$1 '$2\n").empty());
}

// The command: options as quenfold reads them, operands as it finds them,
// the exit status.
class Command : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/quenfold-check-test.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  void write(const std::string& name, const std::string& text) { std::ofstream(dir_ + "/" + name) << text; }

  int run(std::vector<std::string> words, const std::string& input = "") {
    out_.clear();
    err_.clear();
    std::vector<const char*> argv = {"quenfold-check"};
    for (const std::string& word : words) argv.push_back(word.c_str());
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    EXPECT_EQ(::write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    close(fds[1]);
    int status = check_command(static_cast<int>(argv.size()), argv.data(), out_, err_, fds[0]);
    close(fds[0]);
    return status;
  }

  std::string dir_;
  std::string out_;
  std::string err_;
};

TEST_F(Command, StatusOutputAndErrors) {
  write("clean.qf", "Hello $(who)\n");
  write("trap.qf", "Price: $5\n");
  EXPECT_EQ(run({dir_ + "/clean.qf"}), 0);
  EXPECT_EQ(out_ + err_, "");
  EXPECT_EQ(run({dir_ + "/trap.qf", dir_ + "/clean.qf"}), 1);
  EXPECT_EQ(out_, dir_ + "/trap.qf:1:8: warning: $5 is parameter 5, always empty outside a macro's value; "
                         "write \\$ for a dollar sign [bare-parameter]\n");
  // Standard input, for no operand or an empty one.
  EXPECT_EQ(run({}, "$1\n"), 1);
  EXPECT_EQ(out_.substr(0, 10), "stdin:1:1:");
  EXPECT_EQ(run({""}, "fine\n"), 0);
  // A missing file and a host:port name are errors, and the other operands are still checked.
  EXPECT_EQ(run({dir_ + "/nosuch.qf", dir_ + "/trap.qf", "host:80"}), 2);
  EXPECT_NE(out_.find("[bare-parameter]"), std::string::npos);
  EXPECT_EQ(err_, "quenfold-check: Can't stat " + dir_ + "/nosuch.qf (No such file or directory)\n"
                  "quenfold-check: host:80 names a host:port source, which quenfold reads from the network; "
                  "not checked\n");
  // Usage errors.
  EXPECT_EQ(run({"-x"}), 2);
  EXPECT_EQ(err_, "quenfold-check: Unrecognized option x\n"
                  "usage: quenfold-check [-D name[=value]]... [-i dir] [file...]\n");
  EXPECT_EQ(run({"-D"}), 2);
  EXPECT_EQ(run({"-D", "=v"}), 2);
}

TEST_F(Command, FindsOperandsAsQuenfoldDoes) {
  write("page.qf", "@DEFINE mode x\n");
  std::system(("mkdir '" + dir_ + "/site' && echo '$1' > '" + dir_ + "/site/script'").c_str());
  // Through the include directory, a directory standing for its script; -D, -q and -v as quenfold takes them.
  EXPECT_EQ(run({"-q", "-i", dir_, "page.qf", "-Dmode=y", "-v", "site"}), 1);
  EXPECT_EQ(out_.substr(0, dir_.size() + 11), dir_ + "/page.qf:1:");
  EXPECT_NE(out_.find("[define-vs-option]"), std::string::npos);
  EXPECT_NE(out_.find(dir_ + "/site/script:1:1:"), std::string::npos);
  // A name that is only in the current directory: quenfold would not find it either.
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  EXPECT_EQ(run({"page.qf"}), 2);
  EXPECT_EQ(err_, "quenfold-check: Can't stat /usr/package/page.qf (No such file or directory); names that do "
                  "not begin with . or / are looked up in the include directory, as quenfold does: write "
                  "./page.qf\n");
  EXPECT_EQ(run({"./page.qf", "--", "-q"}), 2);  // after "--", -q is a file name
  EXPECT_EQ(err_, "quenfold-check: Can't stat /usr/package/-q (No such file or directory)\n");
  ASSERT_EQ(chdir("/"), 0);
}

}  // namespace
}  // namespace quenfold::check
