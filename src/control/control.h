// Control directives: conditional blocks, loops, and the directives that
// switch input or print messages.
#pragma once

#include <string_view>

#include "engine/engine.h"

namespace quenfold {

// @IFDEF / @IFNDEF while lines are processed; `word` is the directive word as
// written, with its leading '!' when the line had one.
void open_block(Engine& engine, int code, std::string_view expanded, std::string_view word);
// @ELSE, @ELIFDEF, @ELIFNDEF in every skip state; `raw` is the argument as written.
void branch_block(Engine& engine, int code, std::string_view raw);
// @ENDIF in every skip state.
void close_block(Engine& engine);

void for_directive(Engine& engine, std::string_view expanded);
void end_directive(Engine& engine);

void include_directive(Engine& engine, std::string_view expanded);
void return_directive(Engine& engine);
void print_directive(Engine& engine, std::string_view expanded);
[[noreturn]] void error_directive(Engine& engine, std::string_view expanded);

}  // namespace quenfold
