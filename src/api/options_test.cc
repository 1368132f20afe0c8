// Run options of the C API: a root that no input may leave, no network, and
// limits on lines, expansion size and output.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "quenfold/quenfold.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  std::string out;
  std::string err;
  int status = -2;
};

Outcome run(std::vector<std::string> args, const std::string& input, const quenfold_options* options,
            const char* const* envp = nullptr) {
  args.insert(args.begin(), "quenfold");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  quenfold_result r;
  Outcome o;
  o.status = quenfold_run_opts(static_cast<int>(argv.size()), argv.data(), input.data(), input.size(), envp,
                               options, &r);
  if (o.status >= 0) {
    o.out.assign(r.out, r.out_len);
    o.err.assign(r.err, r.err_len);
    quenfold_result_free(&r);
  }
  return o;
}

// Calls `step` with 0, 1, 2, ... on a thread of its own until destroyed.
class Swapper {
 public:
  template <typename Step>
  explicit Swapper(Step step)
      : thread_([this, step] {
          for (unsigned i = 0; !stop_.load(); ++i) step(i);
        }) {}
  ~Swapper() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void write_file(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr) << path;
  std::fputs(text.c_str(), f);
  std::fclose(f);
}

// top/root holds the scripts a confined run may read; top/outside what it
// must never reach, each file of it a script that says so.
class Confined : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quenfold-confined-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    top = tmpl;
    root = top / "root";
    outside = top / "outside";
    write_file(outside / "secret", "SECRET\n");
    write_file(outside / "script", "SECRET script\n");
    write_file(root / "page", "@INCLUDE part\npage\n");
    write_file(root / "lib" / "part", "part\n");
    write_file(root / "pkg" / "script", "pkg\n");
    fs::create_symlink("page", root / "link_in");
    fs::create_symlink("pkg", root / "link_pkg");
    fs::create_symlink("../outside/secret", root / "link_out");
    fs::create_symlink(outside.string() + "/secret", root / "link_abs");
    fs::create_symlink("../outside", root / "link_dir_out");
    fs::create_directories(root / "evil");
    fs::create_symlink("../../outside/secret", root / "evil" / "script");
    options.root = root_text.assign(root.string()).c_str();
  }
  void TearDown() override { fs::remove_all(top); }

  fs::path top, root, outside;
  std::string root_text;
  quenfold_options options = QUENFOLD_OPTIONS_INIT;
};

TEST_F(Confined, NamesInsideTheRootOpen) {
  struct Case {
    std::vector<std::string> args;
    std::string input;
    std::string out;
  };
  const std::vector<Case> cases = {
      {{"-i", "lib", "./page"}, "", "part\npage\n"},
      {{"-i", "./lib/", "./link_in"}, "", "part\npage\n"},
      {{"-i", "lib", "./pkg/../page"}, "", "part\npage\n"},
      {{"./pkg"}, "", "pkg\n"},
      {{"./link_pkg"}, "", "pkg\n"},
      {{"-i", "."}, "@INCLUDE pkg\n@INCLUDE lib/part\n", "pkg\npart\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    Outcome o = run(c.args, c.input, &options);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.status, 0);
  }
}

TEST_F(Confined, NamesLeadingOutEndTheRunAsPermissionDenied) {
  const std::string abs = (outside / "secret").string();
  struct Case {
    std::vector<std::string> args;
    std::string input;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"../outside/secret"}, "", "quenfold: Can't stat ../outside/secret (Permission denied)\n"},
      {{"./pkg/../../outside/secret"}, "", "quenfold: Can't stat ./pkg/../../outside/secret (Permission denied)\n"},
      {{abs}, "", "quenfold: Can't stat " + abs + " (Permission denied)\n"},
      {{"./link_out"}, "", "quenfold: Can't stat ./link_out (Permission denied)\n"},
      {{"./link_abs"}, "", "quenfold: Can't stat ./link_abs (Permission denied)\n"},
      {{"./link_dir_out/secret"}, "", "quenfold: Can't stat ./link_dir_out/secret (Permission denied)\n"},
      // Directories: one outside, and one inside whose script is a link out.
      {{"./link_dir_out"}, "", "quenfold: Can't stat ./link_dir_out (Permission denied)\n"},
      {{"./evil"}, "", "quenfold: Can't open ./evil/script (Permission denied)\n"},
      // The include directory: the default, an absolute one, one above the
      // root and a link out.
      {{"secret"}, "", "quenfold: Can't stat /usr/package/secret (Permission denied)\n"},
      {{"-i", outside.string(), "secret"}, "", "quenfold: Can't stat " + abs + " (Permission denied)\n"},
      {{"-i", "..", "outside/secret"}, "", "quenfold: Can't stat ../outside/secret (Permission denied)\n"},
      {{"-i", "link_dir_out", "secret"}, "", "quenfold: Can't stat link_dir_out/secret (Permission denied)\n"},
      // The same from @INCLUDE, after output that is kept.
      {{}, "kept\n@INCLUDE ../outside/secret\n",
       "quenfold: file stdin line 2: Can't stat ../outside/secret (Permission denied)\n"},
      {{}, "kept\n@INCLUDE ./evil\n", "quenfold: file stdin line 2: Can't open ./evil/script (Permission denied)\n"},
      {{"-i", "/etc"}, "kept\n@INCLUDE passwd\n", "quenfold: file stdin line 2: Can't stat /etc/passwd (Permission denied)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? c.input : c.args.back());
    Outcome o = run(c.args, c.input, &options);
    EXPECT_EQ(o.err, c.err);
    EXPECT_EQ(o.out, c.input.empty() ? "" : "kept\n");
    EXPECT_EQ(o.status, 1);
  }
  // Without a root, the same names reach the files outside.
  Outcome free_run = run({"./evil"}, "", nullptr);
  EXPECT_EQ(free_run.out, "");  // relative to the working directory, which is elsewhere
  free_run = run({(root / "evil").string()}, "", nullptr);
  EXPECT_EQ(free_run.out, "SECRET\n");
}

TEST_F(Confined, MissingFilesKeepTheirReasons) {
  Outcome o = run({"./nosuch"}, "", &options);
  EXPECT_EQ(o.err, "quenfold: Can't stat ./nosuch (No such file or directory)\n");
  o = run({"./page/x"}, "", &options);
  EXPECT_EQ(o.err, "quenfold: Can't stat ./page/x (Not a directory)\n");
  // The root itself must be a directory that can be opened.
  quenfold_options missing = QUENFOLD_OPTIONS_INIT;
  const std::string nowhere = (top / "nowhere").string();
  missing.root = nowhere.c_str();
  o = run({}, "text\n", &missing);
  EXPECT_EQ(o.err, "quenfold: Can't open " + nowhere + " (No such file or directory)\n");
  EXPECT_EQ(o.status, 1);
}

TEST_F(Confined, TheWorkingDirectoryPlaysNoPart) {
  // A relative root is taken from the working directory when the run starts;
  // after that only the root counts.
  write_file(outside / "page", "SECRET page\n");
  write_file(outside / "lib" / "part", "SECRET part\n");
  fs::path before = fs::current_path();
  fs::current_path(outside);
  Outcome confined = run({"-i", "lib", "./page"}, "", &options);
  quenfold_options relative = QUENFOLD_OPTIONS_INIT;
  relative.root = "../root";
  Outcome relative_root = run({"-i", "lib", "./page"}, "", &relative);
  Outcome free_run = run({"-i", "lib", "./page"}, "", nullptr);
  fs::current_path(before);
  EXPECT_EQ(confined.out, "part\npage\n");
  EXPECT_EQ(relative_root.out, "part\npage\n");
  EXPECT_EQ(free_run.out, "SECRET page\n");
}

// Links replaced again and again while a confined script reads through
// them in a loop, one to a file and one to a directory: the run may see what
// is inside or stop with "Permission denied", never read what is outside.
TEST_F(Confined, LinksSwappedDuringTheRunDoNotLeadOut) {
  write_file(root / "inside", "inside\n");
  write_file(outside / "part", "SECRET part\n");
  Swapper swapper([&](unsigned i) {
    for (const char* name : {"race", "racedir"}) {
      const std::string staged = (root / "staged").string();
      unlink(staged.c_str());
      const bool file = name[4] == '\0';
      (void)!symlink(i % 2 ? (file ? "inside" : "lib") : (file ? "../outside/secret" : "../outside"), staged.c_str());
      rename(staged.c_str(), (root / name).c_str());
    }
  });
  std::string script = "@FOR i $(%:1-200)\n@INCLUDE ./race\n@INCLUDE ./racedir/part\n@END\n";
  int refused = 0;
  // A hundred runs at least, and more while the swapper, which a busy
  // machine may schedule late, has not yet made one of them stop.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (int i = 0; i < 100 || (refused == 0 && std::chrono::steady_clock::now() < give_up); ++i) {
    Outcome o = run({}, script, &options);
    ASSERT_EQ(o.out.find("SECRET"), std::string::npos);
    if (o.status != 0) {
      ++refused;
      // A lookup that meets the rename half done may also find nothing.
      ASSERT_TRUE(o.err.ends_with(" (Permission denied)\n") || o.err.ends_with(" (No such file or directory)\n"))
          << o.err;
    }
  }
  EXPECT_GT(refused, 0);
}

TEST(Options, NoNetwork) {
  quenfold_options options = QUENFOLD_OPTIONS_INIT;
  options.no_network = 1;
  Outcome o = run({"127.0.0.1:1"}, "", &options);
  EXPECT_EQ(o.err, "quenfold: Can't open input socket on 127.0.0.1:1 (Network is unreachable)\n");
  EXPECT_EQ(o.status, 1);
  o = run({}, "kept\n@INCLUDE localhost:80\n", &options);
  EXPECT_EQ(o.out, "kept\n");
  EXPECT_EQ(o.err, "quenfold: file stdin line 2: Can't open input socket on localhost:80 (Network is unreachable)\n");
}

TEST(Options, EachLimitEndsTheRunWithItsLine) {
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "line " + std::to_string(i) + "\n";
  std::string c_value;
  for (int i = 0; i < 100; ++i) c_value += "0123456789";
  struct Case {
    const char* name;
    unsigned long long lines;
    size_t text;
    size_t output;
    std::string input;
    std::string out;  // what is kept
    std::string err;
  };
  const std::vector<Case> cases = {
      {"lines", 3, 0, 0, "a\nb\nc\nd\ne\n", "a\nb\nc\n", "quenfold: file stdin line 4: Line limit of this run reached\n"},
      {"loop lines", 5, 0, 0, "@FOR i $(%:1-100)\n$i\n@END\n", "1\n2\n",
       "quenfold: file stdin line 2: Line limit of this run reached\n"},
      {"text", 0, 10, 0, "@DEFINE x 0123456789\n$x\n$x$x\n", "0123456789\n",
       "quenfold: file stdin line 3: Text limit of this run reached\n"},
      {"growing", 0, 1000, 0,
       "@DEFINE a 0123456789\n@DEFINE b $a$a$a$a$a$a$a$a$a$a\n@DEFINE c $b$b$b$b$b$b$b$b$b$b\n"
       "@DEFINE d $c$c$c$c$c$c$c$c$c$c\n$c\n$d\n",
       c_value + "\n", "quenfold: file stdin line 6: Text limit of this run reached\n"},
      {"output at the end", 0, 0, 5, "abc\ndef\n", "abc\nd", "quenfold: Output limit of this run reached\n"},
      {"output on the way", 0, 0, 100000, many, many.substr(0, 100000), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    quenfold_options options = QUENFOLD_OPTIONS_INIT;
    options.max_lines = c.lines;
    options.max_text = c.text;
    options.max_output = c.output;
    Outcome o = run({}, c.input, &options);
    EXPECT_EQ(o.out, c.out);
    if (c.err.empty()) {
      EXPECT_TRUE(o.err.ends_with(": Output limit of this run reached\n")) << o.err;
    } else {
      EXPECT_EQ(o.err, c.err);
    }
    EXPECT_EQ(o.status, 1);
    // Limits the script stays within change nothing.
    options.max_lines = c.lines ? 1000000 : 0;
    options.max_text = c.text ? 1000000 : 0;
    options.max_output = c.output ? 10000000 : 0;
    o = run({}, c.input, &options);
    EXPECT_EQ(o.status, 0) << o.err;
  }
}

// The output limit holds whichever way the output goes.
TEST(Options, TheOutputLimitOnCallbacksAndDescriptors) {
  std::string script = "@FOR i $(%:1-1000)\n@FOR j $(%:1-50)\nline $i $j\n@END\n@END\n";
  const char* argv[] = {"quenfold"};
  quenfold_options options = QUENFOLD_OPTIONS_INIT;
  options.max_output = 70000;

  struct Sink {
    std::string out, err;
    static int write(void* context, int stream, const char* data, size_t size) {
      auto* s = static_cast<Sink*>(context);
      (stream == 1 ? s->out : s->err).append(data, size);
      return 0;
    }
  } sink;
  int in = memfd_create("in", MFD_CLOEXEC);
  ASSERT_EQ(write(in, script.data(), script.size()), static_cast<ssize_t>(script.size()));
  lseek(in, 0, SEEK_SET);
  quenfold_io io = QUENFOLD_IO_INIT;
  io.in_fd = in;
  io.write = &Sink::write;
  io.context = &sink;
  EXPECT_EQ(quenfold_run_io_opts(1, argv, &io, &options), 1);
  EXPECT_EQ(sink.out.size(), 70000u);
  EXPECT_TRUE(sink.err.ends_with("Output limit of this run reached\n")) << sink.err;

  int out = memfd_create("out", MFD_CLOEXEC);
  Sink errors;
  lseek(in, 0, SEEK_SET);
  io = QUENFOLD_IO_INIT;
  io.in_fd = in;
  io.out_fd = out;
  io.write = nullptr;
  io.err_fd = memfd_create("err", MFD_CLOEXEC);
  EXPECT_EQ(quenfold_run_io_opts(1, argv, &io, &options), 1);
  EXPECT_EQ(lseek(out, 0, SEEK_END), 70000);
  std::string err(200, '\0');
  err.resize(static_cast<size_t>(pread(io.err_fd, err.data(), err.size(), 0)));
  EXPECT_TRUE(err.ends_with("Output limit of this run reached\n")) << err;
  close(in);
  close(out);
  close(io.err_fd);
}

TEST(Options, TheStructureIsCheckedBeforeUse) {
  quenfold_options options = QUENFOLD_OPTIONS_INIT;
  options.size = sizeof options - 1;
  Outcome o = run({}, "text\n", &options);
  EXPECT_EQ(o.err, "quenfold: Invalid run options\n");
  EXPECT_EQ(o.status, 1);
  // A later caller's larger structure is read when what this version does
  // not know of is left zero.
  struct Later {
    quenfold_options known;
    long more;
  } later{QUENFOLD_OPTIONS_INIT, 0};
  later.known.size = sizeof later;
  later.known.max_lines = 1;
  o = run({}, "a\nb\n", &later.known);
  EXPECT_EQ(o.err, "quenfold: file stdin line 2: Line limit of this run reached\n");
  later.more = 1;
  o = run({}, "a\nb\n", &later.known);
  EXPECT_EQ(o.err, "quenfold: Invalid run options\n");

  // The streaming form says it on its error stream.
  struct Sink {
    std::string err;
    static int write(void* context, int stream, const char* data, size_t size) {
      if (stream == 2) static_cast<Sink*>(context)->err.append(data, size);
      return 0;
    }
  } sink;
  quenfold_io io = QUENFOLD_IO_INIT;
  io.write = &Sink::write;
  io.context = &sink;
  const char* argv[] = {"quenfold"};
  EXPECT_EQ(quenfold_run_io_opts(1, argv, &io, &later.known), 1);
  EXPECT_EQ(sink.err, "quenfold: Invalid run options\n");
}

TEST(Options, TheEnvironmentOfTheInMemoryForm) {
  const char* env[] = {"USER=ada", "X=1", nullptr};
  Outcome o = run({}, "@GETENV X\n@GETENV HOME none\n$(__USER__) $X $(HOME)\n", nullptr, env);
  EXPECT_EQ(o.out, "ada 1 none\n");
  EXPECT_EQ(o.status, 0) << o.err;
}

}  // namespace
