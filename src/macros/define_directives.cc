#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "diag/diag.h"
#include "base/env.h"
#include "base/words.h"
#include "input/line_reader.h"
#include "macros/macros.h"

namespace quenfold {

namespace {

// The login name of the process, when it has one.
std::string login_name() {
#ifdef __EMSCRIPTEN__
  return std::string();
#else
  char name[256];
  return getlogin_r(name, sizeof name) == 0 ? std::string(name) : std::string();
#endif
}

}  // namespace

void init_macros(Engine& engine) {
  MacroTable& t = engine.macros;
  t.set_value(kRowPid, format_string("%ld", static_cast<long>(getpid())));

  // An embedder that gives the run its own environment gives it everything
  // it may see: the login name is then not consulted.
  const char* user = lookup_env(engine.io.envp, "USER");
  if (user == nullptr) user = lookup_env(engine.io.envp, "LOGNAME");
  std::string login;
  if (user == nullptr && engine.io.envp == nullptr) {
    login = login_name();
    user = login.c_str();
  }
  t.set_value(kRowUser, std::string_view(user ? user : ""));

  // The C library's names of days and months would follow a locale that a
  // program embedding the engine may have set; these are the C locale's.
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::time_t now = std::time(nullptr);
  std::tm local;
  if (localtime_r(&now, &local) != nullptr && local.tm_wday >= 0 && local.tm_wday < 7 &&
      local.tm_mon >= 0 && local.tm_mon < 12) {
    t.set_value(kRowDate, format_string("%s %s %2d %d", kDays[local.tm_wday], kMonths[local.tm_mon],
                                                   local.tm_mday, local.tm_year + 1900));
    t.set_value(kRowTime, 
        format_string("%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec));
  }
}

MacroId find_macro(Engine& engine, std::string_view name) { return engine.macros.find(name); }

void define_macro(Engine& engine, std::string_view name, std::string_view value, bool check) {
  if (name.empty()) die(engine, "Macro needs a name");
  if (!check) {
    engine.macros.append(name, value);
  } else if (engine.macros.append_new(name, value) == kNoMacro) {
    die(engine, "Macro %s already defined", std::string(name).c_str());
  }
}

long undefine_macro(Engine& engine, std::string_view name) {
  long left = engine.macros.remove_first(name);
  if (left == MacroTable::kPredefinedEntry) {
    die(engine, "Can't delete predefined macro %s", std::string(name).c_str());
  }
  return left;
}

namespace {

// The first entry of `name`, which @REDEFINE and @EXTEND may change.
MacroId changeable(Engine& engine, std::string_view name) {
  MacroId id = engine.macros.find(name);
  if (id == kNoMacro) die(engine, "Macro %s not found", std::string(name).c_str());
  if (!engine.macros.user_defined(id)) die(engine, "Can't modify macro %s", std::string(name).c_str());
  return id;
}

}  // namespace

void define_directive(Engine& engine, int code, std::string_view raw) {
  SplitWord cut = split_word(raw);
  std::string_view name = cut.word;
  std::string_view value = cut.has_rest ? cut.rest : std::string_view();
  switch (code) {
    case kDefine:
      define_macro(engine, name, value, true);
      break;
    case kDefault:
      if (!engine.macros.contains(name)) define_macro(engine, name, value, true);
      break;
    case kGetenv: {
      const char* text = lookup_env(engine.io.envp, std::string(name).c_str());
      if (text != nullptr) {
        define_macro(engine, name, text, true);
      } else if (cut.has_rest) {
        define_macro(engine, name, value, true);
      }
      break;
    }
    case kReadline: {
      // The directive's own line may lie in the standard-input buffer that
      // the read below moves: the name and the default are kept first.
      std::string kept_name(name);
      std::string kept_default(value);
      std::string line;
      if (read_line(*engine.stdin_reader, line, nullptr) && !line.empty()) {
        define_macro(engine, kept_name, line, true);
      } else if (engine.stdin_reader->error() != 0) {
        die(engine, "Can't read stdin (%s)", error_text(engine.stdin_reader->error()).c_str());
      } else {
        define_macro(engine, kept_name, kept_default, true);
      }
      break;
    }
    case kRedefine:
      engine.macros.set_value(changeable(engine, name), value);
      break;
    case kExtend: {
      // The old value is expanded now (what its references meant is frozen)
      // and the text is appended unexpanded. The leading part of the value
      // that expansion would leave as it is stays where it is.
      MacroId id = changeable(engine, name);
      MacroTable::Frozen frozen = engine.macros.frozen(id);
      TextBuffer rest;
      expand_into(engine, engine.macros.value(id).substr(frozen.length), Params(), rest, frozen.quote);
      engine.macros.extend(id, rest.view(), value);
      break;
    }
    case kUndef:
      undefine_macro(engine, name);
      break;
    default:
      break;
  }
}

void show_directive(Engine& engine) {
  MacroTable& t = engine.macros;
  for (MacroId id = t.head(); id != kNoMacro; id = t.next(id)) {
    engine.out.put('[');
    engine.out.put(t.name(id));
    engine.out.put("] = [");
    engine.out.put(t.value(id));
    engine.out.put("]\n");
    engine.out.end_line();
  }
}

void clear_directive(Engine& engine, std::string_view expanded) {
  MacroTable& t = engine.macros;
  if (expanded.empty()) {
    t.cut_after(kRowOs);
    return;
  }
  std::string_view name = split_word(expanded).word;
  MacroId cut = t.find(name);
  if (cut == kNoMacro) die(engine, "Macro %s not found", std::string(name).c_str());
  // The cut point is the last of the entries of the name that follow it directly.
  for (MacroId after = t.next(cut); after != kNoMacro && after == t.next_same(cut); after = t.next(cut)) cut = after;
  if (!t.user_defined(cut)) die(engine, "Can't clear from predefined macro %s", std::string(name).c_str());
  t.cut_after(cut);
}

}  // namespace quenfold
