#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "diag/diag.h"
#include "expr/expr.h"
#include "input/line_reader.h"
#include "macros/macros.h"

namespace quenfold {

namespace {

// Most numbers one sequence may hold.
constexpr int kMaxSequence = 2049;


// $(%:...): numbers and ranges separated by white space.
void number_sequence(Engine& engine, const char* s, TextBuffer& out) {
  long long last = 0;
  int count = 0;
  auto produce = [&](long long value) {
    if (count == kMaxSequence) die(engine, "Sequence too long");
    if (count != 0) out.push_back(' ');
    append_decimal(out, value);
    ++count;
    last = value;
  };
  while (*s != '\0') {
    if (is_space(static_cast<unsigned char>(*s))) {
      ++s;
    } else if (*s == '-') {
      char* after;
      long long to = std::strtoll(s + 1, &after, 0);
      s = after;
      if (to > last) {
        for (long long k = last + 1;; ++k) {
          produce(k);
          if (k == to) break;
        }
      }
    } else {
      // Where nothing can be read the position stays, so the same character
      // produces a 0 each time until the limit is reached.
      char* after;
      long long value = std::strtoll(s, &after, 0);
      produce(value);
      s = after;
    }
  }
}

// $(?:test:first:second): the first branch when the test is not empty.
void choice(Engine& engine, std::string_view body, TextBuffer& out) {
  size_t first_colon = body.find(':');
  size_t second_colon =
      first_colon == std::string_view::npos ? first_colon : body.find(':', first_colon + 1);
  if (second_colon == std::string_view::npos) {
    die(engine, "%s", "Invalid macro usage for '?' - '$(?:<expr1>:<expr2>:<expr3>)'");
  }
  std::string_view test = body.substr(0, first_colon);
  if (!test.empty()) {
    out.append(body.substr(first_colon + 1, second_colon - first_colon - 1));
    return;
  }
  out.append(skip_space(body.substr(second_colon + 1)));
}

}  // namespace

void append_decimal(TextBuffer& out, long long value) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  char digits[24];
  char* end = digits + sizeof digits;
  char* p = end;
  unsigned long long magnitude =
      value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  while (magnitude >= 100) {
    const char* pair = kPairs + 2 * (magnitude % 100);
    magnitude /= 100;
    *--p = pair[1];
    *--p = pair[0];
  }
  if (magnitude >= 10) {
    const char* pair = kPairs + 2 * magnitude;
    *--p = pair[1];
    *--p = pair[0];
  } else {
    *--p = static_cast<char>('0' + magnitude);
  }
  if (value < 0) *--p = '-';
  out.append(p, static_cast<size_t>(end - p));
}

void expand_special(Engine& engine, std::string_view ref, Params params, TextBuffer& out, bool plain) {
  if (ref.size() < 2 || ref[1] != ':') {
    die(engine, "Invalid special macro '%s'", std::string(ref).c_str());
  }
  // The body is expanded once more; text without a '$' is its own expansion.
  std::string_view raw = ref.substr(2);
  TextBuffer text;
  if (ref[0] == '%' || (!plain && raw.find('$') != std::string_view::npos)) {
    text = expand_macros(engine, raw, params);
    raw = text.view();
  }
  std::string_view body = skip_space(raw);

  switch (ref[0]) {
    case '%': {
      // The sequence reader needs a terminator; text holds the body here.
      const char* terminated = text.c_str();
      number_sequence(engine, terminated + (text.size() - body.size()), out);
      break;
    }
    case '=':
      append_decimal(out, eval_expr(body));
      break;
    case '?':
      choice(engine, body, out);
      break;
    default: {  // '@'
      char digits[24];
      int n = std::snprintf(digits, sizeof digits, "%zu", body.size());
      out.append(digits, static_cast<size_t>(n));
      break;
    }
  }
}

}  // namespace quenfold
