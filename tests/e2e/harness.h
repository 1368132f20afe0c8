// Runs the built quenfold binary as a child process and captures what it does.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace e2e {

using Pairs = std::vector<std::pair<std::string, std::string>>;

enum class StdoutMode {
  kPipe,     // captured
  kDevFull,  // every write fails with ENOSPC
  kClosed,   // descriptor 1 is closed in the child
};

struct Invocation {
  std::vector<std::string> args;  // words after the program name
  std::string stdin_data;         // fed through a pipe (may hold NUL bytes)
  std::string stdin_file;         // when set: relative path in the work directory used as stdin instead
  Pairs env;                      // added to PATH; nothing else is inherited
  Pairs files;                    // relative path -> contents, written before the run
  std::vector<std::string> dirs;  // extra (empty) directories to create
  std::vector<std::string> unreadable;  // files of `files` whose permissions are removed
  StdoutMode stdout_mode = StdoutMode::kPipe;
  int nofile_limit = 0;           // RLIMIT_NOFILE for the child when > 0
  int timeout_ms = 10000;
};

struct RunResult {
  std::string out;
  std::string err;
  int status = -1;      // exit status when the child exited normally
  int signal = 0;       // terminating signal, 0 when it exited
  bool timed_out = false;
  pid_t pid = 0;
  std::string workdir;  // removed again before run() returns
};

// The variables every run has besides its own `env`.
const Pairs& base_env();

// Path of the binary under test: QUENFOLD_TEST_BINARY when set, else the
// one this build made.
const char* binary_path();
// The emulator that runs it (qemu-user, for another processor's binary):
// QUENFOLD_TEST_EMULATOR when set, else a cross build's own; null for none.
const char* emulator_path();

RunResult run(const Invocation& inv);

// Quotes control and non-ASCII bytes and shortens very long texts, for failure messages.
std::string show(const std::string& s, size_t limit = 3000);

}  // namespace e2e

namespace e2e {

// True when all of `text` matches the POSIX extended regular expression `pattern`.
bool full_match(const std::string& text, const std::string& pattern);

}  // namespace e2e
