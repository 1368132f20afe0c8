// Table-driven end-to-end cases: one script run, its expected output, messages and status.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {

using namespace std::string_literals;

enum Match {
  kExact = 0,
  kOutRegex = 1,  // `out` is a POSIX extended regular expression matched against all of stdout
  kErrRegex = 2,  // `err` likewise for stderr
};

struct Case {
  std::string name;               // test name: letters, digits and underscores
  std::vector<std::string> args;  // command-line words
  Pairs env;                      // environment besides PATH
  Pairs files;                    // files in the work directory
  std::string in;                 // standard input
  std::string out;                // expected standard output
  std::string err;                // expected standard error
  int status = 0;
  int match = kExact;
  std::string stdin_file;         // use this work-directory file as standard input instead of `in`
  std::vector<std::string> dirs;  // empty directories to create
};

inline void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// Shortcuts for the usual message texts.
inline std::string at(int line, const std::string& msg) {
  return "quenfold: file stdin line " + std::to_string(line) + ": " + msg + "\n";
}
inline std::string at(const std::string& file, int line, const std::string& msg) {
  return "quenfold: file " + file + " line " + std::to_string(line) + ": " + msg + "\n";
}
inline std::string bare(const std::string& msg) { return "quenfold: " + msg + "\n"; }

// Runs one case and reports every difference.
void check_case(const Case& c);

// Every table, as E2E_TABLE registers it, for tools that run the cases in
// other ways (e2e_cases_json prints them for the WebAssembly build's run).
struct NamedTable {
  const char* group;
  const std::vector<Case>* cases;
};
const std::vector<NamedTable>& tables();
bool register_table(const char* group, const std::vector<Case>& cases);

class Table : public ::testing::TestWithParam<Case> {};

struct CaseName {
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const { return info.param.name; }
};

}  // namespace e2e

// Used inside namespace e2e.
#define E2E_TABLE(group, cases)                                                \
  INSTANTIATE_TEST_SUITE_P(group, Table, ::testing::ValuesIn(cases), CaseName()); \
  [[maybe_unused]] static const bool registered_##group = register_table(#group, cases)
