// Integer expression evaluator.
//
// The text is cut into words at white space; tokens never span two words, so
// white space only separates them. Every value is a signed 32-bit integer;
// + - * wrap modulo 2^32, comparisons and the logical operators give 0 or 1.
// Every operand is evaluated, so a division by zero anywhere ends the run.

#include "expr/expr.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "diag/diag.h"
#include "base/chars.h"

namespace quenfold {
namespace {

constexpr const char* kPrefix = "expr: ";

// Token codes: a single-character operator has its position in kOperators.
enum Token : int {
  kOr = 0,
  kAnd,
  kEq,
  kLt,
  kGt,
  kPlus,
  kMinus,
  kTimes,
  kDivide,
  kMod,
  kColon,
  kLp,
  kRp,
  kNe,
  kLe,
  kGe,
  kNumber,
  kEoi,
};

constexpr const char kOperators[] = "|&=<>+-*/%:()";
static_assert(kOperators[kRp] == ')' && sizeof kOperators == kRp + 2, "token codes follow kOperators");

inline int32_t to_int32(uint32_t v) { return static_cast<int32_t>(v); }

// Texts up to this length are copied to the stack; longer ones to the heap.
constexpr size_t kInlineText = 256;

// What each byte is to the lexer: white space, a digit, the end (the NUL
// after the text), an operator (its token code + kOperatorBase), or other.
enum ByteClass : unsigned char { kOther = 0, kSpace, kDigit, kEnd, kOperatorBase };

struct LexTables {
  unsigned char byte_class[256] = {};
  // 1 + the token of an operator byte that is a token by itself whatever
  // follows it ('-' may begin a number; '<', '>' may begin "<=", ">="), or 0.
  unsigned char simple_token[256] = {};
  constexpr LexTables() {
    for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) byte_class[c] = kSpace;
    for (unsigned char c = '0'; c <= '9'; ++c) byte_class[c] = kDigit;
    byte_class[0] = kEnd;
    for (int code = 0; kOperators[code] != '\0'; ++code) {
      byte_class[static_cast<unsigned char>(kOperators[code])] = static_cast<unsigned char>(kOperatorBase + code);
      if (code != kMinus && code != kLt && code != kGt) {
        simple_token[static_cast<unsigned char>(kOperators[code])] = static_cast<unsigned char>(code + 1);
      }
    }
  }
};
constexpr LexTables kLex;

inline unsigned char byte_class(char c) { return kLex.byte_class[static_cast<unsigned char>(c)]; }

// The binary operators by precedence, loosest first: | (any operand not
// zero gives 1), & (every operand not zero gives 1), the comparisons (each
// gives 0 or 1, which is the left side of the next), + -, and * / %. All
// are left-associative and every operand is evaluated. Every other token
// has level 0 and ends the operands and operators of a group.
struct Levels {
  unsigned char of[kEoi + 1] = {};
  constexpr Levels() {
    of[kOr] = 1;
    of[kAnd] = 2;
    for (int t : {kEq, kLt, kGt, kLe, kGe, kNe}) of[t] = 3;
    of[kPlus] = of[kMinus] = 4;
    of[kTimes] = of[kDivide] = of[kMod] = 5;
  }
};
constexpr Levels kLevels;
constexpr int kDeepestLevel = 5;

class Evaluator {
 public:
  // `text` must be NUL-terminated at text[len] and hold no other NUL.
  Evaluator(const char* text, size_t len) : pos_(text), end_(text + len) {}

  int32_t run() {
    next_token();
    int32_t value = group();
    if (token_ != kEoi) fail("Syntax error - token != EOI");
    return value;
  }

 private:
  [[noreturn]] static void fail(const char* message) { die_prefixed(kPrefix, "%s", message); }

  // Reads the next token into token_ (and a number's value into value_).
  // The usual ones, after at most one blank, are read here: an operator of
  // one byte that no other byte can follow in a token, and a decimal number
  // of up to 18 digits. Everything else is read by read_token.
  void next_token() {
    const char* p = pos_;
    if (*p == ' ') ++p;  // the usual single blank between tokens
    const unsigned char c = static_cast<unsigned char>(*p);
    if (const unsigned char simple = kLex.simple_token[c]; simple != 0) {
      token_ = simple - 1;
      pos_ = p + 1;
      return;
    }
    if (static_cast<unsigned char>(c - '1') < 9) {
      // Up to 18 decimal digits cannot overflow: they are read here.
      const char* limit = p + 18;
      unsigned long long magnitude = c - '0';
      const char* q = p + 1;
      unsigned d;
      while (q != limit && (d = static_cast<unsigned>(static_cast<unsigned char>(*q)) - 48u) < 10) {
        magnitude = magnitude * 10 + d;
        ++q;
      }
      if (byte_class(*q) != kDigit) {
        value_ = to_int32(static_cast<uint32_t>(magnitude));
        pos_ = q;
        token_ = kNumber;
        return;
      }
    }
    read_token(p);
  }

  // Reads the token at or after `p` (white space first): any token.
  __attribute__((noinline)) void read_token(const char* p) {
    while (byte_class(*p) == kSpace) ++p;
    pos_ = p;
    const char c = *p;
    const unsigned char kind = byte_class(c);
    if (kind == kDigit || (c == '-' && byte_class(p[1]) == kDigit)) {
      read_number();
      return;
    }
    if (kind == kEnd && p == end_) {
      token_ = kEoi;
      return;
    }
    if (p[1] == '=' && (c == '<' || c == '>' || c == '!')) {
      token_ = c == '<' ? kLe : c == '>' ? kGe : kNe;
      pos_ = p + 2;
      return;
    }
    if (kind >= kOperatorBase) {
      token_ = kind - kOperatorBase;
      pos_ = p + 1;
      return;
    }
    // The message shows the rest of the word, up to white space.
    const char* word_end = p;
    while (word_end != end_ && !is_space(*word_end)) ++word_end;
    die_prefixed(kPrefix, "Invalid operator %.*s", static_cast<int>(word_end - p), p);
  }

  // Reads the number at pos_ as strtoll would in base 0. The text is
  // NUL-terminated and the conversion stops at white space, so it never runs
  // past the current word.
  void read_number() {
    const char* digits = pos_ + (*pos_ == '-' ? 1 : 0);
    long long value;
    const char* stop;
    if (digits[0] == '0' && (digits[1] == 'b' || digits[1] == 'B')) {
      // Only 0x and a leading 0 are prefixes here; some C libraries also take
      // 0b in base 0, which would change what such a word means.
      value = 0;
      stop = digits + 1;
    } else if (digits[0] == '0' && (byte_class(digits[1]) == kDigit || digits[1] == 'x' || digits[1] == 'X')) {
      value = convert(&stop);  // octal or hexadecimal
    } else {
      // Up to 18 decimal digits cannot overflow: they are read here.
      const char* p = digits;
      unsigned long long magnitude = 0;
      const char* limit = digits + 18;
      unsigned d;
      while (p != limit && (d = static_cast<unsigned>(static_cast<unsigned char>(*p)) - 48u) < 10) {
        magnitude = magnitude * 10 + d;
        ++p;
      }
      if (byte_class(*p) == kDigit) {
        value = convert(&stop);
      } else {
        value = *pos_ == '-' ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
        stop = p;
      }
    }
    value_ = to_int32(static_cast<uint32_t>(static_cast<unsigned long long>(value)));
    pos_ = stop;
    token_ = kNumber;
  }

  // strtoll in base 0 from pos_, leaving errno as it was.
  long long convert(const char** stop) const {
    const int saved_errno = errno;
    char* end;
    long long value = std::strtoll(pos_, &end, 0);
    errno = saved_errno;
    *stop = end;
    return value;
  }


  // group: operand { operator operand }, up to the first token that is not a
  // binary operator, which is left in token_. An operator is applied when the
  // token after its right operand is read and binds no tighter, so the
  // pending ones always bind tighter from bottom to top: at most one a level.
  int32_t group() {
    int32_t lefts[kDeepestLevel];
    int ops[kDeepestLevel];
    int pending = 0;
    int32_t value = operand();
    for (;;) {
      const int op = token_;
      const int level = kLevels.of[op];
      while (pending > 0 && kLevels.of[ops[pending - 1]] >= level) {
        --pending;
        value = apply(ops[pending], lefts[pending], value);
      }
      if (level == 0) return value;
      lefts[pending] = value;
      ops[pending] = op;
      ++pending;
      next_token();
      value = operand();
    }
  }

  static int32_t apply(int op, int32_t left, int32_t right) {
    const uint32_t l = static_cast<uint32_t>(left);
    const uint32_t r = static_cast<uint32_t>(right);
    switch (op) {
      case kOr: return (left != 0 || right != 0) ? 1 : 0;
      case kAnd: return (left != 0 && right != 0) ? 1 : 0;
      case kEq: return left == right;
      case kLt: return left < right;
      case kGt: return left > right;
      case kLe: return left <= right;
      case kGe: return left >= right;
      case kNe: return left != right;
      case kPlus: return to_int32(l + r);
      case kMinus: return to_int32(l - r);
      case kTimes: return to_int32(l * r);
      default:
        if (right == 0) fail("division by zero");
        if (right == -1) {
          // Also covers INT32_MIN / -1, whose quotient wraps to INT32_MIN.
          return op == kDivide ? to_int32(0u - l) : 0;
        }
        return op == kDivide ? left / right : left % right;
    }
  }

  // operand: NUMBER | ( group ); reads the token after it.
  int32_t operand() {
    if (token_ == kNumber) {
      const int32_t value = value_;
      next_token();
      return value;
    }
    if (token_ != kLp) fail("Syntax error - token != LP");
    if (++depth_ > kMaxExprNesting) fail("Expression nested too deeply");
    next_token();
    const int32_t value = group();
    if (token_ != kRp) fail("Syntax error - token != RP");
    --depth_;
    next_token();
    return value;
  }

  const char* pos_;        // lexer position
  const char* const end_;  // end of the text, where a NUL stands
  int token_ = kEoi;
  int32_t value_ = 0;  // value of the last NUMBER token
  int depth_ = 0;      // parentheses currently open
};

}  // namespace

int64_t eval_expr(std::string_view text) {
  // The text ends at its first NUL byte, as a C string would.
  if (const size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);

  // strtol needs a NUL-terminated text.
  char inline_copy[kInlineText + 1];
  std::string heap_copy;
  const char* copy;
  if (text.size() <= kInlineText) {
    if (!text.empty()) std::memcpy(inline_copy, text.data(), text.size());
    inline_copy[text.size()] = '\0';
    copy = inline_copy;
  } else {
    heap_copy.assign(text);
    copy = heap_copy.c_str();
  }
  return Evaluator(copy, text.size()).run();
}

}  // namespace quenfold
