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
void number_sequence(Engine& engine, const char* s, std::string& out) {
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
void choice(Engine& engine, std::string_view body, std::string& out) {
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

void append_decimal(std::string& out, long long value) {
  char digits[24];
  char* end = digits + sizeof digits;
  char* p = end;
  unsigned long long magnitude =
      value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--p = '-';
  out.append(p, static_cast<size_t>(end - p));
}

void expand_special(Engine& engine, std::string_view ref, Params params, std::string& out) {
  if (ref.size() < 2 || ref[1] != ':') {
    die(engine, "Invalid special macro '%s'", std::string(ref).c_str());
  }
  // The body is expanded once more; text without a '$' is its own expansion.
  std::string_view raw = ref.substr(2);
  std::string text;
  if (raw.find('$') != std::string_view::npos || ref[0] == '%') {
    text = expand_macros(engine, raw, params);  // the sequence reader needs a terminator
    raw = text;
  }
  std::string_view body = skip_space(raw);

  switch (ref[0]) {
    case '%':
      number_sequence(engine, text.c_str() + (text.size() - body.size()), out);  // text holds the body here
      break;
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
