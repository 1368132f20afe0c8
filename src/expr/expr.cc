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

// The token code of a one-character operator, or -1.
inline int operator_code(char c) {
  switch (c) {
    case '|': return kOr;
    case '&': return kAnd;
    case '=': return kEq;
    case '<': return kLt;
    case '>': return kGt;
    case '+': return kPlus;
    case '-': return kMinus;
    case '*': return kTimes;
    case '/': return kDivide;
    case '%': return kMod;
    case ':': return kColon;
    case '(': return kLp;
    case ')': return kRp;
    default: return -1;
  }
}

// True when the digits at `p` are at most 18 in a row.
inline bool short_decimal(const char* p) {
  for (int i = 0; i < 19; ++i) {
    if (!is_digit(p[i])) return true;
  }
  return false;
}

class Evaluator {
 public:
  // `text` must be NUL-terminated at text[len] and hold no other NUL.
  Evaluator(const char* text, size_t len) : pos_(text), end_(text + len) {}

  int32_t run() {
    next_token();
    int32_t value = or_list();
    if (token_ != kEoi) fail("Syntax error - token != EOI");
    return value;
  }

 private:
  [[noreturn]] static void fail(const char* message) { die_prefixed(kPrefix, "%s", message); }

  // Reads the next token into token_ (and a number's value into value_).
  // Tokens never span white space and white space only separates them, so
  // the lexer skips it and reads on; the text ends with a NUL at end_.
  void next_token() {
    while (pos_ != end_ && is_space(*pos_)) ++pos_;
    if (pos_ == end_) {
      token_ = kEoi;
      return;
    }
    const char c = *pos_;
    if (is_digit(c) || (c == '-' && is_digit(pos_[1]))) {
      read_number();
      return;
    }
    if (pos_[1] == '=' && (c == '<' || c == '>' || c == '!')) {
      token_ = c == '<' ? kLe : c == '>' ? kGe : kNe;
      pos_ += 2;
      return;
    }
    if (int code = operator_code(c); code >= 0) {
      token_ = code;
      ++pos_;
      return;
    }
    // The message shows the rest of the word, up to white space.
    const char* word_end = pos_;
    while (word_end != end_ && !is_space(*word_end)) ++word_end;
    die_prefixed(kPrefix, "Invalid operator %.*s", static_cast<int>(word_end - pos_), pos_);
  }

  // Converts the number at pos_ with strtol in base 0. The text is
  // NUL-terminated and the conversion stops at white space, so it never runs
  // past the current word.
  void read_number() {
    const char* digits = pos_ + (*pos_ == '-' ? 1 : 0);
    long long value;
    char* stop;
    if (digits[0] == '0' && (digits[1] == 'b' || digits[1] == 'B')) {
      // Only 0x and a leading 0 are prefixes here; some C libraries also take
      // 0b in base 0, which would change what such a word means.
      value = 0;
      stop = const_cast<char*>(digits + 1);
    } else if (digits[0] != '0' && short_decimal(digits)) {
      // Up to 18 decimal digits cannot overflow: read them directly, as
      // strtol would.
      const char* p = digits;
      unsigned long long magnitude = 0;
      while (is_digit(*p)) magnitude = magnitude * 10 + static_cast<unsigned long long>(*p++ - '0');
      value = *pos_ == '-' ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
      stop = const_cast<char*>(p);
    } else {
      const int saved_errno = errno;
      value = std::strtoll(pos_, &stop, 0);
      errno = saved_errno;
    }
    value_ = to_int32(static_cast<uint32_t>(static_cast<unsigned long long>(value)));
    pos_ = stop;
    token_ = kNumber;
  }

  // or-list: and-list { | and-list }
  int32_t or_list() {
    int32_t value = and_list();
    if (token_ != kOr) return value;
    bool any = value != 0;
    while (token_ == kOr) {
      next_token();
      if (and_list() != 0) any = true;
    }
    return any ? 1 : 0;
  }

  // and-list: comparison { & comparison }
  int32_t and_list() {
    int32_t value = comparison();
    if (token_ != kAnd) return value;
    bool all = value != 0;
    while (token_ == kAnd) {
      next_token();
      if (comparison() == 0) all = false;
    }
    return all ? 1 : 0;
  }

  // comparison: sum { (= < > <= >= !=) sum }, each relation giving 0 or 1
  // that becomes the left side of the next one.
  int32_t comparison() {
    int32_t left = sum();
    for (;;) {
      const int op = token_;
      if (op != kEq && op != kLt && op != kGt && op != kLe && op != kGe && op != kNe) {
        return left;
      }
      next_token();
      const int32_t right = sum();
      bool holds;
      switch (op) {
        case kEq:
          holds = left == right;
          break;
        case kLt:
          holds = left < right;
          break;
        case kGt:
          holds = left > right;
          break;
        case kLe:
          holds = left <= right;
          break;
        case kGe:
          holds = left >= right;
          break;
        default:
          holds = left != right;
          break;
      }
      left = holds ? 1 : 0;
    }
  }

  // sum: term { (+ -) term }
  int32_t sum() {
    uint32_t value = static_cast<uint32_t>(term());
    while (token_ == kPlus || token_ == kMinus) {
      const int op = token_;
      next_token();
      const uint32_t right = static_cast<uint32_t>(term());
      value = op == kPlus ? value + right : value - right;
    }
    return to_int32(value);
  }

  // term: primary { (* / %) primary }
  int32_t term() {
    int32_t value = primary();
    while (token_ == kTimes || token_ == kDivide || token_ == kMod) {
      const int op = token_;
      next_token();
      const int32_t right = primary();
      if (op == kTimes) {
        value = to_int32(static_cast<uint32_t>(value) * static_cast<uint32_t>(right));
        continue;
      }
      if (right == 0) fail("division by zero");
      if (right == -1) {
        // Also covers INT32_MIN / -1, whose quotient wraps to INT32_MIN.
        value = op == kDivide ? to_int32(0u - static_cast<uint32_t>(value)) : 0;
      } else {
        value = op == kDivide ? value / right : value % right;
      }
    }
    return value;
  }

  // primary: NUMBER | ( or-list )
  int32_t primary() {
    if (token_ == kNumber) {
      const int32_t value = value_;
      next_token();
      return value;
    }
    if (token_ != kLp) fail("Syntax error - token != LP");
    if (++depth_ > kMaxExprNesting) fail("Expression nested too deeply");
    next_token();
    const int32_t value = or_list();
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
