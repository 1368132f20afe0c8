// find_any: the first byte of a range that is one of a few given bytes,
// sixteen bytes at a time where the processor allows. The line reader, the
// expander and the writer use it to step over plain text.
#pragma once

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quenfold {

// A table of the wanted bytes, for the byte-by-byte path.
template <unsigned char... Bytes>
struct ByteSet {
  bool wanted[256] = {};
  constexpr ByteSet() { ((wanted[Bytes] = true), ...); }
};
template <unsigned char... Bytes>
inline constexpr ByteSet<Bytes...> kByteSet{};

template <unsigned char... Bytes>
inline const unsigned char* find_any(const unsigned char* p, const unsigned char* end) {
#ifdef __SSE2__
  auto hits_in = [](const unsigned char* at) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    __m128i hits = _mm_setzero_si128();
    ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(Bytes))))), ...);
    return static_cast<unsigned>(_mm_movemask_epi8(hits));
  };
  if (end - p >= 16) {
    while (end - p >= 16) {
      unsigned mask = hits_in(p);
      if (mask != 0) return p + __builtin_ctz(mask);
      p += 16;
    }
    if (p == end) return end;
    // The last sixteen bytes: those before p were already seen without a
    // hit, so the first hit of the block is the answer.
    const unsigned char* last = end - 16;
    unsigned mask = hits_in(last);
    return mask != 0 ? last + __builtin_ctz(mask) : end;
  }
  if (end - p >= 8) {
    // Eight to fifteen bytes: the first eight, then the last eight, as above.
    auto hits_in8 = [](const unsigned char* at) {
      __m128i block = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at));
      __m128i hits = _mm_setzero_si128();
      ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(Bytes))))), ...);
      return static_cast<unsigned>(_mm_movemask_epi8(hits)) & 0xFFu;
    };
    unsigned mask = hits_in8(p);
    if (mask != 0) return p + __builtin_ctz(mask);
    const unsigned char* last = end - 8;
    mask = hits_in8(last);
    return mask != 0 ? last + __builtin_ctz(mask) : end;
  }
#endif
  while (p != end && !kByteSet<Bytes...>.wanted[*p]) ++p;
  return p;
}

template <unsigned char... Bytes>
inline const char* find_any(const char* p, const char* end) {
  return reinterpret_cast<const char*>(find_any<Bytes...>(reinterpret_cast<const unsigned char*>(p),
                                                          reinterpret_cast<const unsigned char*>(end)));
}

// find_any for a range [p, end) inside a larger one that begins at `begin`:
// where fewer than sixteen bytes are left, the block that ends at `end` is
// read instead of one byte at a time, when the larger range holds it.
template <unsigned char... Bytes>
inline const char* find_any_within(const char* begin, const char* p, const char* end) {
#ifdef __SSE2__
  if (end - p < 16 && end - begin >= 16) {
    const char* last = end - 16;
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(last));
    __m128i hits = _mm_setzero_si128();
    ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(Bytes))))), ...);
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits)) >> (p - last);
    return mask != 0 ? p + __builtin_ctz(mask) : end;
  }
#else
  (void)begin;
#endif
  return find_any<Bytes...>(p, end);
}

}  // namespace quenfold
