// Fatal errors: every error ends the run with exactly one line on standard
// error. `die_prefixed` (and the engine's `die`) throw `Fatal` carrying that
// line; the driver catches it, flushes what was already written and reports it
// with status 1.
#pragma once

#include <cstdarg>
#include <exception>
#include <string>

namespace quenfold {

class Fatal : public std::exception {
 public:
  explicit Fatal(std::string line) : line_(std::move(line)) {}
  // The whole message line, prefix included, without the final newline.
  const std::string& line() const { return line_; }
  const char* what() const noexcept override { return line_.c_str(); }

 private:
  std::string line_;
};

// Ends the run: `prefix` (when not null) and the formatted message; names no input.
[[noreturn]] void die_prefixed(const char* prefix, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// printf-style formatting into a std::string.
std::string format_string(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vformat_string(const char* format, va_list args);

// Failures that set no error number of their own carry one of these in
// errno, so that their message names what went wrong: a name longer than the
// program takes, and a resolver's code (getaddrinfo's EAI_*, negative on some
// systems) added to kResolverErrors.
constexpr int kErrorNameTooLong = 0x10000;
constexpr int kResolverErrors = 0x20000;

// The system's text for an error number (thread-safe), or for one of the
// numbers above: "Name too long", and the resolver's own text (gai_strerror).
std::string error_text(int error);

}  // namespace quenfold
