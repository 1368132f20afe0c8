#include "control/control.h"
#include "diag/diag.h"
#include "base/words.h"
#include "macros/macros.h"

namespace quenfold {

void for_directive(Engine& engine, std::string_view expanded) {
  SplitWord cut = split_word(expanded);
  if (!cut.has_rest) die(engine, "No arguments to @FOR command");
  Input& top = engine.inputs.back();
  LoopFrame frame{std::string(cut.word), top.line, top.reader->tell(), top.id};
  // The reader keeps the body from here on, so that @END can return to it
  // even on a pipe or a socket.
  top.reader->hold(frame.offset);
  engine.loops.push_back(std::move(frame));

  // Each value is one more entry of the name, in the order written. The
  // name is not empty (a word always is not), so no check is needed.
  SplitWord values = cut;
  while (values.has_rest) {
    values = split_word(values.rest);
    engine.macros.append(cut.word, values.word);
  }
}

void end_directive(Engine& engine) {
  if (engine.loops.empty()) die(engine, "Too many @END statements");
  LoopFrame& frame = engine.loops.back();
  if (undefine_macro(engine, frame.name) > 0) {
    // Another value: read the body again. @END acts on the current input.
    Input& top = engine.inputs.back();
    top.reader->seek(frame.offset);
    top.line = frame.line;
    return;
  }
  for (Input& input : engine.inputs) {
    if (input.id == frame.input_id) input.reader->release(frame.offset);
  }
  engine.loops.pop_back();
}

}  // namespace quenfold
