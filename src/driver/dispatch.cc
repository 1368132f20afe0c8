#include "driver/dispatch.h"

#include <cstdint>
#include <cstring>
#include <iterator>

#include "control/control.h"
#include "diag/diag.h"
#include "input/line_reader.h"
#include "base/byte_scan.h"
#include "base/words.h"
#include "macros/macros.h"

namespace quenfold {

namespace {

struct Directive {
  const char* name;  // without its '@', upper case
  int code;
  bool needs_argument;
};

constexpr Directive kDirectives[] = {
    {"GETENV", kGetenv, true},   {"READLINE", kReadline, true}, {"DEFINE", kDefine, true},
    {"DEFAULT", kDefault, true}, {"REDEFINE", kRedefine, true}, {"EXTEND", kExtend, true},
    {"UNDEF", kUndef, true},     {"INCLUDE", kInclude, true},   {"PRINT", kPrint, true},
    {"SHOW", kShow, false},      {"CLEAR", kClear, false},      {"IFDEF", kIfdef, true},
    {"IFNDEF", kIfndef, true},   {"QUOTE", kQuote, true},       {"FOR", kFor, true},
    {"END", kEnd, false},        {"ERROR", kError, true},       {"RETURN", kReturn, false},
    {"ELSE", kElse, false},      {"ELIFDEF", kElifdef, true},   {"ELIFNDEF", kElifndef, true},
    {"ENDIF", kEndif, false},
};
constexpr size_t kLongestDirective = 8;
// Rows of the most frequent directives with arguments in kDirectives.
constexpr size_t kDefineRow = 2;
constexpr size_t kIfdefRow = 11;
static_assert(kDirectives[kDefineRow].code == kDefine && kDirectives[kIfdefRow].code == kIfdef,
              "rows of the usual directives");

// A name of at most eight bytes packed into one word as load_padded packs
// bytes (the first byte lowest), so that names compare as integers.
constexpr uint64_t pack(const char* name) {
  uint64_t word = 0;
  for (size_t i = 0; name[i] != '\0'; ++i) word |= static_cast<uint64_t>(static_cast<unsigned char>(name[i])) << (8 * i);
  return word;
}

// The directive names in a table of 64 slots, placed by a multiplicative
// hash whose multiplier is chosen at compile time so that no two collide.
struct DirectiveIndex {
  static constexpr int kShift = 58;
  uint64_t multiplier = 0;
  uint64_t words[std::size(kDirectives)] = {};
  unsigned char lengths[std::size(kDirectives)] = {};
  unsigned char slot[64] = {};  // index + 1 of the name placed there, 0 when free
  constexpr DirectiveIndex() {
    for (size_t i = 0; i < std::size(kDirectives); ++i) {
      words[i] = pack(kDirectives[i].name);
      while (kDirectives[i].name[lengths[i]] != '\0') ++lengths[i];
    }
    // Candidate multipliers come from a generator: neighbouring odd numbers
    // would give nearly the same top bits and the same collisions.
    for (uint64_t k = 0x9e3779b97f4a7c15ULL;; k = (k * 6364136223846793005ULL + 1442695040888963407ULL) | 1) {
      for (unsigned char& s : slot) s = 0;
      bool distinct = true;
      for (size_t i = 0; i < std::size(kDirectives) && distinct; ++i) {
        size_t h = static_cast<size_t>((words[i] * k) >> kShift);
        if (slot[h] != 0) distinct = false;
        slot[h] = static_cast<unsigned char>(i + 1);
      }
      if (distinct) {
        multiplier = k;
        return;
      }
    }
  }
};
constexpr DirectiveIndex kIndex;

// The table entry of a directive word (its '@' included), matched without
// regard to case, or null.
const Directive* lookup(std::string_view word) {
  std::string_view name = word.substr(1);
  if (name.empty() || name.size() > kLongestDirective) return nullptr;
  // The bytes of the word, with bit 5 of each cleared: that turns lower-case
  // letters into upper-case ones and leaves every other byte a non-letter,
  // so only the names in the table, in any case, can match.
  uint64_t packed = load_padded(name.data(), name.size()) & ~0x2020202020202020ULL;
  unsigned slot = kIndex.slot[(packed * kIndex.multiplier) >> DirectiveIndex::kShift];
  // The length too: a word that ends in zero bytes packs like a shorter one.
  return slot != 0 && kIndex.words[slot - 1] == packed && kIndex.lengths[slot - 1] == name.size()
             ? &kDirectives[slot - 1]
             : nullptr;
}

// The entry of `row`, whose word and blank are the first `length` bytes of
// `text`, with the word and the argument cut as split_word would cut them.
const Directive* cut_known(std::string_view text, size_t length, size_t row, SplitWord* cut) {
  cut->word = text.substr(0, length - 1);
  cut->rest = skip_space(text.substr(length));
  cut->has_rest = !cut->rest.empty();
  return &kDirectives[row];
}

// When `text` begins with one of the most frequent directives with
// arguments as it is usually written (the word in capitals and a blank),
// its entry and the cut text; null otherwise.
const Directive* usual_directive(std::string_view text, SplitWord* cut) {
  if (text.size() > 8 && std::memcmp(text.data(), "@DEFINE ", 8) == 0) return cut_known(text, 8, kDefineRow, cut);
  if (text.size() > 7 && std::memcmp(text.data(), "@IFDEF ", 7) == 0) return cut_known(text, 7, kIfdefRow, cut);
  return nullptr;
}

}  // namespace

int directive_code(std::string_view word) {
  const Directive* directive = lookup(word);
  return directive ? directive->code : kUnknown;
}

void dispatch_directive(Engine& engine, std::string_view line, size_t at, int skipping) {
  std::string_view text = line.substr(at);
  // The lines that end or switch a conditional block, as they are usually
  // written, go to it without their word being cut and looked up.
  if (text == "@ENDIF") {
    close_block(engine);
    return;
  }
  if (text == "@ELSE") {
    branch_block(engine, kElse, std::string_view());
    return;
  }
  if (text == "@END") {  // a loop's end; in a skipped block it is skipped too
    if (skipping == 0) end_directive(engine);
    return;
  }
  SplitWord cut;
  const Directive* directive = usual_directive(text, &cut);
  if (directive == nullptr) {
    cut = split_word(text);
    directive = lookup(cut.word);
  }
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

  TextBuffer buffer;
  std::string_view expanded;
  if (code >= kExtend && code <= kReturn && cut.has_rest) expanded = expand_view(engine, cut.rest, buffer);

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
                 line.substr(0, at + cut.word.size()));
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
