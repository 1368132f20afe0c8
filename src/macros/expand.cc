#include <cstdlib>
#include <cstring>

#include "diag/diag.h"
#include "base/byte_scan.h"
#include "input/line_reader.h"
#include "macros/macros.h"

namespace quenfold {

namespace {

// Position of `c` in `s`, or npos; short texts are searched in place.
size_t find_byte(std::string_view s, char c) {
  if (s.size() > 32) return s.find(c);
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == c) return i;
  }
  return std::string_view::npos;
}

// $(N) and $(N:default): the parameter at index N, else the default.
void expand_positional(Engine& engine, std::string_view ref, Params params, std::string& out) {
  size_t colon = find_byte(ref, ':');
  uint32_t index;
  if (ref.size() == 1) {
    index = static_cast<uint32_t>(ref[0] - '0');
  } else {
    // strtol with base 0, then the low 32 bits as an unsigned count.
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
void expand_call(Engine& engine, std::string_view ref, std::string& out) {
  size_t colon = find_byte(ref, ':');
  std::string_view name = ref.substr(0, colon);
  Macro* macro = engine.macros.find(name);
  if (macro == nullptr) die(engine, "Macro %s not defined", std::string(name).c_str());

  Params call;
  size_t mark = engine.params.size();
  if (colon != std::string_view::npos) {
    std::string_view rest = ref.substr(colon + 1);
    for (;;) {
      size_t comma = find_byte(rest, ',');
      engine.params.push_back(skip_space(rest.substr(0, comma)));
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    call.begin = mark;
    call.count = engine.params.size() - mark;
  }
  const std::string& value = engine.macros.value(*macro);
  if (macro->has_reference()) {
    expand_into(engine, value, call, out);
  } else {
    out.append(value);  // nothing to expand: quotes change nothing either
  }
  engine.params.resize(mark);
}

// Resolves one reference whose text, as read after the '$', is `raw`;
// `nested` tells whether that text holds a '$'.
void resolve(Engine& engine, std::string_view raw, bool nested, Params params, std::string& out) {
  std::string expanded;
  std::string_view ref = raw;
  if (nested) {
    expand_into(engine, raw, params, expanded);
    ref = expanded;
  }
  if (!ref.empty() && is_digit(static_cast<unsigned char>(ref[0]))) {
    expand_positional(engine, ref, params, out);
  } else if (ref.empty() || ref[0] == '@' || ref[0] == '=' || ref[0] == '%' || ref[0] == '?') {
    expand_special(engine, ref, params, out);
  } else {
    expand_call(engine, ref, out);
  }
}

struct DepthGuard {
  Engine& engine;
  ~DepthGuard() { --engine.depth; }
};

}  // namespace

void expand_into(Engine& engine, std::string_view text, Params params, std::string& out) {
  if (engine.depth >= kMaxExpansionDepth) die(engine, "Macro expansion nested too deeply");
  ++engine.depth;
  DepthGuard guard{engine};

  const char* p = text.data();
  const char* end = p + text.size();
  while (p != end) {
    const char* q = find_any<'$', '\'', '"'>(p, end);
    out.append(p, static_cast<size_t>(q - p));
    if (q == end) break;
    char c = *q;
    p = q + 1;
    if (c != '$') {
      // Quoted text is copied, quotes included, up to the matching quote.
      const char* close = static_cast<const char*>(std::memchr(p, c, static_cast<size_t>(end - p)));
      const char* stop = close ? close + 1 : end;
      out.push_back(c);
      out.append(p, static_cast<size_t>(stop - p));
      p = stop;
      continue;
    }
    std::string_view ref;
    bool nested = false;
    if (p == end) {
      // A '$' at the end: an empty reference.
    } else if (*p != '(') {
      ref = std::string_view(p, 1);
      nested = *p == '$';
      ++p;
    } else {
      ++p;
      if (p == end) die(engine, "Missing close paren for macro '%s'", "");
      const char* start = p++;  // the first character is taken whatever it is
      nested = *start == '$';
      int nesting = 1;
      for (;; ++p) {
        p = find_any<'(', ')', '$'>(p, end);
        if (p == end) {
          die(engine, "Missing close paren for macro '%s'", std::string(start, end).c_str());
        }
        if (*p == ')') {
          if (--nesting == 0) break;
        } else if (*p == '(') {
          ++nesting;
        } else {
          nested = true;
        }
      }
      ref = std::string_view(start, static_cast<size_t>(p - start));
      ++p;
    }
    resolve(engine, ref, nested, params, out);
    if (engine.io.max_text != 0 && out.size() > engine.io.max_text) {
      die(engine, "Text limit of this run reached");
    }
  }
}

std::string expand_macros(Engine& engine, std::string_view text, Params params) {
  std::string out;
  expand_into(engine, text, params, out);
  return out;
}

}  // namespace quenfold
