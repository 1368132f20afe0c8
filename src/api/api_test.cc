// The C API as a caller sees it: results, errors, streams, environment.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "quenfold/quenfold.h"

namespace {

struct Outcome {
  std::string out;
  std::string err;
  int status;
};

Outcome run(std::vector<const char*> argv, const std::string& input) {
  quenfold_result r;
  int rc = quenfold_run(static_cast<int>(argv.size()), argv.data(), input.data(), input.size(), &r);
  EXPECT_EQ(rc, r.status);
  EXPECT_EQ(r.out[r.out_len], '\0');
  EXPECT_EQ(r.err[r.err_len], '\0');
  Outcome o{std::string(r.out, r.out_len), std::string(r.err, r.err_len), r.status};
  quenfold_result_free(&r);
  EXPECT_EQ(r.out, nullptr);
  return o;
}

TEST(Api, RunsAScriptFromStandardInput) {
  Outcome o = run({"quenfold", "-Dwho=world"}, "@DEFINE greet hello\n$(greet), $(who)!\n$(=:6 * 7)\n");
  EXPECT_EQ(o.out, "hello, world!\n42\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.status, 0);
}

TEST(Api, AnErrorComesBackAsItsLineAndStatusOne) {
  // What was written before the error is kept.
  Outcome o = run({"quenfold"}, "kept\n$(nosuch)\n");
  EXPECT_EQ(o.out, "kept\n");
  EXPECT_EQ(o.err, "quenfold: file stdin line 2: Macro nosuch not defined\n");
  EXPECT_EQ(o.status, 1);

  o = run({"quenfold", "-x"}, "");
  EXPECT_EQ(o.err, "quenfold: Unknown option\n");
  EXPECT_EQ(o.status, 1);

  o = run({"quenfold", "./no/such/file.qf"}, "");
  EXPECT_EQ(o.err, "quenfold: Can't stat ./no/such/file.qf (No such file or directory)\n");
  EXPECT_EQ(o.status, 1);
}

TEST(Api, EmptyInputAndNoArguments) {
  quenfold_result r;
  const char* argv[] = {"quenfold"};
  EXPECT_EQ(quenfold_run(1, argv, nullptr, 0, &r), 0);
  EXPECT_EQ(r.out_len, 0u);
  EXPECT_STREQ(r.out, "");
  quenfold_result_free(&r);
  quenfold_result_free(&r);  // freeing twice, or a null result, is harmless
  quenfold_result_free(nullptr);
  EXPECT_EQ(quenfold_run(1, argv, nullptr, 0, nullptr), -1);
}

TEST(Api, TheOptionsVariableIsNamedAfterTheProgram) {
  ::setenv("qfapitest", "-Dx=from_env", 1);
  Outcome o = run({"/some/dir/qfapitest"}, "$x\n");
  ::unsetenv("qfapitest");
  EXPECT_EQ(o.out, "from_env\n");
}

TEST(Api, ErrnoIsLeftAsItWas) {
  errno = 1234;
  Outcome o = run({"quenfold", "./no/such/file.qf"}, "");
  EXPECT_EQ(errno, 1234);
}

TEST(Api, Version) {
  EXPECT_STREQ(quenfold_version(), "3.2");
  EXPECT_STREQ(QUENFOLD_VERSION, "3.2");
}

// A caller's streams for quenfold_run_io.
struct Streams {
  std::string input;
  size_t at = 0;
  size_t chunk = 1;  // bytes handed over per read
  bool fail_read = false;
  bool fail_write = false;
  std::string out;
  std::string err;
  int out_calls = 0;

  static long read(void* context, char* buffer, size_t size) {
    auto* s = static_cast<Streams*>(context);
    if (s->fail_read && s->at >= s->input.size()) {
      errno = EIO;
      return -1;
    }
    size_t n = std::min({size, s->chunk, s->input.size() - s->at});
    std::memcpy(buffer, s->input.data() + s->at, n);
    s->at += n;
    return static_cast<long>(n);
  }
  static int write(void* context, int stream, const char* data, size_t size) {
    auto* s = static_cast<Streams*>(context);
    if (stream == 1) {
      if (s->fail_write) return -1;
      ++s->out_calls;
      s->out.append(data, size);
    } else {
      s->err.append(data, size);
    }
    return 0;
  }
  quenfold_io io(const char* const* envp = nullptr) {
    quenfold_io io = QUENFOLD_IO_INIT;
    io.read = &Streams::read;
    io.write = &Streams::write;
    io.context = this;
    io.envp = envp;
    return io;
  }
};

TEST(ApiIo, StreamsThroughCallbacks) {
  Streams s;
  // A loop read one byte at a time still repeats its body.
  s.input = "@FOR i a b c\nline $i\n@END\n";
  quenfold_io io = s.io();
  const char* argv[] = {"quenfold"};
  EXPECT_EQ(quenfold_run_io(1, argv, &io), 0);
  EXPECT_EQ(s.out, "line a\nline b\nline c\n");
  EXPECT_EQ(s.err, "");
}

TEST(ApiIo, LargeOutputArrivesInPieces) {
  Streams s;
  s.chunk = 4096;
  s.input = "@FOR i $(%:1-2000)\n" + std::string(100, 'x') + " $i\n@END\n";
  quenfold_io io = s.io();
  const char* argv[] = {"quenfold"};
  EXPECT_EQ(quenfold_run_io(1, argv, &io), 0);
  EXPECT_GT(s.out_calls, 1);
  EXPECT_EQ(s.out.size(), 2000 * 102u + 9 * 1 + 90 * 2 + 900 * 3 + 1001 * 4);
}

TEST(ApiIo, FailingStreamsEndTheRunWithTheirMessages) {
  Streams s;
  s.input = "text\n";
  s.fail_write = true;
  quenfold_io io = s.io();
  const char* argv[] = {"quenfold"};
  EXPECT_EQ(quenfold_run_io(1, argv, &io), 1);
  EXPECT_EQ(s.err, "quenfold: Can't write to file\n");

  Streams r;
  r.input = "partial\n";
  r.fail_read = true;
  io = r.io();
  EXPECT_EQ(quenfold_run_io(1, argv, &io), 1);
  EXPECT_EQ(r.out, "partial\n");
  EXPECT_EQ(r.err, "quenfold: file stdin line 1: Can't read stdin (Input/output error)\n");
}

TEST(ApiIo, AnEnvironmentOfTheCallersOwn) {
  const char* env[] = {"USER=ada", "HOME=/home/ada", "prog=-Dfrom=variable", nullptr};
  Streams s;
  s.input = "@GETENV HOME\n@GETENV PATH unset\n$(__USER__) $(HOME) $(PATH) $(from)\n";
  quenfold_io io = s.io(env);
  const char* argv[] = {"prog"};
  EXPECT_EQ(quenfold_run_io(1, argv, &io), 0) << s.err;
  EXPECT_EQ(s.out, "ada /home/ada unset variable\n");

  // An empty environment: no user at all, and @GETENV finds nothing.
  const char* none[] = {nullptr};
  Streams e;
  e.input = "[$(__USER__)]\n@GETENV HOME none\n$(HOME)\n";
  io = e.io(none);
  EXPECT_EQ(quenfold_run_io(1, argv, &io), 0) << e.err;
  EXPECT_EQ(e.out, "[]\nnone\n");
}

}  // namespace
