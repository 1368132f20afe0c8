// libFuzzer target: runs the engine in-process on arbitrary bytes as a script.
//
// The first byte picks a command line, one of seven fixed ones or the words of
// the script's first line, and whether the script is also read from a pipe and
// a file for comparison; the rest is the script, handed to the run as its
// standard input (so @READLINE reads the script too). Output goes to
// /dev/null (or, for the comparison, to memory files), the error line to a
// string. Every run is bounded by a line limit and a text limit, has no
// network, and may open only files under a small include directory that this
// harness builds under /tmp.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "harness.h"
#include "macros/table.h"

namespace {

using fuzz::write_file;

std::string g_dir;      // the fixture include directory
int g_null_fd = -1;     // /dev/null, opened once
bool g_verbose = false; // QUENFOLD_FUZZ_VERBOSE set: show output and messages

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
  g_dir = fuzz::make_temp_dir("quenfold-fuzz");
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

enum class Source { kMemory, kPipe, kFile };
const char* const kSourceNames[3] = {"memory", "pipe", "file"};

struct Outcome {
  int status = 0;
  std::string errors;
  std::string out;
  std::string date;  // the run's __DATE__ and __TIME__
  std::string time;
};

// Replaces every `from` in `text` by `to`.
void replace_all(std::string& text, const std::string& from, const std::string& to) {
  if (from.empty()) return;
  std::string result;
  size_t at = 0;
  for (size_t hit; (hit = text.find(from, at)) != std::string::npos; at = hit + from.size()) {
    result.append(text, at, hit - at);
    result.append(to);
  }
  if (at == 0) return;
  result.append(text, at, std::string::npos);
  text.swap(result);
}

// Feeds `script` to one run of the engine as its standard input and sends its
// output to `out_fd`.
Outcome run_once(const std::vector<const char*>& argv, const std::string& script, Source source,
                 int out_fd, uint64_t max_lines) {
  Outcome outcome;
  int in_fd = -1;
  if (source != Source::kMemory) {
    int fds[2] = {-1, -1};
    if (source == Source::kPipe) {
      // The script (at most -max_len bytes) fits in the pipe's buffer.
      if (script.size() > 65536 || pipe2(fds, O_CLOEXEC) != 0) std::abort();
    } else {
      fds[0] = memfd_create("quenfold-script", MFD_CLOEXEC);
      fds[1] = dup(fds[0]);
      if (fds[0] < 0 || fds[1] < 0) std::abort();
    }
    size_t done = 0;
    while (done < script.size()) {
      ssize_t n = write(fds[1], script.data() + done, script.size() - done);
      if (n <= 0) std::abort();
      done += static_cast<size_t>(n);
    }
    close(fds[1]);
    if (source == Source::kFile) lseek(fds[0], 0, SEEK_SET);
    in_fd = fds[0];
  }

  quenfold::EngineIo io;
  if (in_fd >= 0) {
    io.stdin_fd = in_fd;
  } else {
    io.stdin_data = script;
  }
  io.stdout_fd = out_fd;
  io.stderr_sink = &outcome.errors;
  io.max_lines = max_lines;
  io.max_text = 1 << 20;
  io.allow_network = false;
  io.allow_path = allow_path;

  auto engine = std::make_unique<quenfold::Engine>(io);
  outcome.status = quenfold::run(*engine, static_cast<int>(argv.size()), argv.data());
  outcome.date = engine->macros.value(quenfold::kRowDate);
  outcome.time = engine->macros.value(quenfold::kRowTime);
  engine.reset();
  if (in_fd >= 0) close(in_fd);
  if (g_verbose) std::fprintf(stderr, "status %d: %s", outcome.status, outcome.errors.c_str());
  return outcome;
}

void check_ending(const Outcome& o) { fuzz::check_ending(o.status, o.errors); }

std::string read_all(int fd) {
  std::string text;
  char buf[65536];
  for (off_t at = 0;;) {
    ssize_t n = pread(fd, buf, sizeof buf, at);
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
    at += n;
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The engine reads extra words from the variable named after argv[0].
  unsetenv("quenfold");
  g_verbose = std::getenv("QUENFOLD_FUZZ_VERBOSE") != nullptr;
  make_fixtures();
  std::atexit(remove_fixtures);
  // Output beyond this size fails to be written, the same way in every run,
  // instead of filling memory.
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit size_limit = {64 << 20, 64 << 20};
  setrlimit(RLIMIT_FSIZE, &size_limit);
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
  std::string script(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::string> words;
  std::vector<const char*> argv = fuzz::command_line(option_sets, data[0], script, words);
  if (!(data[0] & 8)) {
    check_ending(run_once(argv, script, Source::kMemory, g_verbose ? 1 : g_null_fd, 10000));
    return 0;
  }

  // Bit 3 of the first byte: the script is run three times, read from memory,
  // from a pipe (no seeking: loops replay kept text) and from a regular file
  // (loops seek back). The three runs must write the same bytes and end alike.
  Outcome outcomes[3];
  const Source sources[3] = {Source::kMemory, Source::kPipe, Source::kFile};
  for (int attempt = 0;; ++attempt) {
    for (int i = 0; i < 3; ++i) {
      int out = memfd_create("quenfold-out", MFD_CLOEXEC);
      if (out < 0) return 0;
      // Three runs share the time limit of one: fewer lines each.
      outcomes[i] = run_once(argv, script, sources[i], out, 3000);
      outcomes[i].out = read_all(out);
      close(out);
      check_ending(outcomes[i]);
      // A run that takes a while starts in another second than the one before.
      replace_all(outcomes[i].out, outcomes[i].time, "<time>");
      replace_all(outcomes[i].out, outcomes[i].date, "<date>");
      replace_all(outcomes[i].errors, outcomes[i].time, "<time>");
      replace_all(outcomes[i].errors, outcomes[i].date, "<date>");
    }
    bool same = true;
    for (int i = 1; i < 3; ++i) {
      same = same && outcomes[i].status == outcomes[0].status &&
             outcomes[i].errors == outcomes[0].errors && outcomes[i].out == outcomes[0].out;
    }
    if (same) break;
    // A name built at run time could still reach the clock in a way the
    // replacement above misses; only a difference that comes back is a fault.
    if (attempt == 1) {
      for (int i = 0; i < 3; ++i) {
        std::fprintf(stderr, "%s: status %d, %zu bytes out, message [%s]\n", kSourceNames[i],
                     outcomes[i].status, outcomes[i].out.size(), outcomes[i].errors.c_str());
      }
      std::fprintf(stderr, "the three ways of reading the script disagree\n");
      // QUENFOLD_FUZZ_DUMP names a directory for the three outputs.
      if (const char* dump = std::getenv("QUENFOLD_FUZZ_DUMP")) {
        for (int i = 0; i < 3; ++i) {
          std::string path = std::string(dump) + "/" + kSourceNames[i];
          if (FILE* f = std::fopen(path.c_str(), "wb")) {
            std::fwrite(outcomes[i].out.data(), 1, outcomes[i].out.size(), f);
            std::fclose(f);
          }
        }
      }
      std::abort();
    }
  }
  return 0;
}
