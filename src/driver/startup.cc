#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "diag/diag.h"
#include "driver/args.h"
#include "driver/driver.h"
#include "input/inputs.h"
#include "macros/macros.h"

namespace quenfold {

void start_up(Engine& engine, int argc, const char* const* argv) {
  open_root(engine);
  init_macros(engine);
  ArgList args;
  std::vector<std::string> operands;
  if (args.init_args(argc, argv, engine.io.envp) < 0) die(engine, "Error initializing arguments");

  // Every option is handled before any input is opened.
  for (;;) {
    int option = args.get_option("D:i:qv");
    if (option == 0) break;
    std::string_view arg = args.option_arg() ? args.option_arg() : "";
    switch (option) {
      case 'D': {
        size_t equals = arg.find('=');
        std::string_view name = arg.substr(0, equals);
        std::string_view value =
            equals == std::string_view::npos ? std::string_view() : arg.substr(equals + 1);
        define_macro(engine, name, value, true);
        break;
      }
      case 'i':
        engine.macros.set_value(kRowInclude, arg);
        break;
      case 'q':
        engine.quiet = true;
        break;
      case 'v':
        engine.quiet = false;
        break;
      case -1:
        operands.emplace_back(arg);
        break;
      default:
        die(engine, "Unknown option");
    }
  }

  // The last operand ends on top of the stack and is read first.
  if (operands.empty()) {
    open_input(engine, "");
  } else {
    for (const std::string& operand : operands) open_input(engine, operand);
  }
}

namespace {

// Writes the error line to the run's error stream; allocates nothing.
void put_error(Engine& engine, const char* text, size_t size) {
  if (engine.io.stderr_sink != nullptr) {
    try {
      engine.io.stderr_sink->append(text, size);
    } catch (const std::exception&) {
      // Nothing more can be said when even the line cannot be kept.
    }
  } else if (engine.io.write != nullptr) {
    engine.io.write(engine.io.context, 2, text, size);
  } else {
    size_t done = 0;
    while (done < size) {
      ssize_t n = ::write(engine.io.stderr_fd, text + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
  }
}

void report(Engine& engine, const std::string& line) {
  engine.out.flush();  // what was written before the error still goes out
  std::string text = line + '\n';
  put_error(engine, text.data(), text.size());
}

// The prefix of die, made without allocating, for when memory has run out.
void report_exhaustion(Engine& engine) {
  char line[512];
  if (engine.inputs.empty()) {
    std::snprintf(line, sizeof line, "quenfold: Out of memory\n");
  } else {
    const Input& top = engine.inputs.back();
    std::snprintf(line, sizeof line, "quenfold: file %.300s line %" PRIu64 ": Out of memory\n",
                  top.name.c_str(), top.line);
  }
  engine.out.flush();
  put_error(engine, line, std::strlen(line));
}

}  // namespace

int run(Engine& engine, int argc, const char* const* argv) {
  try {
    start_up(engine, argc, argv);
    main_loop(engine);
    return 0;
  } catch (const Fatal& fatal) {
    report(engine, fatal.line());
  } catch (const std::bad_alloc&) {
    report_exhaustion(engine);
  } catch (const std::length_error&) {
    report_exhaustion(engine);
  }
  return 1;
}

}  // namespace quenfold
