// Behaviours that need more than a table row: TCP inputs, failing output, very large input,
// binary garbage, run-time values and descriptor exhaustion.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "cases.h"

namespace e2e {
namespace {

// A server on 127.0.0.1 with an ephemeral port that accepts one connection, sends `payload`
// (in chunks of `chunk` bytes with a short pause between them when `chunk` > 0) and closes.
class OneShotServer {
 public:
  explicit OneShotServer(std::string payload, size_t chunk = 0) : payload_(std::move(payload)), chunk_(chunk) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 4) != 0) {
      ADD_FAILURE() << "cannot start the test server";
      return;
    }
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~OneShotServer() {
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) close(fd_);
  }
  int port() const { return port_; }
  bool accepted() const { return accepted_; }
  std::string addr() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  void serve() {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0) return;
    int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (c < 0) return;
    accepted_ = true;
    size_t done = 0;
    while (done < payload_.size()) {
      size_t n = payload_.size() - done;
      if (chunk_ && n > chunk_) n = chunk_;
      ssize_t w = send(c, payload_.data() + done, n, MSG_NOSIGNAL);
      if (w <= 0) break;
      done += static_cast<size_t>(w);
      if (chunk_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    shutdown(c, SHUT_WR);
    close(c);
  }

  std::string payload_;
  size_t chunk_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> accepted_{false};
  std::thread thread_;
};

// A port on 127.0.0.1 on which nothing listens.
int closed_port() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

RunResult run_ok(const Invocation& inv) {
  RunResult r = run(inv);
  EXPECT_FALSE(r.timed_out) << "the run did not end within the time limit";
  EXPECT_EQ(r.signal, 0) << "killed by signal; stderr:\n" << show(r.err);
  return r;
}

void expect_out(const RunResult& r, const std::string& out, const std::string& err = "", int status = 0) {
  EXPECT_EQ(r.out, out) << "stdout:\n" << show(r.out) << "\nexpected:\n" << show(out);
  EXPECT_EQ(r.err, err) << "stderr:\n" << show(r.err);
  EXPECT_EQ(r.status, status);
}

const std::string kTcpScript = "@DEFINE x 1\nfrom tcp $x $(__LINE__)\n";

TEST(Tcp, OperandReadsScript) {
  OneShotServer srv(kTcpScript);
  Invocation inv;
  inv.args = {srv.addr()};
  expect_out(run_ok(inv), "from tcp 1 2\n");
}

TEST(Tcp, FileMacroNamesSourceAfterItEnds) {
  OneShotServer srv("first\n");
  Invocation inv;
  inv.args = {"./a.qf", srv.addr()};
  inv.files = {{"a.qf", "then $(__FILE__)\n"}};
  expect_out(run_ok(inv), "first\nthen " + srv.addr() + "\n");
}

TEST(Tcp, IncludeReadsScript) {
  OneShotServer srv(kTcpScript);
  Invocation inv;
  inv.stdin_data = "before\n@DEFINE src " + srv.addr() + "\n@INCLUDE $(src)\nafter $x\n";
  expect_out(run_ok(inv), "before\nfrom tcp 1 2\nafter 1\n");
}

TEST(Tcp, PortForms) {
  struct Form {
    const char* what;
    std::string (*make)(int port);
  };
  const Form forms[] = {
      {"hexadecimal", [](int p) { char b[64]; snprintf(b, sizeof b, "127.0.0.1:0x%x", p); return std::string(b); }},
      {"octal", [](int p) { char b[64]; snprintf(b, sizeof b, "127.0.0.1:0%o", p); return std::string(b); }},
      {"trailing letters", [](int p) { return "127.0.0.1:" + std::to_string(p) + "abc"; }},
      {"above 65535", [](int p) { return "127.0.0.1:" + std::to_string(p + 65536); }},
      {"empty host", [](int p) { return ":" + std::to_string(p); }},
      {"localhost", [](int p) { return "localhost:" + std::to_string(p); }},
      {"blanks and extra words", [](int p) { return "  127.0.0.1:" + std::to_string(p) + " extra words"; }},
  };
  for (const auto& f : forms) {
    SCOPED_TRACE(f.what);
    OneShotServer srv(kTcpScript);
    Invocation inv;
    inv.args = {f.make(srv.port())};
    expect_out(run_ok(inv), "from tcp 1 2\n");
  }
}

TEST(Tcp, PeerClosesAtOnce) {
  OneShotServer srv("");
  Invocation inv;
  inv.args = {srv.addr()};
  RunResult r = run_ok(inv);
  expect_out(r, "");
  EXPECT_TRUE(srv.accepted());
}

TEST(Tcp, ScriptArrivesInSmallPieces) {
  std::string script = "@DEFINE m [$(0)]\n";
  std::string want;
  for (int i = 0; i < 200; ++i) {
    script += "line " + std::to_string(i) + " $(m:" + std::to_string(i * 7) + ") \\\ncontinued\n";
    want += "line " + std::to_string(i) + " [" + std::to_string(i * 7) + "]  continued\n";
  }
  OneShotServer srv(script, 7);
  Invocation inv;
  inv.args = {srv.addr()};
  expect_out(run_ok(inv), want);
}

TEST(Tcp, LoopsRepeat) {
  OneShotServer srv("@FOR i a b c\n<$i> $(__LINE__)\n@END\nend\n");
  Invocation inv;
  inv.args = {srv.addr()};
  expect_out(run_ok(inv), "<a> 2\n<b> 2\n<c> 2\nend\n");
}

TEST(Tcp, BinaryGarbage) {
  std::mt19937 gen(12345);
  std::string junk;
  for (int i = 0; i < 200000; ++i) junk += static_cast<char>(gen() & 0xFF);
  OneShotServer srv(junk, 4096);
  Invocation inv;
  inv.args = {srv.addr()};
  RunResult r = run_ok(inv);
  EXPECT_TRUE(r.status == 0 || r.status == 1) << r.status;
  if (r.status == 1) {
    EXPECT_TRUE(full_match(r.err, "(quenfold|expr): [^\n]*\n")) << show(r.err);
  }
}

TEST(Tcp, ConnectionRefused) {
  int port = closed_port();
  Invocation inv;
  inv.args = {"127.0.0.1:" + std::to_string(port)};
  inv.stdin_data = "not read\n";
  expect_out(run_ok(inv), "", "quenfold: Can't open input socket on 127.0.0.1:" + std::to_string(port) + " (Connection refused)\n", 1);
}

TEST(Tcp, RefusedFromInclude) {
  int port = closed_port();
  Invocation inv;
  inv.stdin_data = "ok\n@INCLUDE 127.0.0.1:" + std::to_string(port) + "\n";
  expect_out(run_ok(inv), "ok\n",
             "quenfold: file stdin line 2: Can't open input socket on 127.0.0.1:" + std::to_string(port) + " (Connection refused)\n", 1);
}

// The message names the reason of the failure: the resolver's own text for
// a name it does not know.
TEST(Tcp, UnusableNames) {
  // What the resolver says of the host ./note (no such name, or no resolver at hand).
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int lookup = getaddrinfo("./note", nullptr, &hints, &found);
  if (found != nullptr) freeaddrinfo(found);
  ASSERT_NE(lookup, 0);
  const std::string unknown_service = gai_strerror(EAI_SERVICE);
  const std::pair<std::string, std::string> names[] = {
      {"127.0.0.1:no-such-service-qf", unknown_service},  // service name not known
      {"127.0.0.1:", unknown_service},                    // the service "unknown"
      {"127.0.0.1:b:c", unknown_service},                 // port text b:c is a service name
      {"127.0.0.1:-1", unknown_service},                  // a signed number is a service name
      {"./note:1.qf", gai_strerror(lookup)},              // host ./note, port 1.qf
      {"127.0.0.1:" + std::string(1100, '1'), "Name too long"},  // longer than 1,024 characters
      {"./a b:c", "Invalid argument"},                    // a colon after a blank: nothing left to split
  };
  for (const auto& [name, reason] : names) {
    SCOPED_TRACE(name.substr(0, 40));
    Invocation inv;
    inv.args = {name};
    RunResult r = run_ok(inv);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quenfold: Can't open input socket on " + name + " (" + reason + ")\n");
  }
}

// Output that cannot be written.

TEST(Output, DevFullSmall) {
  Invocation inv;
  inv.stdin_data = "hello\n";
  inv.stdout_mode = StdoutMode::kDevFull;
  RunResult r = run_ok(inv);
  EXPECT_EQ(r.err, "quenfold: Can't write to file\n");
  EXPECT_EQ(r.status, 1);
}

TEST(Output, DevFullLarge) {
  Invocation inv;
  for (int i = 0; i < 100000; ++i) inv.stdin_data += "line " + std::to_string(i) + " of some length\n";
  inv.stdout_mode = StdoutMode::kDevFull;
  RunResult r = run_ok(inv);
  EXPECT_TRUE(full_match(r.err, "quenfold: (file stdin line [0-9]+: )?Can't write to file\n")) << show(r.err);
  EXPECT_EQ(r.status, 1);
}

TEST(Output, DevFullPrintAndShow) {
  for (const char* script : {"@PRINT x\n", "@SHOW\n", "@PRINT x\n@DEFINE y 1\n"}) {
    SCOPED_TRACE(script);
    Invocation inv;
    inv.stdin_data = script;
    inv.stdout_mode = StdoutMode::kDevFull;
    RunResult r = run_ok(inv);
    EXPECT_TRUE(full_match(r.err, "quenfold: (file stdin line [0-9]+: )?Can't write to file\n")) << show(r.err);
    EXPECT_EQ(r.status, 1);
  }
}

TEST(Output, DevFullWithoutOutputSucceeds) {
  Invocation inv;
  inv.stdin_data = "@DEFINE x 1\n# nothing is written\n";
  inv.stdout_mode = StdoutMode::kDevFull;
  expect_out(run_ok(inv), "", "", 0);
}

TEST(Output, StdoutClosed) {
  Invocation inv;
  inv.stdin_data = "hello\n";
  inv.stdout_mode = StdoutMode::kClosed;
  RunResult r = run_ok(inv);
  EXPECT_TRUE(full_match(r.err, "quenfold: (file stdin line [0-9]+: )?Can't write to file\n")) << show(r.err);
  EXPECT_EQ(r.status, 1);
}

TEST(Output, OutputBeforeErrorIsKept) {
  Invocation inv;
  for (int i = 0; i < 50000; ++i) inv.stdin_data += "row " + std::to_string(i) + "\n";
  inv.stdin_data += "@PRINT last\n@ERROR stop\n";
  std::string want;
  for (int i = 0; i < 50000; ++i) want += "row " + std::to_string(i) + "\n";
  expect_out(run_ok(inv), want + "last\n", "quenfold: file stdin line 50002: stop\n", 1);
}

// Large and hostile input.

TEST(Input, TenMegabyteLine) {
  Invocation inv;
  std::string big(10 * 1024 * 1024, 'x');
  inv.stdin_data = "@DEFINE v <$(0)>\n" + big + " $(v:" + big.substr(0, 1000) + ")\nnext\n";
  inv.timeout_ms = 60000;
  expect_out(run_ok(inv), big + " <" + big.substr(0, 1000) + ">\nnext\n");
}

TEST(Input, MegabyteArgument) {
  Invocation inv;
  std::string arg(1024 * 1024, 'a');
  inv.stdin_data = "@DEFINE v [$(0)|$(1)]\n$(v:" + arg + "," + arg + ")\n$(@:" + arg + ")\n";
  inv.timeout_ms = 60000;
  expect_out(run_ok(inv), "[" + arg + "|" + arg + "]\n" + std::to_string(arg.size()) + "\n");
}

TEST(Input, BinaryGarbageOnStdin) {
  for (unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    std::mt19937 gen(seed);
    Invocation inv;
    for (int i = 0; i < 300000; ++i) inv.stdin_data += static_cast<char>(gen() & 0xFF);
    RunResult r = run_ok(inv);
    EXPECT_TRUE(r.status == 0 || r.status == 1) << r.status;
    if (r.status == 1) {
      EXPECT_TRUE(full_match(r.err, "(quenfold|expr): [^\n]*\n")) << show(r.err);
    }
  }
}

TEST(Input, TextWithoutMarkupPassesThrough) {
  // Every byte but the ones the language treats specially, in long lines: nothing is lost.
  std::mt19937 gen(7);
  std::string in, out;
  for (int line = 0; line < 2000; ++line) {
    std::string s;
    for (int i = 0; i < 300; ++i) {
      unsigned char c;
      do c = static_cast<unsigned char>(gen() & 0xFF);
      while (c == 0 || c == '\n' || c == '\\' || c == '#' || c == '$' || c == '@' || c == '!' || c == '\r' || c == '\t' ||
             c == '\v' || c == '\f' || c == ' ');
      s += static_cast<char>(c);
      if (i % 10 == 9) s += ' ';
    }
    s += 'e';
    in += s + "\n";
    out += s + "\n";
  }
  Invocation inv;
  inv.stdin_data = in;
  expect_out(run_ok(inv), out);
}

TEST(Input, SelfIncludeRunsOutOfDescriptors) {
#ifdef E2E_SANITIZED
  GTEST_SKIP() << "the sanitizer runtime needs free descriptors to report on its own checks";
#endif
  Invocation inv;
  inv.files = {{"a.qf", "@INCLUDE ./a.qf\n"}};
  inv.stdin_data = "@INCLUDE ./a.qf\n";
  inv.nofile_limit = 64;
  RunResult r = run_ok(inv);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "quenfold: file ./a.qf line 1: Can't open ./a.qf (Too many open files)\n");
  EXPECT_EQ(r.status, 1);
}

TEST(Input, UnreadableFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root can read any file";
  Invocation inv;
  inv.files = {{"a.qf", "A\n"}};
  inv.unreadable = {"a.qf"};
  inv.stdin_data = "@INCLUDE ./a.qf\n";
  expect_out(run_ok(inv), "", "quenfold: file stdin line 1: Can't open ./a.qf (Permission denied)\n", 1);
}

// Values known only at run time.

TEST(RunTime, PidIsTheProcessId) {
  Invocation inv;
  inv.stdin_data = "$(__PID__)\n";
  RunResult r = run_ok(inv);
  EXPECT_EQ(r.out, std::to_string(r.pid) + "\n");
  EXPECT_EQ(r.status, 0);
}

TEST(RunTime, ProgramNameSelectsVariable) {
  // The variable is named after the file name of argv[0]; the harness runs the binary by its path.
  std::string bin = binary_path();
  std::string base = bin.substr(bin.rfind('/') + 1);
  ASSERT_EQ(base, "quenfold");
  Invocation inv;
  inv.env = {{"quenfold", "-DFROM_ENV=yes"}};
  inv.stdin_data = "$(FROM_ENV)\n";
  expect_out(run_ok(inv), "yes\n");
}

}  // namespace
}  // namespace e2e
