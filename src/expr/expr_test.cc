#include "expr/expr.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/chars.h"
#include "diag/diag.h"

namespace quenfold {
namespace {

// The line an evaluation ends the run with, or "<no error>".
std::string fatal_line(std::string_view text) {
  try {
    eval_expr(text);
  } catch (const Fatal& fatal) {
    return fatal.line();
  }
  return "<no error>";
}

struct ValueCase {
  const char* text;
  int64_t value;
};

TEST(ExprTest, Values) {
  const ValueCase cases[] = {
      {"2 + 3 * 4", 14},
      {"(2 + 3) * 4", 20},
      {"(1+2)*3", 9},
      {"10 - 2 - 3", 5},
      {"7 / 2", 3},
      {"-7 / 2", -3},
      {"-7 % 2", -1},
      {"7 % -2", 1},
      {"2 * -3", -6},
      {"1<=2", 1},
      {"3--2", 5},
      {"5", 5},
      {"5 & 3", 1},
      {"5 | 0", 1},
      {"0 | 0", 0},
      {"(4)", 4},
      {"(4 | 0)", 1},
      {"1 = 1 & 0", 0},
      {"1 & 0 | 1", 1},
      {"1 != 2", 1},
      {"010", 8},
      {"0x1F", 31},
      {"-0x10", -16},
      // Spacing decides what a '-' is.
      {"3 - 2", 1},
      {"(1 - 2)*3", -3},
      // Comparison chains compare the 0 or 1 of the previous relation.
      {"1 < 2 < 3", 1},
      {"3 > 2 > 1", 0},
      {"2 = 2 = 2", 0},
      {"1 = 1 = 1", 1},
      {"2>=2", 1},
      {"1 >= 2", 0},
      {"-1 < 0", 1},
      {"5 & 3 & 0", 0},
      {"5 & 3 & -1", 1},
      {"0 | 0 | 7", 1},
      {"0 | 0 | 0", 0},
      {"0x1f + 0X10 + 017", 31 + 16 + 15},
      // Any of the six white-space bytes separates words.
      {"1\t+\n2\v*\f3\r ", 7},
      {"  42  ", 42},
      {"((((((7))))))", 7},
      // Tokens need no white space between them, and any amount separates them.
      {"12+3*4", 24},
      {"(12)+(3)*(4)", 24},
      {"2<=3&3>=2|0", 1},
      {"1  +\t 2 \t\t* \n3", 7},
      {"(1 | 0) + (2 & 3) + (4 = 4)", 3},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      EXPECT_EQ(eval_expr(c.text), c.value);
    } catch (const Fatal& fatal) {
      ADD_FAILURE() << "ended with: " << fatal.line();
    }
  }
}

struct ErrorCase {
  std::string_view text;
  const char* line;
};

TEST(ExprTest, Errors) {
  const ErrorCase cases[] = {
      {"3-2", "expr: Syntax error - token != EOI"},
      {"3 -2", "expr: Syntax error - token != EOI"},
      {"(1-2)*3", "expr: Syntax error - token != RP"},
      {"-(2)", "expr: Syntax error - token != LP"},
      {"- 2", "expr: Syntax error - token != LP"},
      {"+2", "expr: Syntax error - token != LP"},
      {"", "expr: Syntax error - token != LP"},
      {" \t\n ", "expr: Syntax error - token != LP"},
      {"(1", "expr: Syntax error - token != RP"},
      {"1)", "expr: Syntax error - token != EOI"},
      {"1 : 2", "expr: Syntax error - token != EOI"},
      {":", "expr: Syntax error - token != LP"},
      {"1 == 1", "expr: Syntax error - token != LP"},
      {"08", "expr: Syntax error - token != EOI"},
      {"1 2", "expr: Syntax error - token != EOI"},
      {"1 +", "expr: Syntax error - token != LP"},
      {"()", "expr: Syntax error - token != LP"},
      // Two-character operators never span words.
      {"1 < = 2", "expr: Syntax error - token != LP"},
      {"1 ! = 2", "expr: Invalid operator !"},
      {"2 x 3", "expr: Invalid operator x"},
      {"2x3", "expr: Invalid operator x3"},
      {"1 !2", "expr: Invalid operator !2"},
      {"1 + a+b c", "expr: Invalid operator a+b"},
      // 0x without hex digits converts the 0 only.
      {"0xg", "expr: Invalid operator xg"},
      // Only 0x and a leading 0 are prefixes.
      {"0b1", "expr: Invalid operator b1"},
      // Bytes of 0x80 and above are never white space.
      {"1 \xa0+ 2", "expr: Invalid operator \xa0+"},
      {"1 / 0", "expr: division by zero"},
      {"1 % 0", "expr: division by zero"},
      {"-2147483648 / 0", "expr: division by zero"},
      {"1 / (2 - 2)", "expr: division by zero"},
      // Every operand is evaluated, even when the result is already known.
      {"0 & 1/0", "expr: division by zero"},
      {"1 | 1/0", "expr: division by zero"},
      {"0 * (1 / 0)", "expr: division by zero"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(std::string(c.text));
    EXPECT_EQ(fatal_line(c.text), c.line);
  }
}

TEST(ExprTest, WrapsAtThirtyTwoBits) {
  const ValueCase cases[] = {
      {"2147483647 + 1", INT32_MIN},
      {"-2147483648 - 1", INT32_MAX},
      {"65536 * 65536", 0},
      {"65536 * 32768", INT32_MIN},
      {"-2147483648 * -1", INT32_MIN},
      {"4294967297", 1},
      {"2147483648", INT32_MIN},
      {"0x100000005 * 2", 10},
      // strtol saturates before the low 32 bits are taken.
      {"99999999999999999999999", -1},
      {"-99999999999999999999999", 0},
      // The quotient that does not fit wraps; the remainder is 0.
      {"-2147483648 / -1", INT32_MIN},
      {"-2147483648 % -1", 0},
      {"7 / -1", -7},
      {"7 % -1", 0},
      {"-2147483648 / 2", -1073741824},
      {"-2147483648 % 3", -2},
      // Numbers of up to 18 digits are read apart from longer ones.
      {"123456789012345678", static_cast<int32_t>(123456789012345678 & 0xFFFFFFFF)},
      {"1234567890123456789", static_cast<int32_t>(1234567890123456789 & 0xFFFFFFFF)},
      {"-123456789012345678", static_cast<int32_t>(-123456789012345678 & 0xFFFFFFFF)},
      {"9223372036854775807 + 1", 0},
      {"9223372036854775808", -1},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(eval_expr(c.text), c.value);
  }
}

TEST(ExprTest, SaturatedNumberLeavesErrnoAlone) {
  errno = 0;
  EXPECT_EQ(eval_expr("99999999999999999999999 + 0"), -1);
  EXPECT_EQ(errno, 0);
}

std::string nested(int depth, const char* inner) {
  return std::string(depth, '(') + inner + std::string(depth, ')');
}

TEST(ExprTest, Nesting) {
  EXPECT_EQ(eval_expr(nested(100, "1 + 2")), 3);
  EXPECT_EQ(eval_expr(nested(kMaxExprNesting, "-5")), -5);
  // Depth counts open parentheses, not parentheses seen.
  std::string siblings;
  for (int i = 0; i < 2 * kMaxExprNesting; ++i) siblings += "(1) + ";
  siblings += "0";
  EXPECT_EQ(eval_expr(siblings), 2 * kMaxExprNesting);

  // Every depth, across the point where the evaluator's stacks outgrow
  // their first room: values, and errors before and after the nesting.
  std::vector<int> depths;
  for (int depth = 0; depth <= 70; ++depth) depths.push_back(depth);
  depths.push_back(500);
  for (int depth : depths) {
    SCOPED_TRACE(depth);
    EXPECT_EQ(eval_expr(nested(depth + 1, "1 + 2 * 3 - 4 < 5 & 6 | 0") + " + " + nested(depth, "7 * 8")), 57);
    EXPECT_EQ(fatal_line("1 / 0 + " + nested(depth, "1")), "expr: division by zero");
    EXPECT_EQ(fatal_line(nested(depth, "1 / 0")), "expr: division by zero");
    EXPECT_EQ(fatal_line(std::string(depth, '(') + "1 +"), "expr: Syntax error - token != LP");
    EXPECT_EQ(fatal_line(nested(depth, "1") + " x"), "expr: Invalid operator x");
  }
  EXPECT_EQ(fatal_line(nested(kMaxExprNesting + 1, "1")), "expr: Expression nested too deeply");
  EXPECT_EQ(fatal_line(std::string(100000, '(')), "expr: Expression nested too deeply");
}

TEST(ExprTest, TextEndsAtFirstNul) {
  EXPECT_EQ(eval_expr(std::string_view("1 + 2\0 x", 8)), 3);
  EXPECT_EQ(eval_expr(std::string_view("12\0x", 4)), 12);
  // "7 ... + 1" cut by a NUL at every place in texts of every length up to
  // past the longest one copied to the stack: blocks, the last block that
  // overlaps the one before, and the byte path.
  for (size_t length : {4, 15, 16, 17, 31, 32, 33, 47, 255, 256, 257, 300}) {
    std::string text = "7" + std::string(length - 4, ' ') + "+ 1";
    SCOPED_TRACE(length);
    EXPECT_EQ(eval_expr(text), 8);
    for (size_t nul = 1; nul + 3 <= length; ++nul) {
      std::string cut = text;
      cut[nul] = '\0';
      ASSERT_EQ(eval_expr(cut), 7) << "NUL at " << nul;
    }
  }
}

TEST(ExprTest, LongText) {
  // Longer than any inline copy; the last number ends at the end of the text.
  std::string text = "1";
  for (int i = 0; i < 999; ++i) text += " + 1";
  EXPECT_EQ(eval_expr(text), 1000);
  std::string long_number = "0 + " + std::string(300, '0') + "17";
  EXPECT_EQ(eval_expr(long_number), 15);  // octal 17
  std::string bad = std::string(400, ' ') + "1 ?" + std::string(300, 'z');
  EXPECT_EQ(fatal_line(bad), "expr: Invalid operator ?" + std::string(300, 'z'));
}

// A plain recursive-descent reading of the same grammar, one function a
// level, to check the evaluator on many well-formed expressions.
class Reference {
 public:
  explicit Reference(const std::vector<std::string>& tokens) : tokens_(tokens) {}
  int32_t run() { return level(1); }

 private:
  static int level_of(const std::string& t) {
    if (t == "|") return 1;
    if (t == "&") return 2;
    if (t == "=" || t == "<" || t == ">" || t == "<=" || t == ">=" || t == "!=") return 3;
    if (t == "+" || t == "-") return 4;
    if (t == "*" || t == "/" || t == "%") return 5;
    return 0;
  }
  int32_t level(int n) {
    if (n > 5) return primary();
    int32_t left = level(n + 1);
    while (next_ < tokens_.size() && level_of(tokens_[next_]) == n) {
      const std::string op = tokens_[next_++];
      const int64_t l = left, r = level(n + 1);
      int64_t v;
      if (op == "|") v = l != 0 || r != 0;
      else if (op == "&") v = l != 0 && r != 0;
      else if (op == "=") v = l == r;
      else if (op == "<") v = l < r;
      else if (op == ">") v = l > r;
      else if (op == "<=") v = l <= r;
      else if (op == ">=") v = l >= r;
      else if (op == "!=") v = l != r;
      else if (op == "+") v = l + r;
      else if (op == "-") v = l - r;
      else if (op == "*") v = l * r;
      else if (r == 0) throw std::runtime_error("division by zero");
      else if (op == "/") v = l / r;
      else v = l % r;
      left = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
    }
    return left;
  }
  int32_t primary() {
    const std::string& t = tokens_[next_++];
    if (t != "(") return static_cast<int32_t>(std::stoll(t));
    int32_t value = level(1);
    ++next_;  // ")"
    return value;
  }
  const std::vector<std::string>& tokens_;
  size_t next_ = 0;
};

TEST(ExprTest, AgreesWithPlainReading) {
  const char* ops[] = {"+", "-", "*", "/", "%", "|", "&", "=", "<", ">", "<=", ">=", "!="};
  const char* numbers[] = {"0", "1", "2", "3", "-1", "7", "100", "2147483647", "-2147483648", "65536", "-13"};
  std::mt19937 rng(2026);
  std::vector<std::string> tokens;
  auto operand = [&](auto&& self, int depth) -> void {
    if (depth < 4 && rng() % 4 == 0) {
      tokens.push_back("(");
      self(self, depth + 1);
      for (unsigned k = rng() % 4; k > 0; --k) {
        tokens.push_back(ops[rng() % std::size(ops)]);
        self(self, depth + 1);
      }
      tokens.push_back(")");
    } else {
      tokens.push_back(numbers[rng() % std::size(numbers)]);
    }
  };
  int compared = 0;
  for (int i = 0; i < 20000; ++i) {
    tokens.clear();
    operand(operand, 0);
    for (unsigned k = rng() % 6; k > 0; --k) {
      tokens.push_back(ops[rng() % std::size(ops)]);
      operand(operand, 0);
    }
    // Blanks between every token, or none where no two tokens would join.
    std::string text;
    for (const std::string& t : tokens) {
      if (!text.empty() && (rng() % 2 || is_digit(static_cast<unsigned char>(t.back())) ||
                            t[0] == '-' || t == "=" || is_digit(static_cast<unsigned char>(text.back())))) {
        text += ' ';
      }
      text += t;
    }
    SCOPED_TRACE(text);
    std::string expected;
    try {
      expected = std::to_string(Reference(tokens).run());
    } catch (const std::runtime_error&) {
      expected = "expr: division by zero";
    }
    std::string got;
    try {
      got = std::to_string(eval_expr(text));
      ++compared;
    } catch (const Fatal& fatal) {
      got = fatal.line();
    }
    ASSERT_EQ(got, expected);
  }
  EXPECT_GT(compared, 5000);
}

}  // namespace
}  // namespace quenfold
