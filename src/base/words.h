// split_word: the one way a directive line or argument is cut into its first
// word and the rest.
#pragma once

#include <cstring>
#include <string_view>

#include "base/chars.h"
#include "base/simd.h"

namespace quenfold {

// A text cut into its first word and the rest.
struct SplitWord {
  std::string_view word;  // from the very first character, leading white space included
  std::string_view rest;  // begins with a non-white-space character
  bool has_rest = false;
};
SplitWord split_word_slow(std::string_view text);

#ifdef QUENFOLD_SSE2
// The white-space bytes (blank, \t to \r) of a block as a mask.
inline unsigned space_mask(__m128i block) {
  __m128i from_tab = _mm_sub_epi8(block, _mm_set1_epi8('\t'));
  __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(from_tab, _mm_set1_epi8('\r' - '\t')), from_tab);
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(control, _mm_cmpeq_epi8(block, _mm_set1_epi8(' ')))));
}
#endif

// The usual text, a word and its rest within its first sixteen bytes, is cut
// here with one look at them (two overlapping ones for 8 to 15 bytes).
inline SplitWord split_word(std::string_view text) {
#ifdef QUENFOLD_SSE2
  size_t n = text.size();
  if (n >= 4) {
    const char* p = text.data();
    unsigned spaces;
    unsigned seen;  // the bytes looked at
    if (n >= 16) {
      spaces = space_mask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
      seen = 0xFFFFu;
    } else if (n >= 8) {
      unsigned low = space_mask(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))) & 0xFFu;
      unsigned high = space_mask(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + n - 8))) & 0xFFu;
      spaces = low | (high << (n - 8));
      seen = (1u << n) - 1;
    } else {
      int first, last;
      std::memcpy(&first, p, 4);
      std::memcpy(&last, p + n - 4, 4);
      unsigned low = space_mask(_mm_cvtsi32_si128(first)) & 0xFu;
      unsigned high = space_mask(_mm_cvtsi32_si128(last)) & 0xFu;
      spaces = low | (high << (n - 4));
      seen = (1u << n) - 1;
    }
    // Not for a text that begins with white space, nor one whose word or
    // gap runs past what was looked at.
    unsigned after_word = spaces & ~(spaces - 1);  // the first white-space byte, alone
    unsigned rest = ~spaces & seen & ~(after_word - 1) & ~after_word;
    if ((spaces & 1u) == 0) {
      SplitWord cut;
      if (rest != 0) {
        cut.word = std::string_view(p, static_cast<size_t>(__builtin_ctz(after_word)));
        size_t from = static_cast<size_t>(__builtin_ctz(rest));
        cut.rest = std::string_view(p + from, n - from);
        cut.has_rest = true;
        return cut;
      }
      if (n <= 16) {  // one word, perhaps with white space after it
        cut.word = after_word != 0 ? std::string_view(p, static_cast<size_t>(__builtin_ctz(after_word))) : text;
        return cut;
      }
    }
  }
  if (n != 0 && n < 4 && !is_space(text[0]) && !is_space(text[n >> 1]) && !is_space(text[n - 1])) {
    SplitWord cut;  // one short word
    cut.word = text;
    return cut;
  }
#endif
  return split_word_slow(text);
}

}  // namespace quenfold
