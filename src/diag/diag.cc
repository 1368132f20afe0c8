#include "diag/diag.h"

#include <netdb.h>

#include <cstdio>
#include <cstring>

namespace quenfold {

std::string vformat_string(const char* format, va_list args) {
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

std::string format_string(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = vformat_string(format, args);
  va_end(args);
  return out;
}

namespace {

// strerror_r comes in two kinds; each overload takes what its kind returns.
[[maybe_unused]] const char* pick(int rc, const char* buffer, int error, char* spare, size_t size) {
  if (rc == 0) return buffer;
  std::snprintf(spare, size, "Unknown error %d", error);
  return spare;
}
[[maybe_unused]] const char* pick(const char* text, const char*, int, char*, size_t) { return text; }

}  // namespace

std::string error_text(int error) {
  if (error == kErrorNameTooLong) return "Name too long";
  if (error > kResolverErrors - 0x8000 && error < kResolverErrors + 0x8000) {
    return gai_strerror(error - kResolverErrors);
  }
  char buffer[256];
  char spare[64];
  buffer[0] = '\0';
  return pick(strerror_r(error, buffer, sizeof buffer), buffer, error, spare, sizeof spare);
}

void die_prefixed(const char* prefix, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = vformat_string(format, args);
  va_end(args);
  throw Fatal(prefix ? std::string(prefix) + message : message);
}

}  // namespace quenfold
