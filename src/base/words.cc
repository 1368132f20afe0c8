#include "base/words.h"

#include "base/byte_scan.h"
#include "base/chars.h"

namespace quenfold {

SplitWord split_word_slow(std::string_view text) {
  SplitWord cut;
  const unsigned char* begin = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = begin + text.size();
  const unsigned char* p = begin;
  while (p != end && is_space(*p)) ++p;
  p = find_any<' ', '\t', '\n', '\v', '\f', '\r'>(p, end);
  if (p == end) {
    cut.word = text;
    return cut;
  }
  cut.word = text.substr(0, static_cast<size_t>(p - begin));
  ++p;
  while (p != end && is_space(*p)) ++p;
  if (p != end) {
    cut.rest = text.substr(static_cast<size_t>(p - begin));
    cut.has_rest = true;
  }
  return cut;
}

}  // namespace quenfold
