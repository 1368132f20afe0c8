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
#include <memory>
#include <string>

#include "base/byte_scan.h"
#include "base/chars.h"
#include "diag/diag.h"

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

// Copies the `n` bytes at `from` to `to` and returns the position of the
// first NUL byte among them, or n when there is none.
inline size_t copy_to_nul(char* to, const char* from, size_t n) {
#ifdef QUENFOLD_SSE2
  if (n >= 16) {
    // Sixteen bytes at a time; the last block may overlap the one before,
    // whose bytes held no NUL.
    for (size_t i = 0;; i += 16) {
      if (n - i < 16) i = n - 16;
      __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), block);
      if (unsigned nul = hits_of<0>(block); nul != 0) return i + static_cast<size_t>(__builtin_ctz(nul));
      if (i + 16 == n) return n;
    }
  }
#endif
  if (n == 0) return 0;
  std::memcpy(to, from, n);
  const void* nul = std::memchr(to, 0, n);
  return nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - to) : n;
}

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

// How tightly each token binds as a binary operator, loosest first: | (any
// operand not zero gives 1), & (every operand not zero gives 1), the
// comparisons (each gives 0 or 1, which is the left side of the next), + -,
// and * / %. All are left-associative and every operand is evaluated. Every
// other token ends a run of operands and operators (kEnds).
constexpr unsigned char kEnds = 1;
struct Priorities {
  unsigned char of[kEoi + 1] = {};
  constexpr Priorities() {
    for (unsigned char& p : of) p = kEnds;
    of[kOr] = 2;
    of[kAnd] = 3;
    for (int t : {kEq, kLt, kGt, kLe, kGe, kNe}) of[t] = 4;
    of[kPlus] = of[kMinus] = 5;
    of[kTimes] = of[kDivide] = of[kMod] = 6;
  }
};
constexpr Priorities kPriority;
// Operators waiting for their right operand inside one pair of parentheses
// bind tighter from bottom to top: one a level at most.
constexpr int kPendingPerGroup = 5;

// A token read: its code, a number's value, and where the text after it begins.
struct Lexed {
  int token;
  int32_t value;
  const char* next;
};

[[noreturn]] void fail(const char* message) { die_prefixed(kPrefix, "%s", message); }

// strtoll in base 0 from `p`, leaving errno as it was.
long long convert(const char* p, const char** stop) {
  const int saved_errno = errno;
  char* end;
  long long value = std::strtoll(p, &end, 0);
  errno = saved_errno;
  *stop = end;
  return value;
}

// Reads on the decimal digits from `p` into `*magnitude` (which holds
// those before `p`), up to `limit`, and returns where they stop. Up to 18
// digits cannot overflow; when a digit follows the 18th, strtoll reads the
// number instead.
__attribute__((always_inline)) inline const char* read_digits(const char* p, const char* limit,
                                                              unsigned long long* magnitude) {
  unsigned long long m = *magnitude;
  unsigned d;
  while (p != limit && (d = static_cast<unsigned>(static_cast<unsigned char>(*p)) - 48u) < 10) {
    m = m * 10 + d;
    ++p;
  }
  *magnitude = m;
  return p;
}

// Reads the number at `p` as strtoll would in base 0. The text is
// NUL-terminated and the conversion stops at white space, so it never runs
// past the current word.
Lexed read_number(const char* p) {
  const char* digits = p + (*p == '-' ? 1 : 0);
  long long value;
  const char* stop;
  if (digits[0] == '0' && (digits[1] == 'b' || digits[1] == 'B')) {
    // Only 0x and a leading 0 are prefixes here; some C libraries also take
    // 0b in base 0, which would change what such a word means.
    value = 0;
    stop = digits + 1;
  } else if (digits[0] == '0' && (byte_class(digits[1]) == kDigit || digits[1] == 'x' || digits[1] == 'X')) {
    value = convert(p, &stop);  // octal or hexadecimal
  } else {
    unsigned long long magnitude = 0;
    const char* q = read_digits(digits, digits + 18, &magnitude);
    if (byte_class(*q) == kDigit) {
      value = convert(p, &stop);
    } else {
      value = *p == '-' ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
      stop = q;
    }
  }
  return {kNumber, to_int32(static_cast<uint32_t>(static_cast<unsigned long long>(value))), stop};
}

// Reads any token at or after `p` (white space first); the text ends with a
// NUL at `end`.
__attribute__((noinline)) Lexed read_token(const char* p, const char* end) {
  while (byte_class(*p) == kSpace) ++p;
  const char c = *p;
  const unsigned char kind = byte_class(c);
  if (kind == kDigit || (c == '-' && byte_class(p[1]) == kDigit)) return read_number(p);
  if (kind == kEnd && p == end) return {kEoi, 0, p};
  if (p[1] == '=' && (c == '<' || c == '>' || c == '!')) return {c == '<' ? kLe : c == '>' ? kGe : kNe, 0, p + 2};
  if (kind >= kOperatorBase) return {kind - kOperatorBase, 0, p + 1};
  // The message shows the rest of the word, up to white space.
  const char* word_end = p;
  while (word_end != end && !is_space(*word_end)) ++word_end;
  die_prefixed(kPrefix, "Invalid operator %.*s", static_cast<int>(word_end - p), p);
}

// Reads the next token from `p`. The usual ones, after at most one blank,
// are read here: an operator of one byte that no other byte can follow in a
// token, a decimal number of up to 18 digits, a '-' that begins no number,
// and the end. Tokens never span white space and white space only separates
// them.
inline Lexed next_token(const char* p, const char* end) {
  if (*p == ' ') ++p;  // the usual single blank between tokens
  const unsigned char c = static_cast<unsigned char>(*p);
  if (const unsigned char simple = kLex.simple_token[c]; simple != 0) return {simple - 1, 0, p + 1};
  if (static_cast<unsigned char>(c - '1') < 9) {
    unsigned long long magnitude = c - '0';
    const char* q = read_digits(p + 1, p + 18, &magnitude);
    if (byte_class(*q) != kDigit) return {kNumber, to_int32(static_cast<uint32_t>(magnitude)), q};
  } else if (c == '-' && byte_class(p[1]) != kDigit) {
    return {kMinus, 0, p + 1};
  } else if (p == end) {
    return {kEoi, 0, p};
  }
  return read_token(p, end);
}

int32_t apply(int op, int32_t left, int32_t right) {
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

// Operators waiting in the deepest text: a '(' and kPendingPerGroup
// operators for each pair of parentheses, and those outside them.
constexpr size_t kMostPending = (kPendingPerGroup + 1) * (kMaxExprNesting + 1);

// Each operator waiting for its right operand, with its left operand and
// its priority. An open parenthesis, and the bottom of the stack, have
// priority 0, below every token's, so that the operators applied before a
// token stop there.
struct Pending {
  int32_t left;
  unsigned char priority;
  unsigned char op;
};

// expression: operand { operator operand }; operand: NUMBER | ( expression ).
// `text` must be NUL-terminated at `end` and hold no other NUL.
//
// The operators waiting for their right operand, with their left operands,
// and the open parentheses are kept on one stack. An operator is applied
// when the token after its right operand is read and binds no more tightly,
// so a text's errors come in the order its tokens are read.
//
// Evaluates with room for `capacity` entries in `stack` (the bottom one
// included); false when a text needs more before it ends or fails. A group
// of operands and operators is let begin only where its operators have
// room, so an operator is pushed without a look.
bool evaluate_in(const char* text, const char* end, Pending* stack, size_t capacity, int32_t* result) {
  stack[0] = {0, 0, kEoi};
  Pending* top = stack;
  Pending* const last = stack + capacity - 1;
  int depth = 0;
  Lexed t = next_token(text, end);
  for (;;) {
    // An operand, after the parentheses that open before it.
    while (t.token == kLp) {
      if (++depth > kMaxExprNesting) fail("Expression nested too deeply");
      if (last - top < kPendingPerGroup + 1) return false;  // room for it and its group's operators
      *++top = {0, 0, kLp};
      t = next_token(t.next, end);
    }
    if (t.token != kNumber) fail("Syntax error - token != LP");
    int32_t value = t.value;
    t = next_token(t.next, end);
    // The operators before it that bind at least as tightly as the token
    // after it are applied. A ')' closes its group, whose value is then the
    // operand that the operators before the group see.
    for (;;) {
      const unsigned char priority = kPriority.of[t.token];
      while (top->priority >= priority) {
        value = apply(top->op, top->left, value);
        --top;
      }
      if (priority != kEnds) {
        *++top = {value, priority, static_cast<unsigned char>(t.token)};
        t = next_token(t.next, end);
        break;
      }
      if (top == stack) {
        if (t.token != kEoi) fail("Syntax error - token != EOI");
        *result = value;
        return true;
      }
      if (t.token != kRp) fail("Syntax error - token != RP");
      --top;  // its '('
      --depth;
      t = next_token(t.next, end);
    }
  }
}

// Evaluates with a small stack on the machine stack, and only a text nested
// too deeply for it again from its start with room for the deepest: its
// first run ends no differently, since an error comes where its token is.
int32_t evaluate(const char* text, const char* end) {
  constexpr size_t kSmall = 64;
  static_assert(kSmall > kPendingPerGroup + 1, "room for the outermost group");
  Pending stack[kSmall];
  int32_t result;
  if (evaluate_in(text, end, stack, kSmall, &result)) return result;
  std::unique_ptr<Pending[]> deep(new Pending[kMostPending + 1]);
  evaluate_in(text, end, deep.get(), kMostPending + 1, &result);
  return result;
}

}  // namespace

int64_t eval_expr(std::string_view text) {
  // The text ends at its first NUL byte, as a C string would, and strtol
  // needs a NUL-terminated text: a short text is copied to the stack and
  // looked through for a NUL in the same pass.
  if (text.size() <= kInlineText) {
    char copy[kInlineText + 1];
    size_t length = copy_to_nul(copy, text.data(), text.size());
    copy[length] = '\0';
    return evaluate(copy, copy + length);
  }
  if (const size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
  std::string copy(text);
  return evaluate(copy.c_str(), copy.c_str() + copy.size());
}

}  // namespace quenfold
