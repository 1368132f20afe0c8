#include <cstring>

#include "control/control.h"
#include "diag/diag.h"
#include "base/words.h"
#include "macros/macros.h"

namespace quenfold {

namespace {

// The argument names a macro, optionally followed by the value its expanded
// value must equal. The first entry of the name is tested.
bool definition_test(Engine& engine, std::string_view expanded) {
  SplitWord cut = split_word(expanded);
  MacroId macro = engine.macros.find(cut.word);
  if (macro == kNoMacro) return false;
  if (!cut.has_rest) return true;
  std::string_view value = engine.macros.value(macro);
  if (!engine.macros.has_reference(macro)) return value == cut.rest;
  return expand_macros(engine, value).view() == cut.rest;
}

// The argument expanded, then tested.
bool expand_and_test(Engine& engine, std::string_view raw) {
  TextBuffer buffer;
  return definition_test(engine, expand_view(engine, raw, buffer));
}

}  // namespace

void open_block(Engine& engine, int code, std::string_view expanded, std::string_view word) {
  bool holds = definition_test(engine, expanded);
  bool take = (code == kIfdef) == holds;
  IfState block;
  size_t n = word.size() < sizeof block.text ? word.size() : sizeof block.text - 1;
  std::memcpy(block.text, word.data(), n);
  block.text[n] = '\0';
  block.skipping = take ? 0 : 1;
  block.nesting = 0;
  block.id = engine.next_id++;
  engine.ifs.push_back(block);
}

void branch_block(Engine& engine, int code, std::string_view raw) {
  if (engine.ifs.empty()) die(engine, "Unbalanced @ELSE, @ELIFDEF or @ELIFNDEF");
  if (engine.ifs.back().nesting != 0) return;  // belongs to a block opened while skipping
  // The test is made for @ELSE too, so that its argument's errors come out;
  // without an argument there is nothing to test.
  bool holds = !raw.empty() && expand_and_test(engine, raw);
  IfState& top = engine.ifs.back();
  if (top.skipping != 1) {
    top.skipping = -1;  // a branch was taken: skip the rest of the block
  } else if (code == kElse) {
    top.skipping = 0;
  } else if (code == kElifdef) {
    top.skipping = holds ? 0 : 1;
  } else {
    top.skipping = holds ? 1 : 0;
  }
}
void close_block(Engine& engine) {
  if (engine.ifs.empty()) die(engine, "Unmatched @ENDIF");
  IfState& top = engine.ifs.back();
  if (top.nesting != 0) {
    --top.nesting;
  } else {
    engine.ifs.pop_back();
  }
}

}  // namespace quenfold
