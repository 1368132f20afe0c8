#include "control/control.h"
#include "diag/diag.h"
#include "base/words.h"
#include "input/inputs.h"

namespace quenfold {

void include_directive(Engine& engine, std::string_view expanded) {
  open_input(engine, split_word(expanded).word);
}

void return_directive(Engine& engine) {
  if (engine.inputs.size() < 2) die(engine, "No file to return to");
  // Blocks the input opened and left open are discarded without a message.
  uint64_t if_at_open = engine.inputs.back().if_at_open;
  while (!engine.ifs.empty() && engine.ifs.back().id != if_at_open) engine.ifs.pop_back();
  close_input(engine);
}

void print_directive(Engine& engine, std::string_view expanded) {
  if (!engine.quiet) write_line(engine.out, expanded);
}

void error_directive(Engine& engine, std::string_view expanded) { die_literal(engine, expanded); }

}  // namespace quenfold
