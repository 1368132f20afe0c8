// Directive dispatch: cuts a directive line into its word and argument, finds
// the word in the directive table and runs its handler.
#pragma once

#include <string_view>

#include "engine/engine.h"

namespace quenfold {

// The code of a directive word (its '@' included), matched without regard
// to case, or kUnknown.
int directive_code(std::string_view word);

// Carries out the directive `line` whose word starts at `at`.
void dispatch_directive(Engine& engine, std::string_view line, size_t at, int skipping);

}  // namespace quenfold
