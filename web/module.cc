// The WebAssembly entry point: one run of the engine with the command line,
// environment and standard input that the JavaScript side hands over, its
// output and error line kept in memory until the next run. api.js wraps these
// functions in the module's JavaScript API.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "check/check.h"
#include "driver/driver.h"
#include "engine/engine.h"

namespace {

// What the last run wrote: standard output and the error stream.
std::string streams[2];

// `text` as a JSON string; bytes of 0x80 and above pass as they are.
std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      static const char hex[] = "0123456789abcdef";
      out += "\\u00";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

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

// quenfold-check on one file, for the playground: the -D options among the
// words at `words` (the words after the program name, each ended by a NUL,
// `words_size` bytes in all; the other words are ignored), the file the
// `size` bytes at `bytes`. Returns its warnings as a JSON array of {"line",
// "column", "name", "text"} in a malloc'd block that the caller frees; the
// texts hold bytes of the script (UTF-8, unless the script is not). The array
// is empty when the options are wrong, which the run itself then reports.
extern "C" EMSCRIPTEN_KEEPALIVE char* quenfold_web_check(const char* words, size_t words_size, const char* bytes,
                                                         size_t size) {
  std::string json = "[";
  try {
    std::vector<const char*> argv = {"quenfold-check"};
    for (size_t at = 0; at < words_size; at += std::strlen(words + at) + 1) argv.push_back(words + at);
    quenfold::check::Options options;
    std::vector<std::string> operands;
    if (quenfold::check::parse_command_line(static_cast<int>(argv.size()), argv.data(), options, operands).empty()) {
      std::string_view script(size != 0 ? bytes : "", size);
      for (const quenfold::check::Warning& w : quenfold::check::check_script(script, "", options)) {
        if (json.size() > 1) json += ',';
        json += "{\"line\":" + std::to_string(w.line) + ",\"column\":" + std::to_string(w.column) +
                ",\"name\":" + json_string(w.name) + ",\"text\":" + json_string(w.text) + "}";
      }
    }
  } catch (const std::bad_alloc&) {
    json = "[";
  }
  json += ']';
  char* block = static_cast<char*>(std::malloc(json.size() + 1));
  if (block != nullptr) std::memcpy(block, json.c_str(), json.size() + 1);
  return block;
}
