// Character classes of script text. The program never changes its locale:
// white space is the six C-locale bytes and digits are 0 to 9; no byte of
// 0x80 or above is either.
#pragma once

#include <string_view>

namespace quenfold {

inline bool is_space(unsigned char c) { return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t'; }
inline bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// `s` without its leading white space.
inline std::string_view skip_space(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && is_space(static_cast<unsigned char>(s[i]))) ++i;
  return s.substr(i);
}

}  // namespace quenfold
