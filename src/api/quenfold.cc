// The C API: runs of the engine for programs in any language.
#include "quenfold/quenfold.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <unistd.h>
#include <string>

#include "driver/driver.h"

namespace {

// A malloc'd copy of `text` with a terminator, for the caller to free.
char* copy_out(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy != nullptr) {
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
  }
  return copy;
}

int run_engine(const quenfold::EngineIo& io, int argc, const char* const* argv) {
  auto engine = std::make_unique<quenfold::Engine>(io);
  return quenfold::run(*engine, argc, argv);
}

// Takes the caller's options into `io`. False when they cannot be read: a
// size smaller than this version's structure, or members this version does
// not know that are set.
bool take_options(const quenfold_options* options, quenfold::EngineIo& io) {
  if (options == nullptr) return true;
  if (options->size < sizeof(quenfold_options)) return false;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(options);
  for (size_t i = sizeof(quenfold_options); i < options->size; ++i) {
    if (bytes[i] != 0) return false;
  }
  io.root = options->root;
  io.allow_network = options->no_network == 0;
  io.max_lines = options->max_lines;
  io.max_text = options->max_text;
  io.max_output = options->max_output;
  return true;
}

const char kOutOfMemory[] = "quenfold: Out of memory\n";
const char kBadOptions[] = "quenfold: Invalid run options\n";

// Says why a run could not even start, where its error stream goes.
void report_unstarted(const quenfold_io* io, const char* line) {
  size_t size = std::strlen(line);
  if (io != nullptr && io->write != nullptr) {
    io->write(io->context, 2, line, size);
  } else {
    ssize_t ignored = ::write(io != nullptr ? io->err_fd : 2, line, size);
    (void)ignored;
  }
}

}  // namespace

extern "C" {

int quenfold_run_opts(int argc, const char* const* argv, const char* input, size_t input_len,
                      const char* const* envp, const quenfold_options* options, quenfold_result* result) {
  if (result == nullptr) return -1;
  int saved_errno = errno;
  *result = quenfold_result{};
  try {
    std::string out;
    std::string err;
    quenfold::EngineIo io;
    io.stdin_data = std::string_view(input_len != 0 ? input : "", input_len);
    io.stdout_sink = &out;
    io.stderr_sink = &err;
    io.envp = envp;
    int status = 1;
    if (take_options(options, io)) {
      status = run_engine(io, argc, argv);
    } else {
      err = kBadOptions;
    }
    result->out = copy_out(out);
    result->err = copy_out(err);
    if (result->out == nullptr || result->err == nullptr) {
      quenfold_result_free(result);
      errno = saved_errno;
      return -1;
    }
    result->out_len = out.size();
    result->err_len = err.size();
    result->status = status;
  } catch (...) {
    // Only the engine's own making can fail here: memory is exhausted.
    quenfold_result_free(result);
    errno = saved_errno;
    return -1;
  }
  errno = saved_errno;
  return result->status;
}

int quenfold_run(int argc, const char* const* argv, const char* input, size_t input_len,
                 quenfold_result* result) {
  return quenfold_run_opts(argc, argv, input, input_len, nullptr, nullptr, result);
}

void quenfold_result_free(quenfold_result* result) {
  if (result == nullptr) return;
  std::free(result->out);
  std::free(result->err);
  *result = quenfold_result{};
}

const char* quenfold_version(void) { return QUENFOLD_VERSION; }

int quenfold_run_io_opts(int argc, const char* const* argv, const quenfold_io* io,
                         const quenfold_options* options) {
  int saved_errno = errno;
  quenfold::EngineIo engine_io;
  if (io != nullptr) {
    engine_io.read = io->read;
    engine_io.write = io->write;
    engine_io.context = io->context;
    engine_io.stdin_fd = io->in_fd;
    engine_io.stdout_fd = io->out_fd;
    engine_io.stderr_fd = io->err_fd;
    engine_io.envp = io->envp;
  }
  if (!take_options(options, engine_io)) {
    report_unstarted(io, kBadOptions);
    errno = saved_errno;
    return 1;
  }
  int status;
  try {
    status = run_engine(engine_io, argc, argv);
  } catch (...) {
    // The engine could not even be made: say so as any error is said.
    report_unstarted(io, kOutOfMemory);
    status = 1;
  }
  errno = saved_errno;
  return status;
}

int quenfold_run_io(int argc, const char* const* argv, const quenfold_io* io) {
  return quenfold_run_io_opts(argc, argv, io, nullptr);
}

}  // extern "C"
