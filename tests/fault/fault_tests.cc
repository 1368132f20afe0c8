// Fault injection: runs the quenfold binary while something around it fails —
// its output cannot be written, its reader goes away, its memory runs out, its
// input breaks off mid-way, its TCP peer resets the connection — and checks
// that every run ends on its own, never by a crash, with at most one message.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Every run must end well within this; a run still going then is a hang.
constexpr auto kDeadline = 20s;

// The test process itself must survive writing to a pipe whose reader died.
const bool kSigpipeIgnored = [] {
  signal(SIGPIPE, SIG_IGN);
  return true;
}();

std::string temp_dir() {
  char tmpl[] = "/tmp/quenfold-fault-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) {
    ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
    return "/tmp";
  }
  return tmpl;
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
  ASSERT_TRUE(f.good()) << path;
}

struct Pipe {
  int r = -1;
  int w = -1;
  Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
      ADD_FAILURE() << "pipe2: " << std::strerror(errno);
      return;
    }
    r = fds[0];
    w = fds[1];
  }
  ~Pipe() {
    close_r();
    close_w();
  }
  void close_r() {
    if (r >= 0) close(r);
    r = -1;
  }
  void close_w() {
    if (w >= 0) close(w);
    w = -1;
  }
};

// How the child's descriptors and limits are set up. A descriptor of -1 is
// closed in the child.
struct ChildSetup {
  std::vector<std::string> args;  // words after the program name
  int in = -1;
  int out = -1;
  int err = -1;
  rlim_t address_space = 0;  // RLIMIT_AS in bytes when non-zero
  bool ignore_sigpipe = false;
};

pid_t spawn(const ChildSetup& setup) {
  std::vector<std::string> words = {QUENFOLD_BIN};
  words.insert(words.end(), setup.args.begin(), setup.args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  char empty_env[] = "PATH=/usr/bin:/bin";
  char* envp[] = {empty_env, nullptr};

  pid_t pid = fork();
  if (pid != 0) return pid;
  // Child: only async-signal-safe calls from here on.
  const int wanted[3] = {setup.in, setup.out, setup.err};
  int moved[3];
  for (int i = 0; i < 3; ++i) {  // move them clear of 0..2 first
    moved[i] = wanted[i] < 0 ? -1 : fcntl(wanted[i], F_DUPFD, 10);
  }
  for (int i = 0; i < 3; ++i) {
    if (moved[i] < 0) {
      close(i);
    } else {
      dup2(moved[i], i);
    }
  }
  for (int fd = 3; fd < 1024; ++fd) close(fd);
  signal(SIGPIPE, setup.ignore_sigpipe ? SIG_IGN : SIG_DFL);
  if (setup.address_space != 0) {
    struct rlimit limit = {setup.address_space, setup.address_space};
    setrlimit(RLIMIT_AS, &limit);
  }
  execve(argv[0], argv.data(), envp);
  _exit(127);
}

struct Ending {
  int status = -1;  // exit status when the child exited
  int signal = 0;   // terminating signal, 0 when it exited
  bool hung = false;
};

std::ostream& operator<<(std::ostream& os, const Ending& e) {
  if (e.hung) return os << "still running at the deadline";
  if (e.signal != 0) return os << "killed by signal " << e.signal << " (" << strsignal(e.signal) << ")";
  return os << "exit status " << e.status;
}

// Waits for the child, killing it at the deadline.
Ending wait_for(pid_t pid, Clock::time_point deadline = Clock::now() + kDeadline) {
  Ending ending;
  int wstatus = 0;
  for (;;) {
    pid_t done = waitpid(pid, &wstatus, WNOHANG);
    if (done == pid) break;
    if (Clock::now() > deadline) {
      ending.hung = true;
      kill(pid, SIGKILL);
      waitpid(pid, &wstatus, 0);
      return ending;
    }
    std::this_thread::sleep_for(2ms);
  }
  if (WIFEXITED(wstatus)) ending.status = WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) ending.signal = WTERMSIG(wstatus);
  return ending;
}

// Reads the given descriptors to their ends (or the deadline) into `texts`.
void drain(std::vector<int> fds, std::vector<std::string*> texts,
           Clock::time_point deadline = Clock::now() + kDeadline) {
  std::vector<bool> open(fds.size(), true);
  char buf[65536];
  for (;;) {
    std::vector<pollfd> polls;
    std::vector<size_t> which;
    for (size_t i = 0; i < fds.size(); ++i) {
      if (open[i]) {
        polls.push_back({fds[i], POLLIN, 0});
        which.push_back(i);
      }
    }
    if (polls.empty() || Clock::now() > deadline) return;
    if (poll(polls.data(), polls.size(), 50) <= 0) continue;
    for (size_t k = 0; k < polls.size(); ++k) {
      if (polls[k].revents == 0) continue;
      ssize_t n = read(polls[k].fd, buf, sizeof buf);
      if (n > 0) {
        texts[which[k]]->append(buf, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        open[which[k]] = false;
      }
    }
  }
}

int count_lines(const std::string& s) {
  return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
}

// Exactly one line: "quenfold: ", then, when `message` is given, either that
// message or "file NAME line N: " and that message; then a newline.
void expect_one_message(const std::string& err, const std::string& message = "") {
  EXPECT_EQ(count_lines(err), 1) << err;
  ASSERT_TRUE(!err.empty() && err.back() == '\n') << err;
  const std::string prefix = "quenfold: ";
  ASSERT_EQ(err.compare(0, prefix.size(), prefix), 0) << err;
  if (message.empty()) return;
  std::string rest = err.substr(prefix.size(), err.size() - prefix.size() - 1);
  if (rest == message) return;
  EXPECT_EQ(rest.compare(0, 5, "file "), 0) << err;
  const std::string tail = ": " + message;
  EXPECT_TRUE(rest.size() > tail.size() && rest.compare(rest.size() - tail.size(), tail.size(), tail) == 0 &&
              rest.find(" line ") != std::string::npos)
      << err;
}

const char* const kCantWrite = "Can't write to file";

// A script that writes `lines` lines of about 100 bytes each.
std::string many_lines_script(int lines) {
  return "@DEFINE pad " + std::string(90, 'x') + "\n@FOR i $(%:1-" + std::to_string(lines) +
         ")\nline $(i) $(pad)\n@END\n";
}

// ---------------------------------------------------------------------------
// Output that cannot be written.

struct WriteCase {
  const char* name;
  const char* target;  // "full" for /dev/full, "closed" for a closed descriptor 1
  std::string script;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class WriteFailure : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteFailure, ReportsCantWriteWithStatusOne) {
  const WriteCase& c = GetParam();
  std::string dir = temp_dir();
  write_file(dir + "/script", c.script);
  Pipe err;
  int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(full, 0);
  ChildSetup setup;
  setup.args = {dir + "/script"};
  setup.out = std::string(c.target) == "full" ? full : -1;
  setup.err = err.w;
  pid_t pid = spawn(setup);
  close(full);
  err.close_w();
  std::string text;
  drain({err.r}, {&text});
  Ending ending = wait_for(pid);
  EXPECT_EQ(ending.signal, 0) << ending;
  EXPECT_EQ(ending.status, 1) << ending;
  expect_one_message(text, kCantWrite);
  std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Output, WriteFailure,
    ::testing::Values(
        // Fits the output buffer: the failure shows at the final flush.
        WriteCase{"FullOneLine", "full", "hello\n"},
        // Larger than the buffer: the failure shows in the middle of the run.
        WriteCase{"FullManyLines", "full", many_lines_script(2000)},
        WriteCase{"FullPrint", "full", "@PRINT hello\n"},
        WriteCase{"FullShow", "full", "@SHOW\n"},
        WriteCase{"ClosedOneLine", "closed", "hello\n"},
        WriteCase{"ClosedManyLines", "closed", many_lines_script(2000)},
        WriteCase{"ClosedShow", "closed", "@SHOW\n"}),
    [](const ::testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

// A reader that takes a little and closes the pipe. The program keeps the
// default action for SIGPIPE, so it ends quietly, killed by SIGPIPE, like
// other filters.
// Runs a long script and closes the reading end after the first bytes; the
// error stream comes back in `text`.
Ending run_with_early_close(bool ignore_sigpipe, std::string* text) {
  std::string dir = temp_dir();
  write_file(dir + "/script", many_lines_script(2049) + many_lines_script(2049));
  Pipe out, err;
  ChildSetup setup;
  setup.args = {dir + "/script"};
  setup.out = out.w;
  setup.err = err.w;
  setup.ignore_sigpipe = ignore_sigpipe;
  pid_t pid = spawn(setup);
  out.close_w();
  err.close_w();
  char head[100];
  EXPECT_GT(read(out.r, head, sizeof head), 0);
  out.close_r();
  drain({err.r}, {text});
  Ending ending = wait_for(pid);
  std::filesystem::remove_all(dir);
  return ending;
}

TEST(ReaderClosesEarly, DefaultActionEndsBySigpipe) {
  std::string text;
  Ending ending = run_with_early_close(false, &text);
  EXPECT_EQ(ending.signal, SIGPIPE) << ending;
  EXPECT_EQ(text, "");
}

// The same with SIGPIPE ignored by whoever started the program (it inherits
// that): the failed write is reported like any other.
TEST(ReaderClosesEarly, IgnoredSigpipeReportsCantWrite) {
  std::string text;
  Ending ending = run_with_early_close(true, &text);
  EXPECT_EQ(ending.signal, 0) << ending;
  EXPECT_EQ(ending.status, 1) << ending;
  expect_one_message(text, kCantWrite);
}

// ---------------------------------------------------------------------------
// Memory exhaustion under an address-space limit.

// Defines a0 as 64 bytes and each following aN as two copies of the one
// before, up to a`top` (64 << top bytes when used).
std::string doubling(int top) {
  std::string s = "@DEFINE a0 " + std::string(64, 'x') + "\n";
  for (int i = 1; i <= top; ++i) {
    s += "@DEFINE a" + std::to_string(i) + " $(a" + std::to_string(i - 1) + ")$(a" +
         std::to_string(i - 1) + ")\n";
  }
  return s;
}

struct MemoryCase {
  const char* name;
  std::string script;
  size_t stdin_bytes = 0;  // a single endless line of this many bytes on standard input
};

void PrintTo(const MemoryCase& c, std::ostream* os) { *os << c.name; }

class MemoryExhaustion : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(MemoryExhaustion, OneLineAndStatusOne) {
#ifdef QUENFOLD_SANITIZED
  GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit under an address-space limit";
#endif
  const MemoryCase& c = GetParam();
  std::string dir = temp_dir();
  write_file(dir + "/script", c.script);
  Pipe in, out, err;
  ChildSetup setup;
  setup.args = {dir + "/script"};
  if (c.stdin_bytes != 0) setup.args.push_back("");  // standard input too, read first
  setup.in = in.r;
  setup.out = out.w;
  setup.err = err.w;
  setup.address_space = 256u << 20;
  pid_t pid = spawn(setup);
  in.close_r();
  out.close_w();
  err.close_w();
  std::thread feeder([&] {
    std::string chunk(1 << 20, 'y');
    for (size_t sent = 0; sent < c.stdin_bytes; sent += chunk.size()) {
      if (write(in.w, chunk.data(), chunk.size()) < 0) break;  // the program has ended
    }
    in.close_w();
  });
  std::string output, text;
  drain({out.r, err.r}, {&output, &text});
  feeder.join();
  Ending ending = wait_for(pid);
  EXPECT_EQ(ending.signal, 0) << ending;
  EXPECT_EQ(ending.status, 1) << ending;
  expect_one_message(text);
  std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Memory, MemoryExhaustion,
    ::testing::Values(
        MemoryCase{"DoublingInLine", doubling(30) + "$(a30)\n"},
        MemoryCase{"DoublingInLength", doubling(30) + "$(@:$(a30))\n"},
        MemoryCase{"DoublingInCallArgument", doubling(30) + "@DEFINE m [$(0)]\n$(m:$(a30))\n"},
        MemoryCase{"DoublingInForList", doubling(30) + "@FOR i $(a30)\n@END\n"},
        MemoryCase{"DoublingInPrint", doubling(30) + "@PRINT $(a30)\n"},
        MemoryCase{"ExtendWithItself",
                   "@DEFINE v xxxxxxxxxxxxxxxx\n@FOR i $(%:1-2049)\n@EXTEND v $(v)\n@END\n"},
        MemoryCase{"EndlessLineOnStdin", "", size_t{1} << 30}),
    [](const ::testing::TestParamInfo<MemoryCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Input that breaks off or fails mid-way. What was read before the break is
// processed; an input that ends early ends like any other input.

// A FIFO named as an operand whose writer is killed part-way through a line.
// The line read so far is the last line of the input.
TEST(InputBreaksOff, FifoWriterKilledMidLine) {
  struct Case {
    std::string sent;
    std::string out;
    std::string err;
    int status;
  };
  const Case cases[] = {
      {"first\n@DEFINE x 1\nsecond $(x)\npartial li", "first\nsecond 1\npartial li\n", "", 0},
      {"@FOR i 1 2\n[$(i)]\n", "[1]\n", "quenfold: Missing @END\n", 1},
      {"@IFDEF __OS__\nin block\n@ELSE\n", "in block\n",
       "quenfold: file FIFO line 3: Missing @ENDIF (@IFDEF)\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent);
    std::string dir = temp_dir();
    std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
    Pipe out, err, go;
    ChildSetup setup;
    setup.args = {fifo};
    setup.out = out.w;
    setup.err = err.w;
    pid_t program = spawn(setup);
    out.close_w();
    err.close_w();
    pid_t writer = fork();
    if (writer == 0) {
      int fd = open(fifo.c_str(), O_WRONLY);
      if (fd >= 0 && write(fd, c.sent.data(), c.sent.size()) == static_cast<ssize_t>(c.sent.size())) {
        char byte = 1;
        if (write(go.w, &byte, 1) == 1) pause();  // killed here, the FIFO still open
      }
      _exit(1);
    }
    go.close_w();
    char byte;
    ASSERT_EQ(read(go.r, &byte, 1), 1);
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    std::string output, text;
    drain({out.r, err.r}, {&output, &text});
    Ending ending = wait_for(program);
    EXPECT_EQ(ending.signal, 0) << ending;
    EXPECT_EQ(ending.status, c.status) << ending;
    EXPECT_EQ(output, c.out);
    std::string want = c.err;
    size_t at = want.find("FIFO");
    if (at != std::string::npos) want.replace(at, 4, fifo);
    EXPECT_EQ(text, want);
    std::filesystem::remove_all(dir);
  }
}

// Standard input is a directory: the very first read fails (EISDIR).
TEST(InputBreaksOff, DirectoryAsStandardInput) {
  std::string dir = temp_dir();
  int in = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(in, 0);
  Pipe out, err;
  ChildSetup setup;
  setup.in = in;
  setup.out = out.w;
  setup.err = err.w;
  pid_t pid = spawn(setup);
  close(in);
  out.close_w();
  err.close_w();
  std::string output, text;
  drain({out.r, err.r}, {&output, &text});
  Ending ending = wait_for(pid);
  EXPECT_EQ(ending.signal, 0) << ending;
  EXPECT_EQ(output, "");
  // The failed read is reported, never taken for the end of the input.
  EXPECT_EQ(ending.status, 1) << ending;
  EXPECT_EQ(text, "quenfold: file stdin line 0: Can't read stdin (Is a directory)\n");
  std::filesystem::remove_all(dir);
}

// Is the process blocked in read(0, ...)? Read from /proc/PID/syscall.
// -1 when that cannot be told on this system.
int reading_stdin(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/syscall");
  if (!f) return -1;
  std::string number, fd;
  f >> number >> fd;
  if (number.empty() || number == "running") return 0;
  return number == "0" && fd == "0x0" ? 1 : 0;
}

// A script file larger than the first read, truncated while the program waits
// in @READLINE: reading stops where the kept text ends.
TEST(InputBreaksOff, FileTruncatedWhileRead) {
  struct Case {
    const char* name;
    std::string head;
    std::string tail;
    int status;
    std::string err;
  };
  std::string body;
  std::string body_out;
  for (int i = 0; i < 20000; ++i) {
    body += "line " + std::to_string(i) + "\n";
    body_out += "line " + std::to_string(i) + "\n";
  }
  const Case cases[] = {
      {"plain", "@READLINE answer\n", "", 0, ""},
      {"open loop", "@FOR i 1 2\n@READLINE answer\n", "@END\n", 1, "quenfold: Missing @END\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string dir = temp_dir();
    std::string script = dir + "/script";
    write_file(script, c.head + body + c.tail);
    Pipe in, out, err;
    ChildSetup setup;
    setup.args = {script};
    setup.in = in.r;
    setup.out = out.w;
    setup.err = err.w;
    pid_t pid = spawn(setup);
    in.close_r();
    out.close_w();
    err.close_w();
    auto deadline = Clock::now() + kDeadline;
    int state;
    while ((state = reading_stdin(pid)) == 0 && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
    if (state < 0) {
      kill(pid, SIGKILL);
      wait_for(pid);
      GTEST_SKIP() << "cannot tell when the program waits for standard input";
    }
    ASSERT_EQ(truncate(script.c_str(), 10), 0) << std::strerror(errno);
    ASSERT_EQ(write(in.w, "yes\n", 4), 4);
    in.close_w();
    std::string output, text;
    drain({out.r, err.r}, {&output, &text});
    Ending ending = wait_for(pid);
    EXPECT_EQ(ending.signal, 0) << ending;
    EXPECT_EQ(ending.status, c.status) << ending;
    EXPECT_EQ(text, c.err);
    // Some lines came through, not all, and all but the last are whole.
    EXPECT_GT(output.size(), 0u);
    EXPECT_LT(output.size(), body_out.size());
    size_t last = output.rfind('\n', output.size() - 2);
    std::string whole = last == std::string::npos ? "" : output.substr(0, last + 1);
    EXPECT_EQ(body_out.compare(0, whole.size(), whole), 0);
    std::filesystem::remove_all(dir);
  }
}

// ---------------------------------------------------------------------------
// A TCP peer that resets the connection (SO_LINGER with a zero timeout, then
// close). The run must end by itself.

class ResettingPeer {
 public:
  // Sends `text`, waits `pause`, then resets the connection.
  ResettingPeer(std::string text, std::chrono::milliseconds pause) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener_, 1) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
      ADD_FAILURE() << "listener: " << std::strerror(errno);
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this, text = std::move(text), pause] {
      pollfd p = {listener_, POLLIN, 0};
      if (poll(&p, 1, 15000) != 1) return;
      int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) return;
      size_t done = 0;
      while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
      std::this_thread::sleep_for(pause);
      linger reset = {1, 0};
      setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
      close(fd);
    });
  }
  ~ResettingPeer() {
    thread_.join();
    close(listener_);
  }
  std::string name() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

TEST(TcpPeer, ResetIsReportedAsAFailedRead) {
  struct Case {
    const char* name;
    std::string sent;
    int pause_ms;
    std::string full_out;  // what a clean end after `sent` would write
  };
  const Case cases[] = {
      {"at once", "", 0, ""},
      {"after lines", "a\nb $(__LINE__)\n", 300, "a\nb 2\n"},
      {"mid line", "a\nhalf a li", 300, "a\nhalf a li\n"},
      {"in open loop", "@FOR i 1 2\n[$(i)]\n", 300, "[1]\n"},
      {"with much unread", std::string(200000, '#') + "\nz\n", 0, "z\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResettingPeer peer(c.sent, std::chrono::milliseconds(c.pause_ms));
    Pipe out, err;
    ChildSetup setup;
    setup.args = {peer.name()};
    setup.out = out.w;
    setup.err = err.w;
    pid_t pid = spawn(setup);
    out.close_w();
    err.close_w();
    std::string output, text;
    drain({out.r, err.r}, {&output, &text});
    Ending ending = wait_for(pid);
    EXPECT_FALSE(ending.hung);
    EXPECT_EQ(ending.signal, 0) << ending;
    // A reset is a failed read: the run says so instead of ending as if the
    // text were complete.
    EXPECT_EQ(ending.status, 1) << ending;
    EXPECT_EQ(count_lines(text), 1) << text;
    const std::string said = "Can't read " + peer.name() + " (Connection reset by peer)\n";
    EXPECT_TRUE(text.size() >= said.size() && text.compare(text.size() - said.size(), said.size(), said) == 0)
        << text;
    // Whatever came out is the start of what the whole text gives.
    EXPECT_EQ(c.full_out.compare(0, output.size(), output), 0) << output;
  }
}

}  // namespace
