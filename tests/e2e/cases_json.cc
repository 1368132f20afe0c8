// Prints every case of the end-to-end tables as JSON, so that other builds of
// quenfold (the WebAssembly module) can run the same cases:
//   {"cases": [{"group", "name", "args", "env", "files", "stdin", "stdin_file",
//               "dirs", "out", "err", "status", "out_regex", "err_regex"}, ...]}
// Strings hold bytes: every character is one byte (U+0000 to U+00FF), so texts
// that are not UTF-8 come through unchanged. "env" is the whole environment of
// the native run, "files" a list of [path, contents] pairs, and the patterns
// are POSIX extended regular expressions that must match all of the text.
#include <cstdio>
#include <string>

#include "cases.h"

namespace e2e {
namespace {

void put_string(const std::string& text) {
  std::putchar('"');
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      std::printf("\\%c", c);
    } else if (c < 0x20 || c >= 0x7f) {
      std::printf("\\u%04x", c);
    } else {
      std::putchar(c);
    }
  }
  std::putchar('"');
}

void put_strings(const std::vector<std::string>& words) {
  std::putchar('[');
  for (size_t i = 0; i < words.size(); ++i) {
    if (i != 0) std::putchar(',');
    put_string(words[i]);
  }
  std::putchar(']');
}

void put_pairs(const Pairs& pairs) {
  std::putchar('[');
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (i != 0) std::putchar(',');
    put_strings({pairs[i].first, pairs[i].second});
  }
  std::putchar(']');
}

void put_case(const char* group, const Case& c) {
  Pairs env = base_env();
  env.insert(env.end(), c.env.begin(), c.env.end());
  std::printf("{\"group\":");
  put_string(group);
  std::printf(",\"name\":");
  put_string(c.name);
  std::printf(",\"args\":");
  put_strings(c.args);
  std::printf(",\"env\":");
  put_pairs(env);
  std::printf(",\"files\":");
  put_pairs(c.files);
  std::printf(",\"stdin\":");
  put_string(c.in);
  std::printf(",\"stdin_file\":");
  put_string(c.stdin_file);
  std::printf(",\"dirs\":");
  put_strings(c.dirs);
  std::printf(",\"out\":");
  put_string(c.out);
  std::printf(",\"err\":");
  put_string(c.err);
  std::printf(",\"status\":%d,\"out_regex\":%s,\"err_regex\":%s}", c.status,
              (c.match & kOutRegex) ? "true" : "false", (c.match & kErrRegex) ? "true" : "false");
}

}  // namespace
}  // namespace e2e

int main() {
  std::printf("{\"cases\":[");
  bool first = true;
  for (const e2e::NamedTable& table : e2e::tables()) {
    for (const e2e::Case& c : *table.cases) {
      std::printf(first ? "\n" : ",\n");
      first = false;
      e2e::put_case(table.group, c);
    }
  }
  std::printf("\n]}\n");
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
