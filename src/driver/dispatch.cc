#include "driver/dispatch.h"

#include <cstring>

#include "control/control.h"
#include "diag/diag.h"
#include "input/line_reader.h"
#include "macros/macros.h"

namespace quenfold {

SplitWord split_word(std::string_view text) {
  SplitWord cut;
  size_t n = text.size();
  size_t i = 0;
  while (i < n && is_space(static_cast<unsigned char>(text[i]))) ++i;
  while (i < n && !is_space(static_cast<unsigned char>(text[i]))) ++i;
  if (i == n) {
    cut.word = text;
    return cut;
  }
  cut.word = text.substr(0, i);
  ++i;
  while (i < n && is_space(static_cast<unsigned char>(text[i]))) ++i;
  if (i < n) {
    cut.rest = text.substr(i);
    cut.has_rest = true;
  }
  return cut;
}

namespace {

struct Directive {
  const char* name;  // without its '@', upper case
  unsigned char length;
  int code;
  bool needs_argument;
};

constexpr Directive kDirectives[] = {
    {"GETENV", 6, kGetenv, true},     {"READLINE", 8, kReadline, true}, {"DEFINE", 6, kDefine, true},
    {"DEFAULT", 7, kDefault, true},   {"REDEFINE", 8, kRedefine, true}, {"EXTEND", 6, kExtend, true},
    {"UNDEF", 5, kUndef, true},       {"INCLUDE", 7, kInclude, true},   {"PRINT", 5, kPrint, true},
    {"SHOW", 4, kShow, false},        {"CLEAR", 5, kClear, false},      {"IFDEF", 5, kIfdef, true},
    {"IFNDEF", 6, kIfndef, true},     {"QUOTE", 5, kQuote, true},       {"FOR", 3, kFor, true},
    {"END", 3, kEnd, false},          {"ERROR", 5, kError, true},       {"RETURN", 6, kReturn, false},
    {"ELSE", 4, kElse, false},        {"ELIFDEF", 7, kElifdef, true},   {"ELIFNDEF", 8, kElifndef, true},
    {"ENDIF", 5, kEndif, false},
};
constexpr size_t kLongestDirective = 8;

// The table entry of a directive word (its '@' included), matched without
// regard to case, or null.
const Directive* lookup(std::string_view word) {
  std::string_view name = word.substr(1);
  if (name.size() > kLongestDirective) return nullptr;
  char upper[kLongestDirective];
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    upper[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  for (const Directive& d : kDirectives) {
    if (d.length == name.size() && std::memcmp(upper, d.name, name.size()) == 0) return &d;
  }
  return nullptr;
}

}  // namespace

void dispatch_directive(Engine& engine, size_t at, int skipping) {
  std::string_view text = std::string_view(engine.line).substr(at);
  SplitWord cut = split_word(text);
  const Directive* directive = lookup(cut.word);
  int code = directive ? directive->code : kUnknown;
  bool needs_argument = directive ? directive->needs_argument : true;

  if (code == kEndif) {
    close_block(engine);
    return;
  }
  if (code == kElse) {
    branch_block(engine, code, cut.rest);
    return;
  }
  if (needs_argument && !cut.has_rest) die(engine, "No macro name for %d", code);
  if (code == kElifdef || code == kElifndef) {
    branch_block(engine, code, cut.rest);
    return;
  }
  if (skipping != 0) {
    if (code == kIfdef || code == kIfndef) ++engine.ifs.back().nesting;
    return;
  }

  std::string expanded;
  if (code >= kExtend && code <= kReturn && cut.has_rest) expanded = expand_macros(engine, cut.rest);

  switch (code) {
    case kGetenv:
    case kReadline:
    case kDefine:
    case kDefault:
    case kRedefine:
    case kExtend:
    case kUndef:
      define_directive(engine, code, cut.rest);
      break;
    case kInclude:
      include_directive(engine, expanded);
      break;
    case kPrint:
      print_directive(engine, expanded);
      break;
    case kShow:
      show_directive(engine);
      break;
    case kClear:
      clear_directive(engine, expanded);
      break;
    case kIfdef:
    case kIfndef:
      // The saved word runs from the line's first character: a leading '!' stays.
      open_block(engine, code, expanded,
                 std::string_view(engine.line).substr(0, at + cut.word.size()));
      break;
    case kQuote:
      break;
    case kFor:
      for_directive(engine, expanded);
      break;
    case kEnd:
      end_directive(engine);
      break;
    case kError:
      error_directive(engine, expanded);
    case kReturn:
      return_directive(engine);
      break;
    default:
      die(engine, "Unknown directive '%s' (%d)", std::string(cut.word).c_str(), -1);
  }
}

}  // namespace quenfold
