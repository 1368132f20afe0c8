#include "base/byte_scan.h"
#include "diag/diag.h"
#include "driver/dispatch.h"
#include "engine/engine.h"
#include "input/inputs.h"
#include "input/line_reader.h"
#include "macros/macros.h"

namespace quenfold {

namespace {

[[noreturn]] void write_failed(const Engine& engine) {
  if (engine.out.limited()) die(engine, "Output limit of this run reached");
  die(engine, "Can't write to file");
}

}  // namespace

void main_loop(Engine& engine) {
  while (!engine.inputs.empty()) {
    int skipping = engine.ifs.empty() ? 0 : engine.ifs.back().skipping;
    Input& input = engine.inputs.back();
    bool plain;
    std::string_view line;
    if (!read_line(*input.reader, engine.line, &line, &input.line, &plain)) {
      close_input(engine);
      continue;
    }
    if (engine.io.max_lines != 0 && ++engine.lines_read > engine.io.max_lines) {
      die(engine, "Line limit of this run reached");
    }
    if (line.empty()) continue;
    engine.macros.set_line(input.line);

    // "!@..." is a directive too; "!text" and "!!text" are ordinary text
    // without their first one or two '!'.
    size_t start = line[0] == '!' ? 1 : 0;
    if (start < line.size() && line[start] == '@') {
      dispatch_directive(engine, line, start, skipping);
      continue;
    }
    if (skipping != 0) continue;
    if (start < line.size() && line[start] == '!') ++start;
    std::string_view text = line.substr(start);
    if (find_any<'$'>(text.data(), text.data() + text.size()) == text.data() + text.size()) {
      // Nothing to expand; a plain line has nothing to decode either.
      if (plain) {
        engine.out.put_line(text);
      } else {
        write_line(engine.out, text);
      }
    } else {
      // The line is expanded into the output buffer and decoded there.
      // Whatever it holds comes from the line and from macro values; when
      // none of them holds a backslash or a marker there is nothing to decode.
      TextBuffer& out = engine.out.text();
      size_t from = out.size();
      engine.escapes = !plain;
      expand_into(engine, text, Params(), out);
      if (engine.escapes) decode_from(out, from);
      out.push_back('\n');
      engine.out.end_line();
    }
    if (engine.out.error()) write_failed(engine);
  }
  if (!engine.loops.empty()) die(engine, "Missing @END");
  if (!engine.ifs.empty()) die(engine, "Missing @ENDIF (%s)", engine.ifs.back().text);
  if (!engine.out.flush()) write_failed(engine);
}

}  // namespace quenfold
