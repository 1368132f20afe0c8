// The WebAssembly entry point: one run of the engine with the command line,
// environment and standard input that the JavaScript side hands over, its
// output and error line kept in memory until the next run. api.js wraps these
// functions in the module's JavaScript API.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "driver/driver.h"
#include "engine/engine.h"

namespace {

// What the last run wrote: standard output and the error stream.
std::string streams[2];

}  // namespace

extern "C" {

// Runs quenfold once, as its command line would: argv (argc words, argv[0]
// the program name) and envp (the whole environment, ending with a null) as
// given, standard input the input_size bytes at input. A run stops with an
// error line after max_lines lines, when one expansion grows past max_text
// bytes, or when its output passes max_bytes; 0 means no limit. Returns the
// exit status.
EMSCRIPTEN_KEEPALIVE int quenfold_web_run(int argc, const char* const* argv, const char* const* envp,
                                          const char* input, size_t input_size, unsigned max_lines,
                                          unsigned max_text, unsigned max_bytes) {
  for (std::string& stream : streams) std::string().swap(stream);
  quenfold::EngineIo io;
  io.stdin_data = std::string_view(input_size != 0 ? input : "", input_size);
  io.stdout_sink = &streams[0];
  io.stderr_sink = &streams[1];
  io.envp = envp;
  io.max_lines = max_lines;
  io.max_text = max_text;
  io.max_output = max_bytes;
  int status;
  try {
    auto engine = std::make_unique<quenfold::Engine>(io);
    status = quenfold::run(*engine, argc, argv);
  } catch (const std::bad_alloc&) {
    // The engine could not even be made.
    streams[1] = "quenfold: Out of memory\n";
    return 1;
  }
  return status;
}

// The bytes the last run wrote to standard output (stream 1) or standard
// error (stream 2), and how many there are.
EMSCRIPTEN_KEEPALIVE const char* quenfold_web_stream(int stream) {
  return streams[stream == 2 ? 1 : 0].data();
}
EMSCRIPTEN_KEEPALIVE size_t quenfold_web_stream_size(int stream) {
  return streams[stream == 2 ? 1 : 0].size();
}

}  // extern "C"
