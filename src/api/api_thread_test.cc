// Runs of the C API at the same time in several threads give the results
// they give one at a time. Built under ThreadSanitizer by the test script.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "quenfold/quenfold.h"

namespace {

// Run options: a root, no network and limits.
struct Options {
  std::string root;
  bool no_network = false;
  unsigned long long max_lines = 0;
  size_t max_text = 0;
  size_t max_output = 0;
};

struct Job {
  Job(std::vector<std::string> args_, std::string input_, Options options_ = Options())
      : args(std::move(args_)), input(std::move(input_)), options(std::move(options_)) {}
  std::vector<std::string> args;
  std::string input;
  Options options;
};

Options confined(std::string root) {
  Options o;
  o.root = std::move(root);
  return o;
}

Options limited(unsigned long long lines, size_t text, size_t output) {
  Options o;
  o.no_network = true;
  o.max_lines = lines;
  o.max_text = text;
  o.max_output = output;
  return o;
}

struct Outcome {
  std::string out;
  std::string err;
  int status = -2;
  bool operator==(const Outcome&) const = default;
};

Outcome run(const Job& job) {
  std::vector<const char*> argv;
  for (const std::string& a : job.args) argv.push_back(a.c_str());
  quenfold_options options = QUENFOLD_OPTIONS_INIT;
  options.root = job.options.root.empty() ? nullptr : job.options.root.c_str();
  options.no_network = job.options.no_network;
  options.max_lines = job.options.max_lines;
  options.max_text = job.options.max_text;
  options.max_output = job.options.max_output;
  quenfold_result r;
  Outcome o;
  o.status = quenfold_run_opts(static_cast<int>(argv.size()), argv.data(), job.input.data(), job.input.size(),
                               nullptr, &options, &r);
  if (o.status >= 0) {
    o.out.assign(r.out, r.out_len);
    o.err.assign(r.err, r.err_len);
    quenfold_result_free(&r);
  }
  return o;
}

TEST(ApiThreads, ConcurrentRunsGiveTheSameResults) {
  char dir_template[] = "/tmp/quenfold-threads-XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  std::string dir = dir_template;
  std::string include = dir + "/part.qf";
  FILE* f = std::fopen(include.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("@DEFINE part included\nfrom part $(0:none)\n", f);
  std::fclose(f);

  // Two roots with the same names in them, and a link out of each.
  for (const char* root : {"/a", "/b"}) {
    ASSERT_EQ(mkdir((dir + root).c_str(), 0700), 0);
    ASSERT_EQ(mkdir((dir + root + "/lib").c_str(), 0700), 0);
    f = std::fopen((dir + root + "/lib/part.qf").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "root %s\n", root + 1);
    std::fclose(f);
    ASSERT_EQ(symlink(include.c_str(), (dir + root + "/out").c_str()), 0);
    // A directory whose script is a link out.
    ASSERT_EQ(mkdir((dir + root + "/pkg").c_str(), 0700), 0);
    ASSERT_EQ(symlink("../../part.qf", (dir + root + "/pkg/script").c_str()), 0);
  }

  std::string many;
  for (int i = 0; i < 300; ++i) many += "@DEFINE m" + std::to_string(i) + " v" + std::to_string(i) + "\n";
  many += "@FOR i $(%:0-299)\n$(m$(i))\n@END\n";

  const std::vector<Job> jobs = {
      {{"quenfold"}, "@DEFINE x 1\n$x $(=:2 * 21)\n"},
      {{"quenfold", "-Dn=5"}, "@FOR i $(%:1-$n)\n$i$i\n@END\n"},
      {{"quenfold"}, "$(@:$(__DATE__)) $(@:$(__TIME__))\n"},
      {{"quenfold"}, "@GETENV QUENFOLD_THREADS_UNSET fallback\n$(QUENFOLD_THREADS_UNSET)\n"},
      {{"quenfold"}, "ok\n$(nosuch)\n"},
      {{"quenfold"}, "@INCLUDE ./no/such/file\n"},
      {{"quenfold", "127.0.0.1:1"}, ""},
      {{"quenfold", "-i", dir}, "@INCLUDE part.qf\n$(part)\n"},
      {{"quenfold"}, "$(=:1 / 0)\n"},
      {{"quenfold"}, "@IFDEF x\nnever\n"},
      {{"quenfold"}, many},
      {{"quenfold", "-x"}, ""},
      {{"quenfold", "-i", "lib", "part.qf"}, "", confined(dir + "/a")},
      {{"quenfold", "-i", "lib", "part.qf"}, "", confined(dir + "/b")},
      {{"quenfold", "./out"}, "", confined(dir + "/a")},
      {{"quenfold"}, "@INCLUDE ../part.qf\n", confined(dir + "/b")},
      {{"quenfold", "./pkg"}, "", confined(dir + "/a")},
      {{"quenfold"}, "@INCLUDE ./pkg\n", confined(dir + "/b")},
      {{"quenfold", include}, "", confined(dir + "/a")},
      {{"quenfold", "127.0.0.1:1"}, "", limited(0, 0, 0)},
      {{"quenfold"}, many, limited(100, 0, 0)},
      {{"quenfold"}, many, limited(0, 64, 0)},
      {{"quenfold"}, many, limited(0, 0, 1000)},
  };
  std::vector<Outcome> expected;
  for (const Job& job : jobs) expected.push_back(run(job));
  EXPECT_EQ(expected[0].out, "1 42\n");
  EXPECT_EQ(expected[4].err, "quenfold: file stdin line 2: Macro nosuch not defined\n");
  EXPECT_EQ(expected[12].out, "root a\n");
  EXPECT_EQ(expected[13].out, "root b\n");
  EXPECT_EQ(expected[14].err, "quenfold: Can't stat ./out (Permission denied)\n");
  EXPECT_EQ(expected[15].err, "quenfold: file stdin line 1: Can't stat ../part.qf (Permission denied)\n");
  EXPECT_EQ(expected[16].err, "quenfold: Can't open ./pkg/script (Permission denied)\n");
  EXPECT_EQ(expected[17].err, "quenfold: file stdin line 1: Can't open ./pkg/script (Permission denied)\n");
  EXPECT_EQ(expected[18].err, "quenfold: Can't stat " + include + " (Permission denied)\n");
  EXPECT_EQ(expected[19].err, "quenfold: Can't open input socket on 127.0.0.1:1 (Network is unreachable)\n");
  for (size_t k = 20; k < 23; ++k) EXPECT_EQ(expected[k].status, 1);
  EXPECT_EQ(expected[22].out.size(), 1000u);

  constexpr int kThreads = 8;
  constexpr int kRounds = 40;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        size_t k = static_cast<size_t>(t + round) % jobs.size();
        if (!(run(jobs[k]) == expected[k])) ++mismatches;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);

  for (const char* root : {"/a", "/b"}) {
    std::remove((dir + root + "/lib/part.qf").c_str());
    std::remove((dir + root + "/out").c_str());
    std::remove((dir + root + "/pkg/script").c_str());
    rmdir((dir + root + "/pkg").c_str());
    rmdir((dir + root + "/lib").c_str());
    rmdir((dir + root).c_str());
  }
  std::remove(include.c_str());
  rmdir(dir.c_str());
}

}  // namespace
