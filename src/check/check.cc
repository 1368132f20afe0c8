#include "check/check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>

#include "base/chars.h"
#include "base/words.h"
#include "diag/diag.h"
#include "driver/args.h"
#include "driver/dispatch.h"
#include "input/line_reader.h"
#include "input/reader.h"
#include "macros/macros.h"

namespace quenfold::check {

namespace {

constexpr size_t kNone = std::string_view::npos;
constexpr int kMaxDepth = 1000;    // nested references looked into, as deep as the program expands
constexpr int kQuotesTried = 32;  // quote characters of one text tried for quote-protects

const char kCommentInText[] = "comment-in-text";
const char kQuoteProtects[] = "quote-protects";
const char kBareParameter[] = "bare-parameter";
const char kSeparatorInValue[] = "separator-in-value";
const char kOctalNumber[] = "octal-number";
const char kLoopShadows[] = "loop-shadows";
const char kByteOrderMark[] = "byte-order-mark";
const char kDefineVsOption[] = "define-vs-option";
const char kUnknownDirectiveSkipped[] = "unknown-directive-skipped";

// What the checker needs to know of a directive.
enum class Kind {
  kGetenv, kReadline, kDefine, kDefault, kRedefine, kExtend,  // name [value], the value as written
  kUndef,
  kClear,
  kOpen,    // @IFDEF, @IFNDEF
  kBranch,  // @ELSE, @ELIFDEF, @ELIFNDEF
  kEndif,
  kFor,
  kEnd,
  kOther,  // @INCLUDE, @PRINT, @SHOW, @QUOTE, @ERROR, @RETURN: the argument is expanded
  kUnknown,
};

// The directive word, its '@' included, as the program's directive table
// reads it (without regard to case).
Kind directive_kind(std::string_view word) {
  switch (directive_code(word)) {
    case kGetenv: return Kind::kGetenv;
    case kReadline: return Kind::kReadline;
    case kDefine: return Kind::kDefine;
    case kDefault: return Kind::kDefault;
    case kRedefine: return Kind::kRedefine;
    case kExtend: return Kind::kExtend;
    case kUndef: return Kind::kUndef;
    case kClear: return Kind::kClear;
    case kIfdef:
    case kIfndef: return Kind::kOpen;
    case kElse:
    case kElifdef:
    case kElifndef: return Kind::kBranch;
    case kEndif: return Kind::kEndif;
    case kFor: return Kind::kFor;
    case kEnd: return Kind::kEnd;
    case kInclude:
    case kPrint:
    case kShow:
    case kQuote:
    case kError:
    case kReturn: return Kind::kOther;
    default: return Kind::kUnknown;
  }
}

bool is_word_byte(unsigned char c) {
  return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// A reference as expansion reads it at a '$'.
struct Reference {
  size_t at = 0;          // the '$'
  size_t end = 0;         // just after the reference
  std::string_view text;  // the one character after '$', or what the parentheses hold
  bool parens = false;
};

Reference read_reference(std::string_view text, size_t at) {
  Reference r;
  r.at = at;
  r.end = at + 1;
  if (at + 1 >= text.size()) return r;  // a '$' at the end: an empty reference
  if (text[at + 1] != '(') {
    r.text = text.substr(at + 1, 1);
    r.end = at + 2;
    return r;
  }
  r.parens = true;
  size_t from = at + 2;
  if (from >= text.size()) {
    r.end = from;
    return r;
  }
  // The character after "$(" is taken whatever it is; then parentheses are
  // counted, quote characters or not.
  size_t i = from + 1;
  for (int depth = 1; i < text.size(); ++i) {
    if (text[i] == '(') {
      ++depth;
    } else if (text[i] == ')' && --depth == 0) {
      break;
    }
  }
  r.text = text.substr(from, i - from);
  r.end = i < text.size() ? i + 1 : i;
  return r;
}

// One level of a text as expansion reads it: the references outside quotes,
// and the quote characters that open a quote. The quote character at
// `plain` is taken as an ordinary character.
struct Scan {
  std::vector<Reference> refs;
  std::vector<size_t> opening;
};

Scan scan(std::string_view text, size_t plain = kNone) {
  Scan s;
  char quote = 0;
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (quote != 0) {
      if (c == quote && i != plain) quote = 0;
      ++i;
    } else if ((c == '\'' || c == '"') && i != plain) {
      quote = c;
      s.opening.push_back(i);
      ++i;
    } else if (c == '$') {
      s.refs.push_back(read_reference(text, i));
      i = s.refs.back().end;
    } else {
      ++i;
    }
  }
  return s;
}

// Where `c` stands in `text` outside the references it holds.
std::vector<size_t> outside_references(std::string_view text, char c) {
  std::vector<size_t> found;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '$') {
      i = read_reference(text, i).end;
      continue;
    }
    if (text[i] == c) found.push_back(i);
    ++i;
  }
  return found;
}

// The digits of the first number in `text`, outside its references, that
// begins with 0 and holds an 8 or a 9: strtol in base 0 reads it as octal
// and stops before that digit. Empty when there is none.
std::string_view octal_trap(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '$') {
      i = read_reference(text, i).end;
      continue;
    }
    if (!is_digit(c) || (i != 0 && is_word_byte(static_cast<unsigned char>(text[i - 1])))) {
      ++i;
      continue;
    }
    size_t digits = i;
    while (digits < text.size() && is_digit(static_cast<unsigned char>(text[digits]))) ++digits;
    std::string_view number = text.substr(i, digits - i);
    if (number.size() > 1 && number[0] == '0' && number.find_first_of("89") != kNone) return number;
    i = digits;
    while (i < text.size() && is_word_byte(static_cast<unsigned char>(text[i]))) ++i;
  }
  return {};
}

// A letter or digit beside a quote character; bytes of UTF-8 sequences
// count as letters, the bytes of an escaped character do not.
bool is_letter_at(std::string_view text, size_t i) {
  if (i >= text.size()) return false;
  unsigned char c = static_cast<unsigned char>(text[i]);
  if (c == kMarker || (i != 0 && static_cast<unsigned char>(text[i - 1]) == kMarker)) return false;
  return is_word_byte(c) || c >= 0x80;
}

// Script text as the writer wrote it: escaped characters with their
// backslash again, cut after `limit` bytes.
std::string shown(std::string_view text, size_t limit = 40) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (out.size() >= limit) {
      out += "...";
      break;
    }
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == kMarker && i + 1 < text.size()) {
      unsigned char escaped = static_cast<unsigned char>(text[++i]);
      if (escaped == kMarker) {
        out.push_back(static_cast<char>(kMarker));  // a raw 0xFF, stored twice
      } else {
        out.push_back('\\');
        out.push_back(static_cast<char>(escaped & 0x7F));
      }
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::string reference_shown(std::string_view text, const Reference& r) {
  return shown(text.substr(r.at, r.end - r.at));
}

// A macro value met anywhere in the file (or given with -D).
struct Value {
  Value(std::string value, uint64_t at)
      : text(std::move(value)),
        line(at),
        comma(!outside_references(text, ',').empty()),
        colon(!outside_references(text, ':').empty()),
        octal(octal_trap(text)) {}
  std::string text;
  uint64_t line;           // 0 for -D
  bool comma;              // holds ',' outside its references
  bool colon;              // holds ':' outside its references
  std::string_view octal;  // its first number that begins with 0 and holds an 8 or 9
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
};

std::string where_defined(const Value& value) {
  return value.line == 0 ? std::string("given with -D") : "line " + std::to_string(value.line);
}

// The checks of one file.
class FileCheck {
 public:
  FileCheck(std::string_view bytes, std::string_view file, const Options& options, std::vector<Warning>& out)
      : bytes_(bytes), file_(file), options_(options), out_(out) {
    line_starts_.push_back(0);
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == '\n') line_starts_.push_back(i + 1);
    }
  }

  void run() {
    size_t first = out_.size();
    if (bytes_.starts_with("\xEF\xBB\xBF")) {
      add(0, kByteOrderMark,
          "the file begins with a UTF-8 byte-order mark, which is written out as text (and a directive on "
          "the first line is taken for text); save the file without it");
    }
    collect_values();
    for (const auto& [name, value] : options_.defines) defined_.push_back(Defined{name, true});
    Reader reader(bytes_);
    LineTrace trace;
    std::string line;
    while (read_line_traced(reader, line, nullptr, trace)) check_line(line, trace);
    std::stable_sort(out_.begin() + static_cast<long>(first), out_.end(), [](const Warning& a, const Warning& b) {
      return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
  }

 private:
  // Line and column of a byte of the file.
  std::pair<uint64_t, uint64_t> where(uint64_t offset) const {
    auto after = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
    size_t line = static_cast<size_t>(after - line_starts_.begin());
    return {line, offset - line_starts_[line - 1] + 1};
  }

  void add(uint64_t offset, const char* name, std::string text) {
    auto [line, column] = where(offset);
    out_.push_back(Warning{file_, line, column, name, std::move(text)});
  }

  // A warning at a byte of the current line, unless the lines above it
  // silence it.
  void warn(std::string_view at, const char* name, std::string text) {
    if (std::find(ignored_.begin(), ignored_.end(), name) != ignored_.end()) return;
    size_t i = static_cast<size_t>(at.data() - line_.data());
    add((*source_)[std::min(i, source_->size() - 1)], name, std::move(text));
  }

  // Pass one: every value that any line of the file gives a macro, so that
  // a use may be checked against a value defined further down too (values
  // are expanded when used, not when defined).
  void collect_values() {
    for (const auto& [name, value] : options_.defines) values_[name].push_back(std::make_unique<Value>(value, 0));
    Reader reader(bytes_);
    LineTrace trace;
    std::string line;
    while (read_line_traced(reader, line, nullptr, trace)) {
      size_t at = !line.empty() && line[0] == '!' ? 1 : 0;
      if (at >= line.size() || line[at] != '@') continue;
      SplitWord cut = split_word(std::string_view(line).substr(at));
      Kind kind = directive_kind(cut.word);
      if (kind > Kind::kExtend || !cut.has_rest) continue;
      SplitWord named = split_word(cut.rest);
      values_[std::string(named.word)].push_back(std::make_unique<Value>(
          named.has_rest ? std::string(named.rest) : std::string(), where(trace.source[0]).first));
    }
  }

  // The first value of `name` that holds `c` (',' or ':') outside its references.
  const Value* value_holding(std::string_view name, char c) const {
    auto found = values_.find(name);
    if (found == values_.end()) return nullptr;
    for (const std::unique_ptr<Value>& value : found->second) {
      if (c == ',' ? value->comma : value->colon) return value.get();
    }
    return nullptr;
  }

  // Names from "# quenfold-check: ignore NAME..." lines right above the line.
  void read_ignores(const LineTrace& trace) {
    ignored_.clear();
    uint64_t want = where(trace.source[0]).first - 1;
    for (auto c = trace.comments.rbegin(); c != trace.comments.rend() && want != 0; ++c) {
      if (c->at != 0) continue;  // after text of the line itself
      auto [line, column] = where(c->begin);
      if (line != want) break;
      std::string_view text = bytes_.substr(c->begin + 1, c->end - c->begin - 1);
      text = skip_space(text);
      if (text.starts_with("quenfold-check:")) {
        text = skip_space(text.substr(15));
        if (text.starts_with("ignore")) {
          text = text.substr(6);
          size_t i = 0;
          while (i < text.size()) {
            while (i < text.size() && (is_space(static_cast<unsigned char>(text[i])) || text[i] == ',')) ++i;
            size_t from = i;
            while (i < text.size() && !is_space(static_cast<unsigned char>(text[i])) && text[i] != ',') ++i;
            if (i > from) ignored_.emplace_back(text.substr(from, i - from));
          }
        }
      }
      --want;
    }
  }

  void check_line(const std::string& line, const LineTrace& trace) {
    if (line.empty()) return;  // a NUL byte first: the program ignores the line
    line_ = line;
    source_ = &trace.source;
    read_ignores(trace);
    check_comments(trace);
    size_t at = line[0] == '!' ? 1 : 0;
    if (at < line.size() && line[at] == '@') {
      check_directive(line_.substr(at));
      return;
    }
    if (at == 1 && line.size() > 1 && line[1] == '!') at = 2;
    check_text(line_.substr(at), false);
  }

  // comment-in-text: a '#' after text that touches it, or that stands inside quotes.
  void check_comments(const LineTrace& trace) {
    for (const LineTrace::Comment& c : trace.comments) {
      if (c.at == 0) continue;
      uint64_t line_start = line_starts_[where(c.begin).first - 1];
      bool first_on_line = true;
      for (uint64_t i = line_start; i < c.begin && first_on_line; ++i) {
        first_on_line = is_space(static_cast<unsigned char>(bytes_[i]));
      }
      if (first_on_line) continue;
      std::string_view dropped = bytes_.substr(c.begin, c.end - c.begin);
      while (!dropped.empty() && is_space(static_cast<unsigned char>(dropped.back()))) dropped.remove_suffix(1);
      bool touches = !is_space(static_cast<unsigned char>(bytes_[c.begin - 1])) ||
                     (dropped.size() > 1 && !is_space(static_cast<unsigned char>(dropped[1])));
      if (!touches) {
        // Blanks on both sides: a comment, unless a quote open before it
        // closes in what it drops.
        std::string_view before = line_.substr(0, std::min(c.at, line_.size()));
        char quote = 0;
        for (size_t i = 0; i < before.size(); ++i) {
          if (quote != 0) {
            if (before[i] == quote) quote = 0;
          } else if (before[i] == '\'' || before[i] == '"') {
            quote = before[i];
          } else if (before[i] == '$') {
            i = read_reference(before, i).end - 1;
          }
        }
        if (quote == 0 || dropped.find(quote) == kNone) continue;
      }
      if (std::find(ignored_.begin(), ignored_.end(), kCommentInText) != ignored_.end()) continue;
      add(c.begin, kCommentInText,
          "'#' begins a comment, so \"" + shown(dropped) + "\" is dropped; write \\# for the character itself");
    }
  }

  void check_directive(std::string_view text) {
    SplitWord cut = split_word(text);
    Kind kind = directive_kind(cut.word);
    std::string_view rest = cut.has_rest ? cut.rest : std::string_view();
    SplitWord named = split_word(rest);
    std::string_view name = cut.has_rest ? named.word : std::string_view();
    std::string_view value = named.has_rest ? named.rest : std::string_view();
    switch (kind) {
      case Kind::kDefine: {
        auto found = find_defined(name);
        if (found != defined_.end() && found->by_option) {
          warn(name, kDefineVsOption,
               std::string(name) + " is also given with -D, and @DEFINE of a defined name ends the run; "
               "write @DEFAULT to let -D set it");
        }
      }
        [[fallthrough]];
      case Kind::kGetenv:
      case Kind::kReadline:
      case Kind::kDefault:
        if (cut.has_rest) defined_.push_back(Defined{std::string(name), false});
        check_text(value, true);
        break;
      case Kind::kRedefine:
      case Kind::kExtend:
        check_text(value, true);
        break;
      case Kind::kUndef: {
        auto found = find_defined(name);
        if (found != defined_.end()) defined_.erase(found);
        check_text(rest, false);
        break;
      }
      case Kind::kClear: {
        if (rest.empty()) {
          defined_.clear();
        } else {
          auto found = find_defined(name);
          while (found != defined_.end() && found + 1 != defined_.end() && found[1].name == name) ++found;
          if (found != defined_.end()) defined_.erase(found + 1, defined_.end());
        }
        check_text(rest, false);
        break;
      }
      case Kind::kOpen:
        ++open_blocks_;
        check_text(rest, false);
        break;
      case Kind::kEndif:
        if (open_blocks_ > 0) --open_blocks_;
        break;
      case Kind::kFor:
        check_loop(name);
        check_text(rest, false);
        break;
      case Kind::kEnd:
        if (!loops_.empty()) loops_.pop_back();
        check_text(rest, false);
        break;
      case Kind::kBranch:
      case Kind::kOther:
        check_text(rest, false);
        break;
      case Kind::kUnknown:
        if (open_blocks_ > 0 && cut.has_rest) {
          warn(cut.word, kUnknownDirectiveSkipped,
               shown(cut.word) + " is no directive: it is ignored while this block is skipped, and ends the run "
               "when the block is taken; write \\@ for text that begins with @");
        }
        break;
    }
  }

  // loop-shadows: a loop variable named like a macro defined before it, or
  // like the variable of a loop it stands in.
  void check_loop(std::string_view name) {
    if (name.empty() || name.find('$') != kNone) {
      loops_.emplace_back(std::string(name), 0);
      return;
    }
    uint64_t line = where((*source_)[static_cast<size_t>(name.data() - line_.data())]).first;
    for (const auto& [outer, outer_line] : loops_) {
      if (outer == name) {
        warn(name, kLoopShadows,
             "loop variable " + shown(name) + " is also the variable of the loop on line " +
                 std::to_string(outer_line) + ", whose values this loop takes over; choose another name");
        loops_.emplace_back(std::string(name), line);
        return;
      }
    }
    auto found = find_defined(name);
    if (found != defined_.end()) {
      std::string origin = "given with -D";
      auto values = values_.find(name);
      if (!found->by_option && values != values_.end()) {
        for (const std::unique_ptr<Value>& value : values->second) {
          if (value->line != 0 && value->line < line) {
            origin = "defined on line " + std::to_string(value->line);
            break;
          }
        }
      }
      warn(name, kLoopShadows,
           "loop variable " + shown(name) + " is also a macro " + origin +
               ": the loop runs once more, first with that value, and leaves " + shown(name) +
               " undefined; choose another name");
      defined_.erase(found);  // the loop's last @END removes the earlier entry too
    }
    loops_.emplace_back(std::string(name), line);
  }

  // A text that is expanded: a line of text or a directive's argument
  // (`in_value` false: no parameters), or a macro's value (`in_value` true).
  void check_text(std::string_view text, bool in_value, int depth = 0) {
    // Deeper than the program expands, a run fails anyway.
    if (text.empty() || depth > kMaxDepth) return;
    Scan s = scan(text);
    check_quotes(text, s);
    for (const Reference& r : s.refs) {
      std::string_view ref = r.text;
      if (ref.empty()) continue;
      unsigned char first = static_cast<unsigned char>(ref[0]);
      if (is_digit(first)) {
        if (!in_value && ref.find(':') == kNone && ref.find('$') == kNone) {
          warn(text.substr(r.at), kBareParameter,
               reference_shown(text, r) + " is parameter " + shown(ref) +
                   ", always empty outside a macro's value; write \\$ for a dollar sign");
        }
      } else if (r.parens && ref.size() >= 2 && ref[1] == ':' && (first == '=' || first == '%')) {
        check_number_form(ref.substr(2));
      } else if (r.parens && ref.size() >= 2 && ref[1] == ':' && first == '?') {
        check_choice(ref.substr(2));
      } else if (r.parens && first != '@' && first != '=' && first != '%' && first != '?') {
        check_call(ref);
      }
      if (r.parens) check_text(ref, in_value, depth + 1);
    }
  }

  // quote-protects: a quote character between two letters that opens a
  // quote and so hides a reference that would be expanded without it.
  void check_quotes(std::string_view text, const Scan& s) {
    int tried = 0;
    for (size_t q : s.opening) {
      if (q == 0 || !is_letter_at(text, q - 1) || !is_letter_at(text, q + 1)) continue;
      // Each try reads the text again: a line of prose is not read for ever.
      if (text.find('$', q) == kNone || ++tried > kQuotesTried) return;
      Scan without = scan(text, q);
      for (const Reference& r : without.refs) {
        bool hidden = std::none_of(s.refs.begin(), s.refs.end(), [&](const Reference& o) { return o.at == r.at; });
        if (!hidden) continue;
        size_t from = q;
        while (from > 0 && is_letter_at(text, from - 1)) --from;
        size_t to = q + 1;
        while (to < text.size() && is_letter_at(text, to)) ++to;
        std::string word = shown(text.substr(from, to - from));
        bool apostrophe = text[q] == '\'';
        warn(text.substr(q), kQuoteProtects,
             std::string(apostrophe ? "the apostrophe in \"" : "the double quote in '") + word +
                 (apostrophe ? "\"" : "'") + " opens a quote, so " + reference_shown(text, r) +
                 " after it is not expanded; write " + (apostrophe ? "\\' for a plain apostrophe" : "\\\" for a plain double quote"));
        return;
      }
    }
  }

  // octal-number, in the body of $(=:...) or $(%:...): a number written
  // there, or the value of a macro referenced there.
  void check_number_form(std::string_view body) {
    std::string_view number = octal_trap(body);
    if (!number.empty()) {
      warn(number, kOctalNumber,
           std::string(number) + " begins with 0, so it is read as an octal number, which stops before the " +
               std::string(number.substr(number.find_first_of("89"), 1)) + "; drop the leading 0");
    }
    for (const Reference& r : scan(body).refs) {
      if (!r.parens && r.text.empty()) continue;
      auto found = values_.find(r.text);
      if (found == values_.end()) continue;
      // Glued to digits before it, as in 1$(month), the value's first
      // number does not begin the number read.
      bool glued = r.at != 0 && is_word_byte(static_cast<unsigned char>(body[r.at - 1]));
      for (const std::unique_ptr<Value>& value : found->second) {
        std::string_view trap = value->octal;
        if (trap.empty() || (glued && trap.data() == value->text.data())) continue;
        warn(body.substr(r.at), kOctalNumber,
             "the value of " + shown(r.text) + " (" + where_defined(*value) + ") holds " + std::string(trap) +
                 ", which is read here as an octal number that stops before the " +
                 std::string(trap.substr(trap.find_first_of("89"), 1)) + "; drop the leading 0");
        break;
      }
    }
  }

  // separator-in-value, in $(?:test:then:else): a value holding ':' in the
  // test or the first branch moves the cuts.
  void check_choice(std::string_view body) {
    std::vector<size_t> colons = outside_references(body, ':');
    size_t last_branch = colons.size() >= 2 ? colons[1] : kNone;
    for (const Reference& r : scan(body).refs) {
      if (r.at > last_branch) break;
      const Value* value = value_holding(r.text, ':');
      if (value == nullptr) continue;
      warn(body.substr(r.at), kSeparatorInValue,
           "the value of " + shown(r.text) + " (" + where_defined(*value) +
               ") holds ':', which cuts this $(?:...) in the wrong place; only its last branch may hold ':'");
    }
  }

  // separator-in-value, in a macro call: a value holding ',' passed as an
  // argument becomes several arguments.
  void check_call(std::string_view ref) {
    std::vector<size_t> colons = outside_references(ref, ':');
    if (colons.empty()) return;
    std::string_view arguments = ref.substr(colons[0] + 1);
    for (const Reference& r : scan(arguments).refs) {
      const Value* value = value_holding(r.text, ',');
      if (value == nullptr) continue;
      warn(arguments.substr(r.at), kSeparatorInValue,
           "the value of " + shown(r.text) + " (" + where_defined(*value) +
               ") holds ',', which splits this call's arguments; write \\, in the value");
    }
  }

  std::string_view bytes_;
  std::string file_;
  const Options& options_;
  std::vector<Warning>& out_;
  std::vector<uint64_t> line_starts_;  // offset of each line's first byte

  // Each Value points into its own text, so it stays where it was made.
  std::map<std::string, std::vector<std::unique_ptr<Value>>, std::less<>> values_;
  struct Defined {
    std::string name;
    bool by_option;  // given with -D
  };
  std::vector<Defined> defined_;                            // macros defined so far, in order
  std::vector<Defined>::iterator find_defined(std::string_view name) {
    return std::find_if(defined_.begin(), defined_.end(), [&](const Defined& d) { return d.name == name; });
  }
  std::vector<std::pair<std::string, uint64_t>> loops_;     // open loops: variable, line
  int open_blocks_ = 0;

  // The line being checked.
  std::string_view line_;
  const std::vector<uint64_t>* source_ = nullptr;
  std::vector<std::string> ignored_;
};

}  // namespace

std::vector<Warning> check_script(std::string_view bytes, std::string_view file, const Options& options) {
  std::vector<Warning> warnings;
  FileCheck(bytes, file, options, warnings).run();
  return warnings;
}

std::string format_warning(const Warning& w) {
  return w.file + ":" + std::to_string(w.line) + ":" + std::to_string(w.column) + ": warning: " + w.text + " [" +
         w.name + "]";
}

}  // namespace quenfold::check
