// libFuzzer target: runs arbitrary scripts confined to a directory of
// fixtures, and fails when any file outside it is opened.
//
// The harness makes TOP/root (scripts, directories, and symbolic links that
// stay inside or lead out: relative, absolute, to files and to directories)
// beside TOP/outside and TOP/secret, the files a confined run must never
// open, and works from TOP/outside so that anything taken from the working
// directory is caught too. inotify watches TOP and TOP/outside: an open of
// anything there but TOP/root itself is an escape. The script is handed over
// as standard input a few bytes at a time, and each hand-over swaps TOP/root/flip
// and TOP/root/flop, a file inside and a link out, so links change while the
// run goes on. The first byte picks the command line (its value modulo 8: seven fixed
// ones, or for 7 the words of the script's first line) and, with bit 3 set,
// opening by the walk alone instead of openat2.
#include <fcntl.h>
#include <stdio.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "harness.h"

namespace {

namespace fs = std::filesystem;

std::string g_top;
std::string g_root;
int g_watch_fd = -1;
int g_top_watch = -1;
bool g_verbose = false;

void write_file(const std::string& path, const char* text) {
  fs::create_directories(fs::path(path).parent_path());
  fuzz::write_file(path, text);
}

void link_to(const std::string& target, const std::string& path) {
  if (symlink(target.c_str(), path.c_str()) != 0) {
    std::perror(path.c_str());
    std::abort();
  }
}

void remove_fixtures() {
  if (g_top.empty()) return;
  std::error_code ignored;
  fs::current_path("/", ignored);
  fs::remove_all(g_top, ignored);
}

void make_fixtures() {
  g_top = fuzz::make_temp_dir("quenfold-confined");
  g_root = g_top + "/root";
  const std::string out = g_top + "/outside";
  // Every file outside says so if it is ever read (for QUENFOLD_FUZZ_VERBOSE).
  write_file(g_top + "/secret", "ESCAPED top secret\n");
  write_file(out + "/secret", "ESCAPED secret\n");
  write_file(out + "/script", "ESCAPED script\n");
  write_file(out + "/page", "ESCAPED page\n");
  write_file(out + "/lib/part", "ESCAPED part\n");

  write_file(g_root + "/page", "@INCLUDE part\npage $(__FILE__)\n");
  write_file(g_root + "/lib/part", "@DEFAULT partvalue from part\npart\n");
  write_file(g_root + "/lib/loop", "@FOR i a b c\n[$(i)]\n@END\n");
  write_file(g_root + "/lib/open", "@IFDEF nothing_here\n");
  write_file(g_root + "/lib/self", "again\n@INCLUDE self\n");
  write_file(g_root + "/pkg/script", "package script\n@INCLUDE ./page\n");
  write_file(g_root + "/flip", "flip inside\n");
  link_to("../outside/secret", g_root + "/flop");
  link_to("page", g_root + "/link_in");
  link_to("lib", g_root + "/link_lib");
  link_to("lib/../page", g_root + "/link_up_in");
  link_to("../page", g_root + "/pkg/link_parent");
  link_to("../outside/secret", g_root + "/link_out");
  link_to(out + "/secret", g_root + "/link_abs");
  link_to("../outside", g_root + "/link_dir_out");
  link_to(out, g_root + "/link_dir_abs");
  link_to("..", g_root + "/link_top");
  link_to("../../secret", g_root + "/pkg/link_deep_out");
  fs::create_directories(g_root + "/evil");
  link_to("../../outside/script", g_root + "/evil/script");
}

// The harness's own step: TOP/root/flip and TOP/root/flop change places, so
// each is in turn a file inside and a link out.
void flip() {
  renameat2(AT_FDCWD, (g_root + "/flip").c_str(), AT_FDCWD, (g_root + "/flop").c_str(), RENAME_EXCHANGE);
}

struct Stdin {
  const std::string* script;
  size_t at = 0;
};

long read_script(void* context, char* buffer, size_t size) {
  auto* in = static_cast<Stdin*>(context);
  flip();
  size_t n = std::min({size, size_t{7}, in->script->size() - in->at});
  std::memcpy(buffer, in->script->data() + in->at, n);
  in->at += n;
  return static_cast<long>(n);
}

// Reads what inotify saw since the last call; aborts on an open outside the root.
void check_opens(const std::string& script) {
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    ssize_t n = read(g_watch_fd, buffer, sizeof buffer);
    if (n <= 0) break;
    for (char* p = buffer; p < buffer + n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      p += sizeof(inotify_event) + event->len;
      if (event->mask & IN_Q_OVERFLOW) continue;
      std::string name = event->len > 0 ? event->name : "";
      // The root itself, seen from TOP, is the only thing there a run may open.
      if (event->wd == g_top_watch && name == "root") continue;
      std::fprintf(stderr, "a confined run opened %s/%s (watch %d, mask %#x); script:\n%s\n",
                   event->wd == g_top_watch ? g_top.c_str() : (g_top + "/outside").c_str(), name.c_str(),
                   event->wd, event->mask, script.c_str());
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  unsetenv("quenfold");
  g_verbose = std::getenv("QUENFOLD_FUZZ_VERBOSE") != nullptr;
  make_fixtures();
  std::atexit(remove_fixtures);
  fs::current_path(g_top + "/outside");
  g_watch_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (g_watch_fd < 0) {
    std::perror("inotify_init1");
    std::abort();
  }
  const uint32_t mask = IN_OPEN | IN_ACCESS;
  g_top_watch = inotify_add_watch(g_watch_fd, g_top.c_str(), mask);
  if (g_top_watch < 0 || inotify_add_watch(g_watch_fd, (g_top + "/outside").c_str(), mask) < 0 ||
      inotify_add_watch(g_watch_fd, (g_top + "/outside/lib").c_str(), mask) < 0) {
    std::perror("inotify_add_watch");
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::vector<std::vector<const char*>> option_sets = {
      {"quenfold"},
      {"quenfold", "-i", "lib"},
      {"quenfold", "-i", ".", "-DX=1"},
      {"quenfold", "-i", "..", "-q"},
      {"quenfold", "-i", "link_dir_out", "./page", ""},
      {"quenfold", "-i", "lib", "./pkg", ""},
      {"quenfold", "-i", "/", "./flip", "", "./link_in"},
      {},  // the words of the script's first line
  };
  std::string script(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::string> words;
  std::vector<const char*> argv = fuzz::command_line(option_sets, data[0], script, words);

  Stdin in{&script};
  std::string out;
  std::string err;
  quenfold::EngineIo io;
  io.read = read_script;
  io.context = &in;
  io.stdout_sink = &out;
  io.stderr_sink = &err;
  io.root = g_root.c_str();
  io.root_walk = (data[0] & 8) != 0;
  io.allow_network = false;
  io.max_lines = 5000;
  io.max_text = 1 << 20;
  io.max_output = 1 << 20;
  auto engine = std::make_unique<quenfold::Engine>(io);
  int status = quenfold::run(*engine, static_cast<int>(argv.size()), argv.data());
  engine.reset();
  if (g_verbose) std::fprintf(stderr, "status %d: %s%s", status, out.c_str(), err.c_str());

  // Only inotify tells: a script can write any text, the files' included.
  check_opens(script);
  fuzz::check_ending(status, err);
  return 0;
}
