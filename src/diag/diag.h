// Fatal errors: every error ends the run with exactly one line on standard
// error. `die` and `die_prefixed` throw `Fatal` carrying that line; the driver
// catches it, flushes what was already written and reports it with status 1.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace quenfold {

struct Engine;

class Fatal : public std::exception {
 public:
  explicit Fatal(std::string line) : line_(std::move(line)) {}
  // The whole message line, prefix included, without the final newline.
  const std::string& line() const { return line_; }
  const char* what() const noexcept override { return line_.c_str(); }

 private:
  std::string line_;
};

// "quenfold: file NAME line N: " while an input is open, "quenfold: " otherwise.
std::string die_prefix(const Engine& engine);

// Ends the run: the prefix of the current input, then the formatted message.
[[noreturn]] void die(const Engine& engine, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Ends the run with the prefix of the current input and `text` taken literally.
[[noreturn]] void die_literal(const Engine& engine, std::string_view text);

// Ends the run: `prefix` (when not null) and the formatted message; names no input.
[[noreturn]] void die_prefixed(const char* prefix, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// printf-style formatting into a std::string.
std::string format_string(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace quenfold
