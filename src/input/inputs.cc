#include "input/inputs.h"

#include <cstring>

#include "diag/diag.h"

namespace quenfold {

void push_input(Engine& engine, std::string name, std::unique_ptr<Reader> owned) {
  Input input;
  input.name = std::move(name);
  input.reader = owned ? owned.get() : engine.stdin_reader.get();
  input.owned = std::move(owned);
  input.if_at_open = engine.ifs.empty() ? 0 : engine.ifs.back().id;
  input.id = engine.next_id++;
  engine.inputs.push_back(std::move(input));
}

void close_input(Engine& engine) {
  if (engine.inputs.empty()) die(engine, "Closing unopened file");
  Input& top = engine.inputs.back();
  // Text lost to a failed read must not pass for the end of the input.
  if (top.reader->error() != 0) {
    die(engine, "Can't read %s (%s)", top.name.c_str(), error_text(top.reader->error()).c_str());
  }
  uint64_t if_top = engine.ifs.empty() ? 0 : engine.ifs.back().id;
  if (if_top != top.if_at_open) {
    die(engine, "Missing @ENDIF (%s)", engine.ifs.empty() ? "(null)" : engine.ifs.back().text);
  }
  // Positions held by loops in this input go with it. The standard-input
  // reader outlives the record, so it must be told.
  for (LoopFrame& frame : engine.loops) {
    if (frame.input_id == top.id) {
      top.reader->release(frame.offset);
      frame.input_id = 0;
    }
  }
  // Standard input is never closed: it is shared by every push of it.
  engine.macros.set_value(kRowFile, top.name);
  engine.inputs.pop_back();
}

}  // namespace quenfold
