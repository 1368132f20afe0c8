#include "diag/diag.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>

#include "driver/engine.h"

namespace quenfold {

namespace {

std::string vformat(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[256];
  int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, n);
  std::string out(static_cast<size_t>(n), '\0');
  std::vsnprintf(out.data(), out.size() + 1, format, args);
  return out;
}

}  // namespace

std::string format_string(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = vformat(format, args);
  va_end(args);
  return out;
}

std::string die_prefix(const Engine& engine) {
  if (engine.inputs.empty()) return "quenfold: ";
  const Input& top = engine.inputs.back();
  return format_string("quenfold: file %s line %" PRIu64 ": ", top.name.c_str(), top.line);
}

void die(const Engine& engine, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = vformat(format, args);
  va_end(args);
  throw Fatal(die_prefix(engine) + message);
}

void die_literal(const Engine& engine, std::string_view text) {
  std::string line = die_prefix(engine);
  line.append(text);
  throw Fatal(std::move(line));
}

void die_prefixed(const char* prefix, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = vformat(format, args);
  va_end(args);
  throw Fatal(prefix ? std::string(prefix) + message : message);
}

}  // namespace quenfold
