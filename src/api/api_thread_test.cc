// Runs of the C API at the same time in several threads give the results
// they give one at a time. Built under ThreadSanitizer by the test script.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "quenfold/quenfold.h"

namespace {

struct Job {
  std::vector<std::string> args;
  std::string input;
};

struct Outcome {
  std::string out;
  std::string err;
  int status = -2;
  bool operator==(const Outcome&) const = default;
};

Outcome run(const Job& job) {
  std::vector<const char*> argv;
  for (const std::string& a : job.args) argv.push_back(a.c_str());
  quenfold_result r;
  Outcome o;
  o.status = quenfold_run(static_cast<int>(argv.size()), argv.data(), job.input.data(), job.input.size(), &r);
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
  };
  std::vector<Outcome> expected;
  for (const Job& job : jobs) expected.push_back(run(job));
  EXPECT_EQ(expected[0].out, "1 42\n");
  EXPECT_EQ(expected[4].err, "quenfold: file stdin line 2: Macro nosuch not defined\n");

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

  std::remove(include.c_str());
  rmdir(dir.c_str());
}

}  // namespace
