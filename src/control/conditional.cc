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
  return expand_macros(engine, engine.macros.value(macro)).view() == cut.rest;
}

}  // namespace

void open_block(Engine& engine, int code, std::string_view expanded, std::string_view word) {
  bool holds = definition_test(engine, expanded);
  bool take = (code == kIfdef) == holds;
  engine.ifs.push_back(IfState{std::string(word), take ? 0 : 1, 0, engine.next_id++});
}

void branch_block(Engine& engine, int code, std::string_view raw) {
  if (engine.ifs.empty()) die(engine, "Unbalanced @ELSE, @ELIFDEF or @ELIFNDEF");
  if (engine.ifs.back().nesting != 0) return;  // belongs to a block opened while skipping
  bool holds = definition_test(engine, expand_macros(engine, raw).view());
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
