#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "diag/diag.h"
#include "engine/engine.h"
#include "macros/macros.h"

namespace quenfold {
namespace {

using Defs = std::vector<std::pair<std::string, std::string>>;

// Expands `text` after defining `defs`; an error comes back as its line.
std::string expand(const Defs& defs, const std::string& text) {
  Engine e;
  for (const auto& [name, value] : defs) define_macro(e, name, value, true);
  try {
    return expand_macros(e, text).str();
  } catch (const Fatal& fatal) {
    return "ERROR " + fatal.line();
  }
}

TEST(Expand, References) {
  struct Case {
    Defs defs;
    std::string text;
    std::string out;
  };
  const Defs x1 = {{"x", "1"}};
  const Defs m = {{"m", "[$(0)|$(1)]"}};
  const std::vector<Case> cases = {
      {{}, "", ""},
      {{}, "plain text", "plain text"},
      {x1, "$x", "1"},
      {x1, "$xy", "1y"},
      {x1, "$(x)y", "1y"},
      {x1, "a'$x'b", "a'$x'b"},
      {x1, "a\"$x\"b", "a\"$x\"b"},
      {x1, "\"it's $x\"", "\"it's $x\""},
      {x1, "'open $x", "'open $x"},
      {x1, "'a' $x", "'a' 1"},
      {m, "$(m:a, b)", "[a|b]"},
      {m, "$(m: a ,b)", "[a |b]"},
      {m, "$(m)", "[|]"},
      {{{"d", "$(0:none)"}}, "$(d)", "none"},
      {{{"d", "$(0:none)"}}, "$(d:x)", "x"},
      {{{"d", "$(0:none)"}}, "$(d:)", ""},
      {{}, "$(0)", ""},
      {{}, "$(0:  z)", "z"},
      {{{"p", "$(1) $1 $(2:r) $(08) $(0x1:h)"}}, "$(p:p,q)", "q q r p q"},
      {{{"n", "x"}, {"x", "1"}}, "$($(n))", "1"},
      {{{"m", "[$(0)]"}}, "$(m:a\xFF\xAC" "b)", "[a\xFF\xAC" "b]"},
      {{{"m", "[$(0)]"}}, "$(m:'a,b')", "['a]"},
      {{{"e", ""}}, "<$(e)>", "<>"},
      {{{"m", "$(0)"}}, "$(m)", ""},
      {{{"a", "$(b:$(0))"}, {"b", "<$(0)>"}}, "$(a:z)", "<z>"},
      {{{"f", "$(1)"}}, "$(f:a,b,)", "b"},
      {{{"f", "[$(2)]"}}, "$(f:a,b,)", "[]"},
      // Parameters used after a call whose arguments outgrow where the
      // caller's were kept.
      {{{"a", "[$(0)|$(b:1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32,33)|$(1)$(0)]"},
        {"b", "<$(9)$(0)>"}},
       "$(a:x,y)",
       "[x|<101>|yx]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(expand(c.defs, c.text), c.out);
  }
}

// A reference to a short name is read by its own path, which looks ahead a
// block at a time where the text allows: the same reference at every place
// in lines of every length gives the same text as the general path.
TEST(Expand, ShortNamesAtEveryPlace) {
  const Defs defs = {{"a", "1"},         {"ab", "2"},   {"abcdefgh", "8"}, {"abcdefghi", "9"},
                     {"r", "<$(ab)>"},    {"e", "x\\ty"}, {"__x", "u"},      {"a:b", "never"}};
  struct Case {
    std::string ref;
    std::string out;
  };
  const std::vector<Case> cases = {
      {"$a", "1"},             {"$ab", "1b"},        {"$r", "<2>"},        {"$e", "x\\ty"},
      {"$a$a", "11"},          {"$q", "ERROR quenfold: Macro q not defined"},
      {"$(a)", "1"},           {"$(ab)", "2"},       {"$(abcdefgh)", "8"}, {"$(abcdefghi)", "9"},
      {"$(r)", "<2>"},         {"$(e)", "x\\ty"},    {"$(__x)", "u"},      {"$(ab:z)", "2"},
      {"$(abc)", "ERROR quenfold: Macro abc not defined"},
      {"$(abcdefg)", "ERROR quenfold: Macro abcdefg not defined"},
      {"$(a", "ERROR quenfold: Missing close paren for macro 'a'"},
      {"$(abcdefgh", "ERROR quenfold: Missing close paren for macro 'abcdefgh'"},
      // What follows a name of eight bytes decides how it is read.
      {"$(abcdefgh:z)", "8"},  {"$(abcdefgh$a)", "ERROR quenfold: Macro abcdefgh1 not defined"},
      {"$(abcdefgh(", "ERROR quenfold: Missing close paren for macro 'abcdefgh('"},
  };
  for (const Case& c : cases) {
    for (size_t before = 0; before <= 20; ++before) {
      for (size_t after = 0; after <= 20; after += 4) {
        std::string pad_before(before, '.'), pad_after(after, '-');
        SCOPED_TRACE(c.ref + " " + std::to_string(before) + " " + std::to_string(after));
        std::string want = pad_before + c.out + pad_after;
        if (c.out.rfind("ERROR", 0) == 0) want = c.out;
        // An unclosed reference takes the rest of the line as its text.
        if (c.out.find("Missing") != std::string::npos) want = c.out.substr(0, c.out.size() - 1) + pad_after + "'";
        EXPECT_EQ(expand(defs, pad_before + c.ref + pad_after), want);
      }
    }
  }
}

// A call's arguments are split at commas a block at a time where the text
// around them allows: commas before the reference and after it, at every
// distance, must not count.
TEST(Expand, CallArgumentsAtEveryPlace) {
  const Defs defs = {{"c", "[$(0)|$(1)|$(2)]"}, {"abcdefgh", "<$(1)>"}};
  struct Case {
    std::string ref;
    std::string out;
  };
  const std::vector<Case> cases = {
      {"$(c:x,y,z)", "[x|y|z]"},  {"$(c: x , y)", "[x |y|]"}, {"$(c:,,)", "[||]"},
      {"$(c:a,b,c,d)", "[a|b|c]"}, {"$(c:)", "[||]"},            {"$(c:only)", "[only||]"},
      {"$(abcdefgh:one,two)", "<two>"},
      {"$(c:a long first argument,and a second one of some length,3)",
       "[a long first argument|and a second one of some length|3]"},
  };
  for (const Case& c : cases) {
    for (size_t before = 0; before <= 20; ++before) {
      for (size_t after = 0; after <= 20; after += 3) {
        std::string pad_before(before, ','), pad_after(after, ',');
        SCOPED_TRACE(c.ref + " " + std::to_string(before) + " " + std::to_string(after));
        EXPECT_EQ(expand(defs, pad_before + c.ref + pad_after), pad_before + c.out + pad_after);
      }
    }
  }
}

TEST(Expand, SpecialForms) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"$(%:1 3 5)", "1 3 5"},
      {"$(%:1-5)", "1 2 3 4 5"},
      {"$(%:-3)", "1 2 3"},
      {"$(%:2-4 8-9)", "2 3 4 8 9"},
      {"$(%:5-3)", "5"},
      {"$(%:3 1-4)", "3 1 2 3 4"},
      {"$(%:0x10-0x12)", "16 17 18"},
      {"$(%:)", ""},
      {"$(%:99999999999999999999)", "9223372036854775807"},
      {"$(=:2+3)", "5"},
      {"$(=:2 + 3 * 4)", "14"},
      // Parentheses and colons on both sides of the 16-byte blocks a long
      // reference is read in.
      {"$(=:( 993 + 774 ) * 235 - ( 406 / 376 ) % 412)", "415244"},
      {"$(=:((((1 + 2) * (3 + 4)) - ((5 + 6) * (7 + 8))) + (((9))))) tail", "-135 tail"},
      {"$(?:((((((((((x)))))))))):((((((((((yes)))))))))):no)", "((((((((((yes))))))))))"},
      {"$(?:)))))))))))))))))):a:b)", "ERROR quenfold: Invalid macro usage for '?' - '$(?:<expr1>:<expr2>:<expr3>)'"},
      {"$(?:x:yes:no)", "yes"},
      {"$(?::yes:no)", "no"},
      {"$(?: :yes:no)", "no"},
      {"$(?:0:yes:no)", "yes"},
      {"$(?:x: yes:no)", " yes"},
      {"$(?::yes: no)", "no"},
      {"$(?::b:c:d)", "c:d"},
      {"$(@:hello)", "5"},
      {"$(@:  hi)", "2"},
      {"$(@:)", "0"},
      {"$(@:\xFF\xA4)", "2"},
  };
  for (const auto& [text, out] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(expand({}, text), out);
  }
  EXPECT_EQ(expand({{"m", "$(%:1-$(0))"}}, "$(m:4)"), "1 2 3 4");
  std::string seq = expand({}, "$(%:1-2049)");
  EXPECT_EQ(seq.substr(seq.size() - 5), " 2049");
}

// A long reference is read a block at a time, and its last bytes within the
// last block of the text: its close at every distance from the end of the
// text, with parentheses and colons before and after it, in a line and in a
// value; and left open at every length.
TEST(Expand, LongReferencesEndAnywhere) {
  const std::string ref = "$(=:( 1 + 2 ) * ( 3 + 4 ))";
  for (size_t before = 0; before <= 17; ++before) {
    for (size_t after = 0; after <= 17; ++after) {
      std::string pad_before, pad_after;
      for (size_t i = 0; i < before; ++i) pad_before += "():x"[i % 4];
      for (size_t i = 0; i < after; ++i) pad_after += ")(:x"[i % 4];
      SCOPED_TRACE(pad_before + ref + pad_after);
      EXPECT_EQ(expand({}, pad_before + ref + pad_after), pad_before + "21" + pad_after);
      EXPECT_EQ(expand({{"v", pad_before + ref + pad_after}}, "$(v)"), pad_before + "21" + pad_after);
    }
  }
  for (size_t extra = 0; extra <= 20; ++extra) {
    std::string open = "$(=:( 1 + 2 ) * ( 3 + 4 )";
    for (size_t i = 0; i < extra; ++i) open += "(x):"[i % 4];
    SCOPED_TRACE(open);
    const std::string message = "ERROR quenfold: Missing close paren for macro '" + open.substr(2) + "'";
    EXPECT_EQ(expand({}, open), message);
    EXPECT_EQ(expand({}, "ab" + open), message);
  }
}

TEST(Expand, Errors) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"$(x", "quenfold: Missing close paren for macro 'x'"},
      {"$(", "quenfold: Missing close paren for macro ''"},
      {"$()", "quenfold: Missing close paren for macro ')'"},
      {"$())", "quenfold: Macro ) not defined"},
      {"$(nosuch)", "quenfold: Macro nosuch not defined"},
      {"$( x)", "quenfold: Macro  x not defined"},
      {"$$", "quenfold: Invalid special macro ''"},
      {"a $", "quenfold: Invalid special macro ''"},
      {"$(=1)", "quenfold: Invalid special macro '=1'"},
      {"$(@)", "quenfold: Invalid special macro '@'"},
      {"$(%:1-2050)", "quenfold: Sequence too long"},
      {"$(%:1,2)", "quenfold: Sequence too long"},
      {"$(?:a:b)", "quenfold: Invalid macro usage for '?' - '$(?:<expr1>:<expr2>:<expr3>)'"},
      {"$(=:1/0)", "expr: division by zero"},
  };
  for (const auto& [text, line] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(expand({}, text), "ERROR " + line);
    // The same text as a macro's value, read ahead into pieces when it is
    // called (with arguments or without) and again from those pieces.
    EXPECT_EQ(expand({{"v", text}}, "$(v)"), "ERROR " + line);
    EXPECT_EQ(expand({{"v", text}}, "$(v:arg) $(v:arg)"), "ERROR " + line);
  }
}

// A value is read ahead into its pieces once; each use must give what
// reading it as it goes would give.
TEST(Expand, ValuesReadAheadGiveWhatTheyGiveReadAsTheyGo) {
  const Defs defs = {{"x", "1"}, {"p", "<$(0)|$1|$(2:dflt)|$(x)|$x|'$(x)'|\"$0\"|$(=:$(0)+1)|$($(1))>"}};
  const std::string twice = "$(p:4,x) $(p:5,x,z)";
  EXPECT_EQ(expand(defs, twice), "<4|x|dflt|1|1|'$(x)'|\"$0\"|5|1> <5|x|z|1|1|'$(x)'|\"$0\"|6|1>");
  // A quote left open in a value protects the rest of that value only.
  EXPECT_EQ(expand({{"q", "it's $(x)"}, {"x", "1"}}, "$(q) $(x)"), "it's $(x) 1");
}

TEST(Expand, RecursionEndsWithAMessage) {
  EXPECT_EQ(expand({{"a", "$(a)"}}, "$(a)"), "ERROR quenfold: Macro expansion nested too deeply");
  EXPECT_EQ(expand({{"a", "$(b)"}, {"b", "x$(a)"}}, "$(a)"),
            "ERROR quenfold: Macro expansion nested too deeply");
}

TEST(Expand, FiveHundredLevelsOfNesting) {
  Defs defs;
  for (int i = 0; i < 500; ++i) defs.push_back({"m" + std::to_string(i), "$(m" + std::to_string(i + 1) + ")"});
  defs.push_back({"m500", "deep"});
  EXPECT_EQ(expand(defs, "$(m0)"), "deep");

  std::string nested = "x";
  for (int i = 0; i < 500; ++i) nested = "$(" + nested + ")";  // $($(...$(x)...))
  EXPECT_EQ(expand({{"x", "x"}}, nested), "x");
}

TEST(Expand, LongValuesGrowLinearly) {
  std::string big(1 << 20, 'a');
  EXPECT_EQ(expand({{"big", big}}, "$(big)$(big)").size(), 2u << 20);
  std::string arg(1 << 20, 'b');
  EXPECT_EQ(expand({{"id", "$(0)"}}, "$(id:" + arg + ")"), arg);
}

}  // namespace
}  // namespace quenfold
