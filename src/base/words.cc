#include "base/words.h"

#include "base/chars.h"

namespace quenfold {

SplitWord split_word(std::string_view text) {
  SplitWord cut;
  size_t n = text.size();
  size_t i = 0;
  while (i < n && is_space(static_cast<unsigned char>(text[i]))) ++i;
  while (i < n && !is_space(static_cast<unsigned char>(text[i]))) ++i;
  if (i == n) {
    cut.word = text;
    return cut;
  }
  cut.word = text.substr(0, i);
  ++i;
  while (i < n && is_space(static_cast<unsigned char>(text[i]))) ++i;
  if (i < n) {
    cut.rest = text.substr(i);
    cut.has_rest = true;
  }
  return cut;
}

}  // namespace quenfold
