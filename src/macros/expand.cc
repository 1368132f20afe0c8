#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/byte_scan.h"
#include "diag/diag.h"
#include "expr/expr.h"
#include "input/line_reader.h"
#include "macros/macros.h"

namespace quenfold {

namespace {

// Position of the first byte C in `s`, or npos.
template <unsigned char C>
inline size_t find_byte(std::string_view s) {
  const char* end = s.data() + s.size();
  const char* at = find_any<C>(s.data(), end);
  return at == end ? std::string_view::npos : static_cast<size_t>(at - s.data());
}

// $(N) and $(N:default): the parameter at index N, else the default.
void expand_positional(Engine& engine, std::string_view ref, Params params, TextBuffer& out) {
  size_t colon = find_byte<':'>(ref);
  uint32_t index;
  if (ref.size() == 1 || colon == 1) {
    index = static_cast<uint32_t>(ref[0] - '0');
  } else {
    // strtoll with base 0, then the low 32 bits as an unsigned count.
    std::string index_text(ref.substr(0, colon));
    index = static_cast<uint32_t>(std::strtoll(index_text.c_str(), nullptr, 0));
  }
  if (index < params.count) {
    out.append(engine.params[params.begin + index]);
  } else if (colon != std::string_view::npos) {
    out.append(skip_space(ref.substr(colon + 1)));
  }
}

void expand_value(Engine& engine, MacroId macro, std::string_view value, Params params, TextBuffer& out);

// The value of `macro` expanded with the arguments in `args` (the text after
// the reference's ':', split at commas) when `with_args`; without, the value
// has no parameters (the caller's are not passed on). `within` is where a
// text that holds the arguments begins, so that the blocks that end with
// them may be read.
__attribute__((always_inline)) inline void call_macro(Engine& engine, MacroId macro, std::string_view args,
                                                      bool with_args, TextBuffer& out, const char* within) {
  std::string_view value = engine.macros.value(macro);
  if (engine.macros.has_escape(macro)) engine.escapes = true;
  if (!engine.macros.has_reference(macro)) {
    out.append(value);  // nothing to expand: quotes change nothing either
    return;
  }
  if (!with_args) {
    expand_value(engine, macro, value, Params(), out);
    return;
  }
  size_t mark = engine.params.size();
  const char* p = args.data();
  const char* end = p + args.size();
  for (;;) {
    const char* comma = find_any_within<','>(within, p, end);
    engine.params.push_back(skip_space(std::string_view(p, static_cast<size_t>(comma - p))));
    if (comma == end) break;
    p = comma + 1;
  }
  expand_value(engine, macro, value, Params{mark, engine.params.size() - mark}, out);
  engine.params.resize(mark);
}

// name or name:arg,arg,...: the macro's value expanded with the arguments;
// a name alone has no parameters. `colon` is the position of the first ':'
// in `ref`, or npos.
__attribute__((always_inline)) inline void expand_call(Engine& engine, std::string_view ref, size_t colon,
                                                       TextBuffer& out) {
  std::string_view name = ref.substr(0, colon);
  MacroId macro = engine.macros.find(name);
  if (macro == kNoMacro) die(engine, "Macro %s not defined", std::string(name).c_str());
  bool with_args = colon != std::string_view::npos;
  call_macro(engine, macro, with_args ? ref.substr(colon + 1) : std::string_view(), with_args, out, ref.data());
}

// Resolves a reference whose text is `ref` as it stands (already expanded,
// or holding no '$'); `colon` is the position of its first ':', or npos.
// `plain` tells that the text is known to hold no '$'.
void resolve(Engine& engine, std::string_view ref, size_t colon, Params params, TextBuffer& out, bool plain) {
  if (ref.empty()) {
    expand_special(engine, ref, params, out);
    return;
  }
  char first = ref[0];
  if (is_digit(static_cast<unsigned char>(first))) {
    expand_positional(engine, ref, params, out);
  } else if (first == '=' && plain && ref.size() >= 2 && ref[1] == ':') {
    // Arithmetic on its body as written, the most frequent special form:
    // what expand_special does for it, without the call and its buffer.
    append_decimal(out, eval_expr(skip_space(ref.substr(2))));
  } else if (first == '@' || first == '=' || first == '%' || first == '?') {
    expand_special(engine, ref, params, out, plain);
  } else {
    expand_call(engine, ref, colon, out);
  }
}

// Resolves a reference whose text holds a '$': the text is expanded first.
void resolve_nested(Engine& engine, std::string_view raw, Params params, TextBuffer& out) {
  TextBuffer expanded;
  expand_into(engine, raw, params, expanded);
  resolve(engine, expanded.view(), find_byte<':'>(expanded.view()), params, out, false);
}

// Bytes that end a plain stretch of a reference text.
struct RefBytes {
  bool special[256] = {};
  constexpr RefBytes() {
    for (unsigned char c : {'(', ')', '$', ':'}) special[c] = true;
  }
};
constexpr RefBytes kRefBytes;

// Bytes that may begin the name of a name-alone reference: not a digit (a
// parameter), not a special form's mark, and none of the bytes that end
// or nest a reference.
struct NameFirst {
  bool wanted[256] = {};
  constexpr NameFirst() {
    for (bool& w : wanted) w = true;
    for (int c = '0'; c <= '9'; ++c) wanted[c] = false;
    for (unsigned char c : {'@', '=', '%', '?', '(', ')', '$', ':'}) wanted[c] = false;
  }
};
constexpr NameFirst kNameFirst;

// A reference "$(name)" or "$(name:args)" whose name is short and plain:
// the name's bytes as a word, its length, the arguments' text and where the
// text after the ')' begins.
struct UsualReference {
  uint64_t word;
  size_t length;
  const char* colon;  // the ':' before the arguments, or null
  const char* after;
};

// Completes `ref` when a name of `n` bytes ends at `stop`: a
// ')' or, for a call, a ':' followed by arguments without '$' or '(' and a
// ')'. False for any other ending.
inline bool end_usual_reference(size_t n, const char* stop, const char* end, UsualReference* ref) {
  ref->length = n;
  if (*stop == ')') {
    ref->colon = nullptr;
    ref->after = stop + 1;
    return true;
  }
  if (*stop != ':') return false;
  const char* close = find_any<'(', ')', '$'>(stop + 1, end);
  if (close == end || *close != ')') return false;
  ref->colon = stop;
  ref->after = close + 1;
  return true;
}

#ifdef QUENFOLD_SSE2
// For a reference in a text of fewer than sixteen bytes, such as a line
// that is a reference alone: the length of the name at `name` when it is
// short and followed by a byte that may end it, with its bytes as a word in
// `word`; 0 otherwise. The name's first eight bytes, or what is left of the
// text zero-padded (no byte that ends a name is zero), are looked at as one
// word. Kept out of the usual path, which reads whole blocks.
__attribute__((noinline)) size_t short_name_length(const char* name, const char* end, uint64_t* word) {
  size_t left = static_cast<size_t>(end - name);
  uint64_t first = left >= 8 ? load_padded(name, 8) : load_padded(name, left);
#ifdef __x86_64__
  __m128i bytes = _mm_cvtsi64_si128(static_cast<long long>(first));
#else
  __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&first));  // 32-bit x86 with SSE2
#endif
  unsigned mask = hits_of<'(', ')', '$', ':'>(bytes) & 0xFFu;
  if (mask == 0) {
    // Eight name bytes: the byte after them must end the name.
    if (left <= MacroTable::kShortName) return 0;
    *word = first;
    return MacroTable::kShortName;
  }
  size_t n = static_cast<size_t>(__builtin_ctz(mask));  // at least 1: the first byte is a name byte
  *word = (first << (64 - 8 * n)) >> (64 - 8 * n);
  return n;
}
#endif

// Reads the reference at `q` (a '$' in the text that begins at `begin`)
// when it is a usual one: "$" and a byte of kNameFirst, or "$(", a name
// of up to MacroTable::kShortName bytes that begins with a byte of
// kNameFirst and holds none of kRefBytes, and ")". False for any other,
// which the general path reads.
inline bool read_usual_reference(const char* begin, const char* q, const char* end, UsualReference* ref) {
  if (end - q < 4 || q[1] != '(') {
    // $x: a name of one byte.
    if (end - q < 2 || !kNameFirst.wanted[static_cast<unsigned char>(q[1])]) return false;
    ref->word = static_cast<unsigned char>(q[1]);
    ref->length = 1;
    ref->colon = nullptr;
    ref->after = q + 2;
    return true;
  }
  if (!kNameFirst.wanted[static_cast<unsigned char>(q[2])]) return false;
  const char* name = q + 2;
  size_t n;
#ifdef QUENFOLD_SSE2
  // The sixteen bytes from the name on, or, near the end of the text, the
  // last sixteen of the text when it has them.
  if (__builtin_expect(end - name >= 16 || end - begin >= 16, 1)) {
    const char* at = end - name >= 16 ? name : end - 16;
    unsigned mask = block_hits<'(', ')', '$', ':'>(at) >> (name - at);
    if (mask == 0) return false;
    n = static_cast<size_t>(__builtin_ctz(mask));
    if (n > MacroTable::kShortName) return false;
    if (end - name >= 8) {
      // The first eight bytes, cut to the name's length (at least one byte).
      uint64_t first = load_le64(name);
      ref->word = (first << (64 - 8 * n)) >> (64 - 8 * n);
    } else {
      ref->word = load_padded(name, n);
    }
    return end_usual_reference(n, name + n, end, ref);
  }
  uint64_t word;
  n = short_name_length(name, end, &word);
  if (n == 0) return false;
  ref->word = word;
  return end_usual_reference(n, name + n, end, ref);
#else
  (void)begin;
  const char* stop = end - name > static_cast<ptrdiff_t>(MacroTable::kShortName) ? name + MacroTable::kShortName + 1 : end;
  const char* close = name + 1;
  while (close != stop && !kRefBytes.special[static_cast<unsigned char>(*close)]) ++close;
  if (close == stop) return false;
  n = static_cast<size_t>(close - name);
  ref->word = load_padded(name, n);
  return end_usual_reference(n, close, end, ref);
#endif
}

struct DepthGuard {
  Engine& engine;
  explicit DepthGuard(Engine& e) : engine(e) {
    if (engine.depth >= kMaxExpansionDepth) die(engine, "Macro expansion nested too deeply");
    ++engine.depth;
  }
  ~DepthGuard() { --engine.depth; }
};

// A reference read at the character after its '$'.
struct Reference {
  std::string_view text;  // without "$(" and ")"
  const char* colon = nullptr;  // the first ':' of the text, if any
  bool nested = false;    // the text holds a '$'
  bool closed = true;     // false when "$(" is never closed
};

// Takes note of a byte at `at` that matters inside a reference: a '(' or
// ')' changes the nesting, a '$' makes it nested, the first ':' is kept.
// True when the byte closes the reference.
inline bool note_reference_byte(Reference& ref, int& nesting, const char* at) {
  switch (*at) {
    case ')':
      return --nesting == 0;
    case '(':
      ++nesting;
      break;
    case '$':
      ref.nested = true;
      break;
    default:
      if (ref.colon == nullptr) ref.colon = at;
      break;
  }
  return false;
}

#ifdef QUENFOLD_SSE2
// Notes the bytes of `block` in `mask` in turn. When one closes the
// reference that begins at `start`, the reference's text ends there, `p`
// moves past it and the answer is true.
__attribute__((always_inline)) inline bool closes_in_block(Reference& ref, int& nesting, const char* start,
                                                           const char* block, unsigned mask, const char*& p) {
  for (; mask != 0; mask &= mask - 1) {
    const char* at = block + __builtin_ctz(mask);
    if (note_reference_byte(ref, nesting, at)) {
      ref.text = std::string_view(start, static_cast<size_t>(at - start));
      p = at + 1;
      return true;
    }
  }
  return false;
}
#endif

// Reads the reference that begins at `p` (after its '$') and returns it;
// `p` moves past it.
inline Reference read_reference(const char*& p, const char* end) {
  Reference ref;
  if (p == end) {
    ref.text = std::string_view(p, static_cast<size_t>(end - p));  // a '$' at the end: empty
    return ref;
  }
  if (*p != '(') {
    ref.text = std::string_view(p, 1);
    ref.nested = *p == '$';
    if (*p == ':') ref.colon = p;
    ++p;
    return ref;
  }
  ++p;
  const char* start = p;
  if (p == end) {
    ref.closed = false;
    return ref;
  }
  // The first character is taken whatever it is.
  ref.nested = *p == '$';
  if (*p == ':') ref.colon = p;
  ++p;
  // Most references are a plain name or number up to the ')'.
  while (p != end && !kRefBytes.special[static_cast<unsigned char>(*p)]) ++p;
  if (p == end || *p != ')') {
    int nesting = 1;
#ifdef QUENFOLD_SSE2
    // Sixteen bytes at a time: the bytes that matter in a block in turn.
    for (; end - p >= 16; p += 16) {
      if (closes_in_block(ref, nesting, start, p, block_hits<'(', ')', '$', ':'>(p), p)) return ref;
    }
    // The rest, fewer than sixteen bytes: the last block of the text, from
    // `p` on, when the reference's text holds one.
    if (end - start >= 16 && p != end) {
      const char* last = end - 16;
      unsigned mask = block_hits<'(', ')', '$', ':'>(last) >> (p - last) << (p - last);
      if (closes_in_block(ref, nesting, start, last, mask, p)) return ref;
      p = end;
    }
#endif
    // What is left, one byte that matters at a time: the end of a text too
    // short for a block (or all of it without blocks).
    for (;; ++p) {
      p = find_any<'(', ')', '$', ':'>(p, end);
      if (p == end) {
        ref.text = std::string_view(start, static_cast<size_t>(end - start));
        ref.closed = false;
        return ref;
      }
      if (note_reference_byte(ref, nesting, p)) break;
    }
  }
  ref.text = std::string_view(start, static_cast<size_t>(p - start));
  ++p;
  return ref;
}

// Whether a reference that holds no '$' is a name alone.
inline bool is_name_alone(const Reference& ref) {
  if (ref.text.empty() || ref.colon != nullptr) return false;
  char first = ref.text[0];
  return !is_digit(static_cast<unsigned char>(first)) && first != '@' && first != '=' && first != '%' &&
         first != '?';
}

// Reads a value into its pieces, by the rules expand_into reads text by.
ValuePieces parse_value(std::string_view text) {
  ValuePieces v;
  if (text.size() >= ValuePiece::kNoColon) return v;
  const char* begin = text.data();
  const char* end = begin + text.size();
  const char* p = begin;
  const char* run = begin;  // where the current run of text began
  auto offset = [begin](const char* at) { return static_cast<uint32_t>(at - begin); };
  while (p != end) {
    const char* q = find_any<'$', '\'', '"'>(p, end);
    if (q == end) break;
    if (*q != '$') {
      const char* close = static_cast<const char*>(std::memchr(q + 1, *q, static_cast<size_t>(end - q - 1)));
      p = close ? close + 1 : end;
      continue;
    }
    if (q != run) v.pieces.push_back({offset(run), offset(q) - offset(run), 0, ValuePiece::kText, 0});
    p = q + 1;
    Reference ref = read_reference(p, end);
    if (!ref.closed) return ValuePieces();  // read as it goes, to meet the error in turn
    ValuePiece piece{offset(ref.text.data()), static_cast<uint32_t>(ref.text.size()), ValuePiece::kNoColon,
                     ValuePiece::kReference, 0};
    if (ref.nested) {
      piece.kind = ValuePiece::kNested;
    } else if (ref.text.size() == 1 && is_digit(static_cast<unsigned char>(ref.text[0]))) {
      piece.kind = ValuePiece::kParameter;
      piece.index = static_cast<uint8_t>(ref.text[0] - '0');
    } else if (is_name_alone(ref)) {
      piece.kind = ValuePiece::kName;
    } else if (ref.colon != nullptr) {
      piece.colon = static_cast<uint32_t>(ref.colon - ref.text.data());
    }
    v.pieces.push_back(piece);
    run = p;
  }
  if (run != end) v.pieces.push_back({offset(run), offset(end) - offset(run), 0, ValuePiece::kText, 0});
  for (const ValuePiece& piece : v.pieces) {
    if (piece.kind == ValuePiece::kText) v.text_bytes += piece.length;
    if (piece.kind == ValuePiece::kParameter) ++v.parameter_pieces;
  }
  v.parsed = true;
  return v;
}

inline void check_text_limit(Engine& engine, const TextBuffer& out) {
  if (engine.io.max_text != 0 && out.size() > engine.io.max_text) {
    die(engine, "Text limit of this run reached");
  }
}

// A macro's value, expanded with `params`: through the pieces kept with it,
// which are found the first time.
void expand_value(Engine& engine, MacroId macro, std::string_view value, Params params, TextBuffer& out) {
  const ValuePieces* v = engine.macros.pieces(macro);
  if (v == nullptr) v = engine.macros.keep_pieces(macro, parse_value(value));
  if (v == nullptr || !v->parsed) {
    expand_into(engine, value, params, out);
    return;
  }
  DepthGuard guard(engine);
  const ValuePiece* piece = v->pieces.data();
  const ValuePiece* last = piece + v->pieces.size();
  const std::string_view* args = engine.params.data() + params.begin;
  // Room enough for every stretch of text and parameters, when it is small:
  // the text pieces and every parameter piece taken as all the arguments.
  size_t bound = SIZE_MAX;
  if (v->parameter_pieces <= 16) {
    size_t arg_bytes = 0;
    for (size_t i = 0; i < params.count; ++i) arg_bytes += args[i].size();
    if (arg_bytes <= 4096) bound = v->text_bytes + v->parameter_pieces * arg_bytes;
  }
  while (piece != last) {
    // A stretch of text and parameters is written after one look for room;
    // the text limit is looked at once after it, which ends the run at the
    // same expansion since the text only grows.
    if (piece->kind <= ValuePiece::kParameter) {
      args = engine.params.data() + params.begin;  // a call in between may have moved them
      size_t room = bound;
      if (room == SIZE_MAX) {
        room = 0;
        for (const ValuePiece* p = piece; p != last && p->kind <= ValuePiece::kParameter; ++p) {
          room += p->kind == ValuePiece::kText ? p->length : p->index < params.count ? args[p->index].size() : 0;
        }
      }
      char* start = out.room(room);
      char* at = start;
      for (; piece != last && piece->kind <= ValuePiece::kParameter; ++piece) {
        if (piece->kind == ValuePiece::kText) {
          copy_bytes(at, value.data() + piece->begin, piece->length);
          at += piece->length;
        } else if (piece->index < params.count) {
          std::string_view arg = args[piece->index];
          copy_bytes(at, arg.data(), arg.size());
          at += arg.size();
        }
      }
      out.commit(static_cast<size_t>(at - start));
      check_text_limit(engine, out);
      continue;
    }
    std::string_view text(value.data() + piece->begin, piece->length);
    switch (piece->kind) {
      case ValuePiece::kText:
      case ValuePiece::kParameter:
        break;  // written in stretches above
      case ValuePiece::kName:
        expand_call(engine, text, std::string_view::npos, out);
        break;
      case ValuePiece::kReference:
        resolve(engine, text, piece->colon == ValuePiece::kNoColon ? std::string_view::npos : piece->colon, params,
                out, true);
        break;
      case ValuePiece::kNested:
        resolve_nested(engine, text, params, out);
        break;
    }
    check_text_limit(engine, out);
    ++piece;
  }
}

// call_macro with arguments, kept out of the expander's loop.
__attribute__((noinline)) void call_with_args(Engine& engine, MacroId macro, std::string_view args,
                                              const char* within, TextBuffer& out) {
  call_macro(engine, macro, args, true, out, within);
}

// Copies the quoted text that begins at `q`, quotes included, up to the
// matching quote, and returns where the text after it begins.
inline const char* copy_quoted(const char* q, const char* end, TextBuffer& out) {
  const char* close = static_cast<const char*>(std::memchr(q + 1, *q, static_cast<size_t>(end - q - 1)));
  const char* stop = close ? close + 1 : end;
  out.append(q, static_cast<size_t>(stop - q));
  return stop;
}

// Expands the reference that begins at `q` (a '$') and returns where the
// text after it begins. Kept out of the loop that steps over plain text and
// usual references, which stays small.
__attribute__((noinline)) const char* expand_at(Engine& engine, const char* q, const char* end, Params params,
                                                TextBuffer& out) {
  const char* p = q + 1;
  Reference ref = read_reference(p, end);
  if (!ref.closed) die(engine, "Missing close paren for macro '%s'", std::string(ref.text).c_str());
  if (ref.nested) {
    resolve_nested(engine, ref.text, params, out);
  } else if (is_name_alone(ref)) {
    expand_call(engine, ref.text, std::string_view::npos, out);
  } else {
    resolve(engine, ref.text, ref.colon ? static_cast<size_t>(ref.colon - ref.text.data()) : std::string_view::npos,
            params, out, true);
  }
  check_text_limit(engine, out);
  return p;
}

}  // namespace

void expand_into(Engine& engine, std::string_view text, Params params, TextBuffer& out, char quote) {
  DepthGuard guard(engine);
  const char* p = text.data();
  const char* end = p + text.size();
  if (quote != 0 && p != end) {
    // Begun inside a quote: copied as it is up to the closing one.
    const char* close = static_cast<const char*>(std::memchr(p, quote, text.size()));
    p = close ? close + 1 : end;
    out.append(text.data(), static_cast<size_t>(p - text.data()));
  }
  MacroTable& macros = engine.macros;
  while (p != end) {
    const char* q = find_any_within<'$', '\'', '"'>(text.data(), p, end);
    if (q == end) {
      out.append(p, static_cast<size_t>(q - p));
      break;
    }
    // The usual reference, $(name) with a short name whose value holds no
    // '$': the text before it and the value go out in one step.
    UsualReference ref;
    if (*q == '$' && read_usual_reference(text.data(), q, end, &ref)) {
      std::string_view value;
      bool escape;
      bool padded;
      if (ref.colon == nullptr && macros.plain_value(ref.word, ref.length, &value, &escape, &padded)) {
        if (escape) engine.escapes = true;
        // Short pieces go as whole blocks of 16 bytes where the bytes after
        // them may be read; the room left after them is written and ignored.
        constexpr size_t kBlock = MacroTable::kInlineValueLength;
        size_t run = static_cast<size_t>(q - p);
        char* at = out.room(run + value.size() + kBlock);
        if (run <= kBlock && end - p >= static_cast<ptrdiff_t>(kBlock)) {
          std::memcpy(at, p, kBlock);
        } else {
          copy_bytes(at, p, run);
        }
        if (padded) {
          std::memcpy(at + run, value.data(), kBlock);
        } else {
          copy_bytes(at + run, value.data(), value.size());
        }
        out.commit(run + value.size());
        check_text_limit(engine, out);
        p = ref.after;
        continue;
      }
      // A call with plain arguments: "$(name:args)".
      MacroId macro;
      if (ref.colon != nullptr && (macro = macros.find_short(ref.word, ref.length)) != kNoMacro) {
        out.append(p, static_cast<size_t>(q - p));
        std::string_view args(ref.colon + 1, static_cast<size_t>(ref.after - 1 - (ref.colon + 1)));
        call_with_args(engine, macro, args, text.data(), out);
        check_text_limit(engine, out);
        p = ref.after;
        continue;
      }
    }
    if (q != p) out.append(p, static_cast<size_t>(q - p));
    p = *q == '$' ? expand_at(engine, q, end, params, out) : copy_quoted(q, end, out);
  }
}

TextBuffer expand_macros(Engine& engine, std::string_view text, Params params) {
  TextBuffer out;
  expand_into(engine, text, params, out);
  return out;
}

std::string_view expand_view(Engine& engine, std::string_view text, TextBuffer& buffer) {
  if (find_byte<'$'>(text) == std::string_view::npos) return text;
  expand_into(engine, text, Params(), buffer);
  return buffer.view();
}

}  // namespace quenfold
