// quenfold-check: finds the lines of a script where the language's exact
// rules most likely do something other than what the writer meant (a '#'
// that drops the rest of "color: #fff;", an apostrophe that keeps the rest of
// a line from being expanded, ...). It reads a script with the program's own
// line reader and looks at it; it runs nothing: no macro is expanded, no
// input included, no network touched.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quenfold::check {

struct Warning {
  std::string file;
  uint64_t line = 0;    // from 1
  uint64_t column = 0;  // from 1, counted in bytes
  std::string name;     // what a "# quenfold-check: ignore NAME" line silences
  std::string text;
};

struct Options {
  // -D name[=value], in the order given.
  std::vector<std::pair<std::string, std::string>> defines;
  // -i dir: where names without a leading '.' or '/' are looked up.
  std::string include_dir = "/usr/package";
};

// Every warning for the script `bytes`, named `file` in the warnings, in the
// order of the lines.
std::vector<Warning> check_script(std::string_view bytes, std::string_view file, const Options& options);

// "FILE:LINE:COLUMN: warning: TEXT [NAME]", without a newline.
std::string format_warning(const Warning& warning);

// Reads the options -D, -i (and -q, -v, which a quenfold command line may
// hold and which change nothing here) and the operands from argv[1..], with
// the program's own option scanner. Returns an empty text, or what is wrong.
std::string parse_command_line(int argc, const char* const* argv, Options& options,
                               std::vector<std::string>& operands);

// The whole command: checks each operand (standard input when there is
// none), writes the warnings to `out` and any usage or read error to `err`.
// Returns 0 when nothing was found, 1 after a warning, 2 after an error.
// `stdin_fd` is read for an empty operand or when there is no operand.
int check_command(int argc, const char* const* argv, std::string& out, std::string& err, int stdin_fd = 0);

}  // namespace quenfold::check
