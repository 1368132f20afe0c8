#include "cases.h"

namespace e2e {

namespace {

bool matches(const std::string& got, const std::string& want, bool regex) { return regex ? full_match(got, want) : got == want; }

}  // namespace

void check_case(const Case& c) {
  Invocation inv;
  inv.args = c.args;
  inv.env = c.env;
  inv.files = c.files;
  inv.stdin_data = c.in;
  inv.stdin_file = c.stdin_file;
  inv.dirs = c.dirs;
  RunResult r = run(inv);
  ASSERT_FALSE(r.timed_out) << "the run did not end within the time limit";
  ASSERT_EQ(r.signal, 0) << "killed by signal " << r.signal << "\nstderr:\n" << show(r.err);
  EXPECT_TRUE(matches(r.out, c.out, c.match & kOutRegex))
      << "stdout differs\n--- expected" << ((c.match & kOutRegex) ? " (pattern)" : "") << ":\n"
      << show(c.out) << "\n--- got:\n" << show(r.out);
  EXPECT_TRUE(matches(r.err, c.err, c.match & kErrRegex))
      << "stderr differs\n--- expected" << ((c.match & kErrRegex) ? " (pattern)" : "") << ":\n"
      << show(c.err) << "\n--- got:\n" << show(r.err);
  EXPECT_EQ(r.status, c.status) << "exit status; stderr was:\n" << show(r.err);
}

TEST_P(Table, Run) { check_case(GetParam()); }

}  // namespace e2e
