#include "engine/engine.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdarg>

#include "diag/diag.h"

namespace quenfold {

void OwnedFd::reset(int fd) {
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
}

Engine::Engine(const EngineIo& io_)
    : io(io_), out(io_.stdout_fd, io_.stdout_sink, io_.write, io_.context) {
  out.set_limit(io.max_output);
  if (io.stdin_data) {
    stdin_reader = std::make_unique<Reader>(*io.stdin_data);
  } else if (io.read != nullptr) {
    stdin_reader = std::make_unique<Reader>(io.read, io.context);
  } else {
    stdin_reader = std::make_unique<Reader>(io.stdin_fd, false);
  }
}

std::string die_prefix(const Engine& engine) {
  if (engine.inputs.empty()) return "quenfold: ";
  const Input& top = engine.inputs.back();
  return format_string("quenfold: file %s line %" PRIu64 ": ", top.name.c_str(), top.line);
}

void die(const Engine& engine, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = vformat_string(format, args);
  va_end(args);
  throw Fatal(die_prefix(engine) + message);
}

void die_literal(const Engine& engine, std::string_view text) {
  std::string line = die_prefix(engine);
  line.append(text);
  throw Fatal(std::move(line));
}

}  // namespace quenfold
