#include "driver/dispatch.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "macros/macros.h"

namespace quenfold {
namespace {

struct Known {
  const char* name;
  int code;
};
const Known kKnown[] = {
    {"GETENV", kGetenv}, {"READLINE", kReadline}, {"DEFINE", kDefine},   {"DEFAULT", kDefault},
    {"REDEFINE", kRedefine}, {"EXTEND", kExtend}, {"UNDEF", kUndef},     {"INCLUDE", kInclude},
    {"PRINT", kPrint},   {"SHOW", kShow},         {"CLEAR", kClear},     {"IFDEF", kIfdef},
    {"IFNDEF", kIfndef}, {"QUOTE", kQuote},       {"FOR", kFor},         {"END", kEnd},
    {"ERROR", kError},   {"RETURN", kReturn},     {"ELSE", kElse},       {"ELIFDEF", kElifdef},
    {"ELIFNDEF", kElifndef}, {"ENDIF", kEndif},
};

// The code of `word` found one byte at a time: an '@', then a name of the
// table with only the letters a to z taken as their capitals.
int code_bytewise(const std::string& word) {
  if (word.empty() || word[0] != '@') return kUnknown;
  for (const Known& k : kKnown) {
    std::string name = k.name;
    if (word.size() != name.size() + 1) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) {
      char c = word[i + 1];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      same = c == name[i];
    }
    if (same) return k.code;
  }
  return kUnknown;
}

// Every directive word in random mixes of case, and words near them (a byte
// changed by the case bit, which turns '@' into '`' and 'D' into 'd' but
// also '\x04' into '$'; a byte added, dropped or replaced; high bytes), are
// looked up word-at-a-time as they are byte by byte.
TEST(DirectiveCode, AgreesWithAByteByByteLookup) {
  std::mt19937 random(3);
  for (const Known& k : kKnown) EXPECT_EQ(directive_code(std::string("@") + k.name), k.code) << k.name;
  EXPECT_EQ(directive_code("@readline"), kReadline);
  EXPECT_EQ(directive_code("@uNdEf"), kUndef);
  for (int round = 0; round < 50000; ++round) {
    std::string word = std::string("@") + kKnown[random() % std::size(kKnown)].name;
    for (size_t i = 1; i < word.size(); ++i) {
      if (random() % 2) word[i] = static_cast<char>(word[i] ^ 0x20);
    }
    switch (random() % 6) {
      case 0: {
        size_t at = 1 + random() % (word.size() - 1);
        word[at] = static_cast<char>(word[at] ^ (1u << (random() % 8)));
        break;
      }
      case 1:
        word.insert(word.begin() + static_cast<long>(1 + random() % word.size()), static_cast<char>(random()));
        break;
      case 2:
        word.erase(word.begin() + static_cast<long>(1 + random() % (word.size() - 1)));
        break;
      case 3:
        word.push_back('\0');
        break;
      default:
        break;  // the word itself, in some mix of case
    }
    ASSERT_EQ(directive_code(word), code_bytewise(word)) << word;
  }
}

}  // namespace
}  // namespace quenfold
