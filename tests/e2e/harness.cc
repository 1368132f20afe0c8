#include "harness.h"

#include <fcntl.h>
#include <poll.h>
#include <regex.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#ifndef QUENFOLD_BIN
#error "QUENFOLD_BIN must name the binary under test"
#endif

namespace e2e {
namespace {

namespace fs = std::filesystem;

long long now_ms() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

void write_file(const fs::path& path, const std::string& data) {
  fs::create_directories(path.parent_path());
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path.string() + ": " + strerror(errno));
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      throw std::runtime_error("cannot write " + path.string());
    }
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

std::string make_workdir() {
  const char* base = getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/quenfold-e2e-XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  return std::string(buf.data());
}

void set_nonblock(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

struct IgnoreSigpipe {
  IgnoreSigpipe() { signal(SIGPIPE, SIG_IGN); }
} ignore_sigpipe;

}  // namespace

const char* binary_path() {
  const char* chosen = getenv("QUENFOLD_TEST_BINARY");
  return chosen != nullptr && *chosen != '\0' ? chosen : QUENFOLD_BIN;
}

const char* emulator_path() {
  const char* chosen = getenv("QUENFOLD_TEST_EMULATOR");
  if (chosen != nullptr && *chosen != '\0') return chosen;
#ifdef QUENFOLD_EMULATOR
  return QUENFOLD_EMULATOR;
#else
  return nullptr;
#endif
}

const Pairs& base_env() {
  static const Pairs kBase = {{"PATH", "/usr/local/bin:/usr/bin:/bin"}};
  return kBase;
}

RunResult run(const Invocation& inv) {
  RunResult res;
  res.workdir = make_workdir();
  fs::path wd(res.workdir);
  for (const auto& [rel, data] : inv.files) write_file(wd / rel, data);
  for (const auto& d : inv.dirs) fs::create_directories(wd / d);
  for (const auto& u : inv.unreadable) fs::permissions(wd / u, fs::perms::none);

  // Everything the child needs is built before fork: only async-signal-safe calls after it.
  std::vector<std::string> argv_s;
  if (const char* emulator = emulator_path()) {
    // qemu-user: "-0" gives the program the argv[0] it would have had.
    argv_s.insert(argv_s.end(), {emulator, "-0", binary_path()});
  }
  argv_s.push_back(binary_path());
  for (const auto& a : inv.args) argv_s.push_back(a);
  std::vector<char*> argv;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> env_s;
  for (const auto& [k, v] : base_env()) env_s.push_back(k + "=" + v);
  for (const auto& [k, v] : inv.env) env_s.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (auto& e : env_s) envp.push_back(e.data());
  envp.push_back(nullptr);

  std::string stdin_path = inv.stdin_file.empty() ? std::string() : (wd / inv.stdin_file).string();

  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) || pipe2(out_pipe, O_CLOEXEC) || pipe2(err_pipe, O_CLOEXEC))
    throw std::runtime_error("pipe2 failed");

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    signal(SIGPIPE, SIG_DFL);
    if (chdir(res.workdir.c_str()) != 0) _exit(126);
    if (!stdin_path.empty()) {
      int fd = open(stdin_path.c_str(), O_RDONLY);
      if (fd < 0 || dup2(fd, 0) < 0) _exit(126);
      if (fd != 0) close(fd);
    } else if (dup2(in_pipe[0], 0) < 0) {
      _exit(126);
    }
    switch (inv.stdout_mode) {
      case StdoutMode::kPipe:
        if (dup2(out_pipe[1], 1) < 0) _exit(126);
        break;
      case StdoutMode::kDevFull: {
        int fd = open("/dev/full", O_WRONLY);
        if (fd < 0 || dup2(fd, 1) < 0) _exit(126);
        if (fd != 1) close(fd);
        break;
      }
      case StdoutMode::kClosed:
        close(1);
        break;
    }
    if (dup2(err_pipe[1], 2) < 0) _exit(126);
    if (inv.nofile_limit > 0) {
      struct rlimit rl;
      rl.rlim_cur = rl.rlim_max = static_cast<rlim_t>(inv.nofile_limit);
      setrlimit(RLIMIT_NOFILE, &rl);
    }
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  res.pid = pid;
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);

  int in_fd = in_pipe[1];
  if (!stdin_path.empty() || inv.stdin_data.empty()) {
    close(in_fd);
    in_fd = -1;
  } else {
    set_nonblock(in_fd);
  }
  int out_fd = out_pipe[0], err_fd = err_pipe[0];
  size_t in_done = 0;
  long long deadline = now_ms() + inv.timeout_ms;
  char buf[65536];

  while (out_fd >= 0 || err_fd >= 0) {
    struct pollfd p[3];
    int n = 0, i_in = -1, i_out = -1, i_err = -1;
    if (in_fd >= 0) { p[n] = {in_fd, POLLOUT, 0}; i_in = n++; }
    if (out_fd >= 0) { p[n] = {out_fd, POLLIN, 0}; i_out = n++; }
    if (err_fd >= 0) { p[n] = {err_fd, POLLIN, 0}; i_err = n++; }
    long long left = deadline - now_ms();
    if (left <= 0) { res.timed_out = true; break; }
    int r = poll(p, n, static_cast<int>(left));
    if (r < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (r == 0) { res.timed_out = true; break; }
    if (i_in >= 0 && p[i_in].revents) {
      ssize_t w = write(in_fd, inv.stdin_data.data() + in_done, inv.stdin_data.size() - in_done);
      if (w > 0) in_done += static_cast<size_t>(w);
      if ((w < 0 && errno != EAGAIN && errno != EINTR) || in_done == inv.stdin_data.size()) {
        close(in_fd);  // EPIPE: the child stopped reading; the rest is simply not delivered
        in_fd = -1;
      }
    }
    auto drain = [&](int idx, int& fd, std::string& into) {
      if (idx < 0 || !p[idx].revents) return;
      ssize_t got = read(fd, buf, sizeof buf);
      if (got > 0) {
        into.append(buf, static_cast<size_t>(got));
      } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
        close(fd);
        fd = -1;
      }
    };
    drain(i_out, out_fd, res.out);
    drain(i_err, err_fd, res.err);
  }
  if (in_fd >= 0) close(in_fd);
  if (out_fd >= 0) close(out_fd);
  if (err_fd >= 0) close(err_fd);
  if (res.timed_out) kill(pid, SIGKILL);

  int wstatus = 0;
  while (true) {
    pid_t w = waitpid(pid, &wstatus, res.timed_out ? 0 : WNOHANG);
    if (w == pid) break;
    if (w < 0 && errno != EINTR) break;
    if (w == 0) {
      // Output is closed but the child has not exited yet (stdout closed or not a pipe).
      if (now_ms() > deadline) {
        res.timed_out = true;
        kill(pid, SIGKILL);
        continue;
      }
      usleep(1000);
    }
  }
  if (WIFEXITED(wstatus)) res.status = WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) res.signal = WTERMSIG(wstatus);

  std::error_code ec;
  fs::permissions(wd, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(wd, ec);
  return res;
}

bool full_match(const std::string& text, const std::string& pattern) {
  regex_t re;
  std::string anchored = "^(" + pattern + ")$";
  if (regcomp(&re, anchored.c_str(), REG_EXTENDED | REG_NOSUB) != 0) {
    fprintf(stderr, "bad pattern: %s\n", pattern.c_str());
    return false;
  }
  bool ok = text.find('\0') == std::string::npos && regexec(&re, text.c_str(), 0, nullptr, 0) == 0;
  regfree(&re);
  return ok;
}

std::string show(const std::string& s, size_t limit) {
  std::string o;
  size_t n = s.size() < limit ? s.size() : limit;
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '\n') {
      o += "\\n\n";
    } else if (c == '\\') {
      o += "\\\\";
    } else if (c < 0x20 || c >= 0x7f) {
      char tmp[8];
      snprintf(tmp, sizeof tmp, "\\x%02X", c);
      o += tmp;
    } else {
      o += static_cast<char>(c);
    }
  }
  if (n < s.size()) o += "... (" + std::to_string(s.size()) + " bytes in all)";
  return o;
}

}  // namespace e2e
