// libFuzzer target: the environment-variable word splitter and the option
// scanner. The input is split into NUL-separated pieces: the first is split as
// the variable's text, the rest are command-line words; the two are scanned
// together, and a word list built by split_args is checked for its invariants.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/args.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "fuzz_args: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> pieces(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      pieces.emplace_back();
    } else {
      pieces.back().push_back(static_cast<char>(data[i]));
    }
  }
  if (pieces.size() > 64) pieces.resize(64);

  // Splitting alone: the count matches the list, and the words are readable C
  // strings that together fit in the text they came from.
  {
    quenfold::ArgList args;
    const int n = args.split_args(pieces[0].c_str());
    if (n < 0) fail("split_args reported a memory failure");
    if (n != args.count()) fail("split_args count differs from the list");
    size_t total = 0;
    for (int i = 0; i < args.count(); ++i) total += std::strlen(args.word(i)) + 1;
    if (total > pieces[0].size() + 1) fail("split words longer than their text");
  }

  // Splitting then scanning, with the command-line words ahead of the split
  // ones, the way start-up inserts them.
  quenfold::ArgList args;
  std::vector<const char*> argv = {"quenfold"};
  for (size_t i = 1; i < pieces.size(); ++i) argv.push_back(pieces[i].c_str());
  if (args.insert_args(static_cast<int>(argv.size()) - 1, argv.data() + 1) < 0) {
    fail("insert_args failed");
  }
  if (args.split_args(pieces[0].c_str()) < 0) fail("split_args failed");

  const char* optstrings[] = {"D:i:qv", "ab:c::", ":x", ""};
  const char* optstring = optstrings[size % 4];
  const int limit = 4 * (args.count() + 1) + 4096;
  for (int calls = 0;; ++calls) {
    if (calls > limit) fail("get_option never reported the end");
    const int result = args.get_option(optstring);
    if (result == 0) {
      if (args.option_arg() != nullptr) fail("option_arg set at the end");
      if (args.count() != 0) fail("list not released at the end");
      break;
    }
    if (const char* arg = args.option_arg()) {
      volatile size_t length = std::strlen(arg);  // must be a readable string
      (void)length;
    }
    if (result == -1 && args.option_arg() == nullptr) fail("operand without its word");
  }
  return 0;
}
