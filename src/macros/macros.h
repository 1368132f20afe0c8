// Macro operations on the engine: definition and lookup with their messages,
// expansion of references, the special forms, and the directives that
// create, change, remove and list macros.
#pragma once

#include <string>
#include <string_view>

#include "base/text_buffer.h"
#include "engine/engine.h"

namespace quenfold {

// Fills the computed predefined values: process id, date, time and user.
void init_macros(Engine& engine);

MacroId find_macro(Engine& engine, std::string_view name);
// Appends an entry; with `check`, a name already in the list ends the run.
void define_macro(Engine& engine, std::string_view name, std::string_view value, bool check);
// Removes the first entry of `name`; a predefined one ends the run. Returns
// 1 when entries of the name remain, 0 when none do, negative when there was none.
long undefine_macro(Engine& engine, std::string_view name);

// Returns `text` with every macro reference replaced.
TextBuffer expand_macros(Engine& engine, std::string_view text, Params params = Params());
// The expansion of `text` (with no parameters): `text` itself when it holds no
// '$', which is then its own expansion, else the expansion made in `buffer`.
std::string_view expand_view(Engine& engine, std::string_view text, TextBuffer& buffer);
// Appends the expansion of `text` to `out`; `quote` is the quote character
// that is open where the text begins, if any.
void expand_into(Engine& engine, std::string_view text, Params params, TextBuffer& out, char quote = 0);

// Appends `value` in decimal.
void append_decimal(TextBuffer& out, long long value);

// Appends the text of a special form ($(%:...), $(=:...), $(?:...), $(@:...))
// whose expanded reference text is `ref`.
// `plain` tells that `ref` is known to hold no '$'.
void expand_special(Engine& engine, std::string_view ref, Params params, TextBuffer& out, bool plain = false);

// Directive codes of the macro-definition directives.
enum DirectiveCode {
  kGetenv = 0,
  kReadline = 1,
  kDefine = 2,
  kDefault = 3,
  kRedefine = 4,
  kExtend = 5,
  kUndef = 6,
  kInclude = 7,
  kPrint = 8,
  kShow = 9,
  kClear = 10,
  kIfdef = 11,
  kIfndef = 12,
  kQuote = 14,
  kFor = 15,
  kEnd = 16,
  kError = 17,
  kReturn = 18,
  kElse = 19,
  kElifdef = 20,
  kElifndef = 21,
  kEndif = 22,  // matched by name; takes no code of its own in messages
  kUnknown = -1,
};

// @DEFINE, @DEFAULT, @REDEFINE, @GETENV, @READLINE, @EXTEND and @UNDEF on the
// argument as written; @SHOW; @CLEAR on the expanded argument.
void define_directive(Engine& engine, int code, std::string_view raw);
void show_directive(Engine& engine);
void clear_directive(Engine& engine, std::string_view expanded);

}  // namespace quenfold
