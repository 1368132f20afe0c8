// Directive dispatch: cuts a directive line into its word and argument, finds
// the word in the directive table and runs its handler.
#pragma once

#include <string_view>

#include "driver/engine.h"

namespace quenfold {

// A text cut into its first word and the rest.
struct SplitWord {
  std::string_view word;  // from the very first character, leading white space included
  std::string_view rest;  // begins with a non-white-space character
  bool has_rest = false;
};
SplitWord split_word(std::string_view text);

// Carries out the directive line engine.line whose word starts at `at`.
void dispatch_directive(Engine& engine, size_t at, int skipping);

}  // namespace quenfold
