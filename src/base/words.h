// split_word: the one way a directive line or argument is cut into its first
// word and the rest.
#pragma once

#include <string_view>

namespace quenfold {

// A text cut into its first word and the rest.
struct SplitWord {
  std::string_view word;  // from the very first character, leading white space included
  std::string_view rest;  // begins with a non-white-space character
  bool has_rest = false;
};
SplitWord split_word(std::string_view text);

}  // namespace quenfold
