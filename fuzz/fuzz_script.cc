// libFuzzer target: runs the engine in-process on arbitrary bytes as a script.
//
// The first byte picks a command line, one of seven fixed ones or the words of
// the script's first line; the rest is the script, handed to the run as its
// standard input (so @READLINE reads the script too). Output goes to
// /dev/null, the error line to a string. Every run is bounded by a line limit
// and a text limit, has no network, and may open only files under a small
// include directory that this harness builds under /tmp.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "driver/engine.h"

namespace {

std::string g_dir;      // the fixture include directory
int g_null_fd = -1;     // /dev/null, opened once
bool g_verbose = false; // QUENFOLD_FUZZ_VERBOSE set: show output and messages

void write_file(const std::string& path, const char* text) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) {
    std::perror(path.c_str());
    std::abort();
  }
  std::fputs(text, f);
  std::fclose(f);
}

// Removes the fixture directory when the fuzzer exits.
void remove_fixtures() {
  if (g_dir.empty()) return;
  for (const char* name : {"/lib", "/cond", "/loop", "/open", "/self", "/params", "/pkg/script"}) {
    unlink((g_dir + name).c_str());
  }
  rmdir((g_dir + "/pkg").c_str());
  rmdir(g_dir.c_str());
}

void make_fixtures() {
  char tmpl[] = "/tmp/quenfold-fuzz-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  g_dir = tmpl;
  write_file(g_dir + "/lib", "@DEFINE libvalue from lib\nlib line $(libvalue)\n");
  write_file(g_dir + "/cond",
             "@IFDEF X\nX is $(X)\n@ELSE\nno X\n@ENDIF\n@RETURN\nnot reached\n");
  write_file(g_dir + "/loop", "@FOR i a b c\n[$(i)]\n@END\n");
  write_file(g_dir + "/open", "@IFDEF nothing_here\n");       // leaves a block open
  write_file(g_dir + "/self", "again\n@INCLUDE self\n");      // includes itself
  write_file(g_dir + "/params", "$(0) $(1:one) $(2:two) $(#)\n");
  mkdir((g_dir + "/pkg").c_str(), 0755);
  write_file(g_dir + "/pkg/script", "package script\n@INCLUDE lib\n");
}

// Only names inside the fixture directory may be opened. A name that climbs
// out with ".." is refused too.
bool allow_path(const std::string& name) {
  if (name.compare(0, g_dir.size() + 1, g_dir + "/") != 0) return false;
  return name.find("..") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The engine reads extra words from the variable named after argv[0].
  unsetenv("quenfold");
  g_verbose = std::getenv("QUENFOLD_FUZZ_VERBOSE") != nullptr;
  make_fixtures();
  std::atexit(remove_fixtures);
  g_null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (g_null_fd < 0) {
    std::perror("/dev/null");
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string include_option = "-i" + g_dir;
  const std::string lib = g_dir + "/lib";
  const std::string pkg = g_dir + "/pkg";
  const std::vector<std::vector<const char*>> option_sets = {
      {"quenfold"},
      {"quenfold", "-q"},
      {"quenfold", "-i", g_dir.c_str(), "-DX=1"},
      {"quenfold", include_option.c_str(), "-DX", "-v", "--", ""},
      {"quenfold", "-i", g_dir.c_str(), "-DA=a b", "-D", "B=$(A)", "", lib.c_str()},
      {"quenfold", "-qv", "-i", g_dir.c_str(), pkg.c_str(), ""},
      {"quenfold", "-i", g_dir.c_str(), "-Dx=$(y)", "-Dy=$(x)"},
      {},  // the words of the script's first line
  };
  const size_t choice = data[0] % option_sets.size();
  std::string script(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::vector<const char*> argv = option_sets[choice];
  std::vector<std::string> words;
  if (argv.empty()) {
    // The first line, cut at blanks, gives up to 16 command-line words.
    size_t newline = script.find('\n');
    std::string first = script.substr(0, newline);
    script.erase(0, newline == std::string::npos ? script.size() : newline + 1);
    size_t at = 0;
    while (at <= first.size() && words.size() < 16) {
      size_t blank = first.find(' ', at);
      if (blank == std::string::npos) blank = first.size();
      words.push_back(first.substr(at, blank - at));
      at = blank + 1;
    }
    argv.push_back("quenfold");
    for (const std::string& w : words) argv.push_back(w.c_str());
  }
  // Bit 3 of the first byte sends the script through a pipe instead, so it is
  // read from a descriptor that cannot seek (loops then replay kept text).
  int pipe_fds[2] = {-1, -1};
  const bool through_pipe = (data[0] >> 3) & 1;
  if (through_pipe) {
    // The script (at most -max_len bytes) fits in the pipe's buffer.
    if (script.size() > 65536 || pipe2(pipe_fds, O_CLOEXEC) != 0) return 0;
    size_t done = 0;
    while (done < script.size()) {
      ssize_t n = write(pipe_fds[1], script.data() + done, script.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    close(pipe_fds[1]);
  }

  std::string errors;
  quenfold::EngineIo io;
  if (through_pipe) {
    io.stdin_fd = pipe_fds[0];
  } else {
    io.stdin_data = &script;
  }
  io.stdout_fd = g_verbose ? 1 : g_null_fd;
  io.stderr_sink = &errors;
  io.max_lines = 10000;
  io.max_text = 1 << 20;
  io.allow_network = false;
  io.allow_path = allow_path;

  auto engine = std::make_unique<quenfold::Engine>(io);
  const int status = quenfold::run(*engine, static_cast<int>(argv.size()), argv.data());
  engine.reset();
  if (through_pipe) close(pipe_fds[0]);

  if (g_verbose) std::fprintf(stderr, "status %d: %s", status, errors.c_str());

  // A run ends with status 0 and no message, or status 1 and exactly one line.
  if (status == 0 ? !errors.empty()
                  : status != 1 || errors.empty() || errors.back() != '\n' ||
                        errors.find('\n') != errors.size() - 1) {
    std::fprintf(stderr, "bad ending: status %d, message [%s]\n", status, errors.c_str());
    std::abort();
  }
  return 0;
}
