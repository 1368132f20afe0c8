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
  t.predefined(kRowPid).set_value(format_string("%ld", static_cast<long>(getpid())));

  // An embedder that gives the run its own environment gives it everything
  // it may see: the login name is then not consulted.
  const char* user = lookup_env(engine.io.envp, "USER");
  if (user == nullptr) user = lookup_env(engine.io.envp, "LOGNAME");
  std::string login;
  if (user == nullptr && engine.io.envp == nullptr) {
    login = login_name();
    user = login.c_str();
  }
  t.predefined(kRowUser).set_value(std::string_view(user ? user : ""));

  // The C library's names of days and months would follow a locale that a
  // program embedding the engine may have set; these are the C locale's.
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::time_t now = std::time(nullptr);
  std::tm local;
  if (localtime_r(&now, &local) != nullptr && local.tm_wday >= 0 && local.tm_wday < 7 &&
      local.tm_mon >= 0 && local.tm_mon < 12) {
    t.predefined(kRowDate).set_value(format_string("%s %s %2d %d", kDays[local.tm_wday], kMonths[local.tm_mon],
                                                   local.tm_mday, local.tm_year + 1900));
    t.predefined(kRowTime).set_value(
        format_string("%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec));
  }
}

Macro* find_macro(Engine& engine, std::string_view name) { return engine.macros.find(name); }

void define_macro(Engine& engine, std::string_view name, std::string_view value, bool check) {
  if (name.empty()) die(engine, "Macro needs a name");
  if (check && engine.macros.contains(name)) {
    die(engine, "Macro %s already defined", std::string(name).c_str());
  }
  engine.macros.append(name, value);
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
Macro& changeable(Engine& engine, std::string_view name) {
  Macro* macro = engine.macros.find(name);
  if (macro == nullptr) die(engine, "Macro %s not found", std::string(name).c_str());
  if (!macro->user_defined) die(engine, "Can't modify macro %s", std::string(name).c_str());
  return *macro;
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
      if (engine.macros.find(name) == nullptr) define_macro(engine, name, value, true);
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
      std::string line;
      if (read_line(*engine.stdin_reader, line, nullptr) && !line.empty()) {
        define_macro(engine, name, line, true);
      } else if (engine.stdin_reader->error() != 0) {
        die(engine, "Can't read stdin (%s)", error_text(engine.stdin_reader->error()).c_str());
      } else {
        define_macro(engine, name, value, true);
      }
      break;
    }
    case kRedefine:
      changeable(engine, name).set_value(value);
      break;
    case kExtend: {
      Macro& macro = changeable(engine, name);
      // The old part is frozen now; the appended text stays unexpanded.
      std::string extended = expand_macros(engine, macro.value());
      extended.push_back(' ');
      extended.append(value);
      macro.set_value(std::move(extended));
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
  for (Macro* macro = engine.macros.head(); macro != nullptr; macro = macro->next) {
    engine.out.put('[');
    engine.out.put(macro->name());
    engine.out.put("] = [");
    engine.out.put(engine.macros.value(*macro));
    engine.out.put("]\n");
  }
}

void clear_directive(Engine& engine, std::string_view expanded) {
  MacroTable& t = engine.macros;
  if (expanded.empty()) {
    t.cut_after(&t.predefined(kRowOs));
    return;
  }
  std::string_view name = split_word(expanded).word;
  Macro* cut = t.find(name);
  if (cut == nullptr) die(engine, "Macro %s not found", std::string(name).c_str());
  // The cut point is the last of the entries of the name that follow it directly.
  while (cut->next != nullptr && cut->next->key == cut->key) cut = cut->next;
  if (!cut->user_defined) die(engine, "Can't clear from predefined macro %s", std::string(name).c_str());
  t.cut_after(cut);
}

}  // namespace quenfold
