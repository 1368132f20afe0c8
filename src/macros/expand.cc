#include <cstdlib>
#include <cstring>

#include "base/byte_scan.h"
#include "diag/diag.h"
#include "input/line_reader.h"
#include "macros/macros.h"

namespace quenfold {

namespace {

// Position of `c` in `s`, or npos; short texts are searched in place.
inline size_t find_byte(std::string_view s, char c) {
  if (s.size() > 32) return s.find(c);
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == c) return i;
  }
  return std::string_view::npos;
}

// $(N) and $(N:default): the parameter at index N, else the default.
void expand_positional(Engine& engine, std::string_view ref, Params params, TextBuffer& out) {
  size_t colon = find_byte(ref, ':');
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

// name or name:arg,arg,...: the macro's value expanded with the arguments.
// `colon` is the position of the first ':' in `ref`, or npos.
inline void expand_call(Engine& engine, std::string_view ref, size_t colon, TextBuffer& out) {
  std::string_view name = ref.substr(0, colon);
  MacroId macro = engine.macros.find(name);
  if (macro == kNoMacro) die(engine, "Macro %s not defined", std::string(name).c_str());

  std::string_view value = engine.macros.value(macro);
  if (!engine.macros.has_reference(macro)) {
    out.append(value);  // nothing to expand: quotes change nothing either
    return;
  }
  if (colon == std::string_view::npos) {
    expand_into(engine, value, Params(), out);  // the caller's parameters are not passed on
    return;
  }
  size_t mark = engine.params.size();
  std::string_view rest = ref.substr(colon + 1);
  for (;;) {
    size_t comma = find_byte(rest, ',');
    engine.params.push_back(skip_space(rest.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  expand_into(engine, value, Params{mark, engine.params.size() - mark}, out);
  engine.params.resize(mark);
}

// Resolves a reference whose text is `ref` as it stands (already expanded,
// or holding no '$'); `colon` is the position of its first ':', or npos.
inline void resolve(Engine& engine, std::string_view ref, size_t colon, Params params, TextBuffer& out) {
  if (ref.empty()) {
    expand_special(engine, ref, params, out);
    return;
  }
  char first = ref[0];
  if (is_digit(static_cast<unsigned char>(first))) {
    expand_positional(engine, ref, params, out);
  } else if (first == '@' || first == '=' || first == '%' || first == '?') {
    expand_special(engine, ref, params, out);
  } else {
    expand_call(engine, ref, colon, out);
  }
}

// Resolves a reference whose text holds a '$': the text is expanded first.
void resolve_nested(Engine& engine, std::string_view raw, Params params, TextBuffer& out) {
  TextBuffer expanded;
  expand_into(engine, raw, params, expanded);
  resolve(engine, expanded.view(), find_byte(expanded.view(), ':'), params, out);
}

// Bytes that end a plain stretch of a reference text.
struct RefBytes {
  bool special[256] = {};
  constexpr RefBytes() {
    for (unsigned char c : {'(', ')', '$', ':'}) special[c] = true;
  }
};
constexpr RefBytes kRefBytes;

struct DepthGuard {
  Engine& engine;
  ~DepthGuard() { --engine.depth; }
};

}  // namespace

void expand_into(Engine& engine, std::string_view text, Params params, TextBuffer& out, char quote) {
  if (engine.depth >= kMaxExpansionDepth) die(engine, "Macro expansion nested too deeply");
  ++engine.depth;
  DepthGuard guard{engine};

  const char* p = text.data();
  const char* end = p + text.size();
  if (quote != 0) {
    // Begun inside a quote: copied as it is up to the closing one.
    const char* close = static_cast<const char*>(std::memchr(p, quote, text.size()));
    p = close ? close + 1 : end;
    out.append(text.data(), static_cast<size_t>(p - text.data()));
  }
  while (p != end) {
    const char* q = find_any<'$', '\'', '"'>(p, end);
    if (q != p) out.append(p, static_cast<size_t>(q - p));
    if (q == end) break;
    char c = *q;
    p = q + 1;
    if (c != '$') {
      // Quoted text is copied, quotes included, up to the matching quote.
      const char* close = static_cast<const char*>(std::memchr(p, c, static_cast<size_t>(end - p)));
      const char* stop = close ? close + 1 : end;
      out.append(q, static_cast<size_t>(stop - q));
      p = stop;
      continue;
    }

    // A reference: read its text, then resolve it.
    std::string_view ref;
    bool nested = false;
    const char* colon = nullptr;
    if (p == end) {
      // A '$' at the end: an empty reference.
    } else if (*p != '(') {
      ref = std::string_view(p, 1);
      nested = *p == '$';
      if (*p == ':') colon = p;
      ++p;
    } else {
      ++p;
      if (p == end) die(engine, "Missing close paren for macro '%s'", "");
      const char* start = p;  // the first character is taken whatever it is
      nested = *p == '$';
      if (*p == ':') colon = p;
      ++p;
      // Most references are a plain name or number up to the ')'.
      while (p != end && !kRefBytes.special[static_cast<unsigned char>(*p)]) ++p;
      if (p == end || *p != ')') {
        int nesting = 1;
        for (;; ++p) {
          p = find_any<'(', ')', '$', ':'>(p, end);
          if (p == end) {
            die(engine, "Missing close paren for macro '%s'", std::string(start, end).c_str());
          }
          char r = *p;
          if (r == ')') {
            if (--nesting == 0) break;
          } else if (r == '(') {
            ++nesting;
          } else if (r == '$') {
            nested = true;
          } else if (colon == nullptr) {
            colon = p;
          }
        }
      }
      ref = std::string_view(start, static_cast<size_t>(p - start));
      ++p;
    }
    if (nested) {
      resolve_nested(engine, ref, params, out);
    } else {
      resolve(engine, ref, colon ? static_cast<size_t>(colon - ref.data()) : std::string_view::npos, params, out);
    }
    if (engine.io.max_text != 0 && out.size() > engine.io.max_text) {
      die(engine, "Text limit of this run reached");
    }
  }
}

TextBuffer expand_macros(Engine& engine, std::string_view text, Params params) {
  TextBuffer out;
  expand_into(engine, text, params, out);
  return out;
}

}  // namespace quenfold
