// find_any: the first byte of a range that is one of a few given bytes,
// sixteen bytes at a time where the processor allows. The line reader, the
// expander and the writer use it to step over plain text; block_hits and
// load_padded are the pieces the expander and the tables read bytes with.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/simd.h"

namespace quenfold {

static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big,
              "bytes are put into words in one of the two usual orders");

// A word that holds bytes of a text holds them little-endian on every host:
// byte i is bits 8i to 8i+7, so that words compare, hash and shift alike
// everywhere. le() turns such a word into the one whose bytes in memory are
// the text's (and back): nothing on a little-endian host, a swap on a
// big-endian one.
constexpr uint64_t le(uint64_t word) {
  if constexpr (std::endian::native == std::endian::big) return __builtin_bswap64(word);
  return word;
}
constexpr uint32_t le(uint32_t word) {
  if constexpr (std::endian::native == std::endian::big) return __builtin_bswap32(word);
  return word;
}

// The eight bytes at `p` as a word (any alignment).
inline uint64_t load_le64(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return le(word);
}
// The four bytes at `p` as a word (any alignment).
inline uint32_t load_le32(const char* p) {
  uint32_t word;
  std::memcpy(&word, p, sizeof word);
  return le(word);
}

// The `n` bytes at `p` (n <= 8) as a word, zero-padded; only those bytes are
// read.
inline uint64_t load_padded(const char* p, size_t n) {
  if (n >= 4) {
    uint64_t low = load_le32(p);
    uint64_t high = load_le32(p + n - 4);
    return low | (high << (8 * (n - 4)));
  }
  if (n == 0) return 0;
  return static_cast<uint64_t>(static_cast<unsigned char>(p[0])) |
         (static_cast<uint64_t>(static_cast<unsigned char>(p[n >> 1])) << (8 * (n >> 1))) |
         (static_cast<uint64_t>(static_cast<unsigned char>(p[n - 1])) << (8 * (n - 1)));
}

#ifdef QUENFOLD_SSE2
// The bytes of `block` that are one of Bytes, one bit each.
template <unsigned char... Bytes>
inline unsigned hits_of(__m128i block) {
  __m128i hits = _mm_setzero_si128();
  ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(Bytes))))), ...);
  return static_cast<unsigned>(_mm_movemask_epi8(hits));
}
// The same for the sixteen bytes at `at`.
template <unsigned char... Bytes>
inline unsigned block_hits(const void* at) {
  return hits_of<Bytes...>(_mm_loadu_si128(static_cast<const __m128i*>(at)));
}
#endif

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
#ifdef QUENFOLD_SSE2
  if (end - p >= 16) {
    while (end - p >= 16) {
      unsigned mask = block_hits<Bytes...>(p);
      if (mask != 0) return p + __builtin_ctz(mask);
      p += 16;
    }
    if (p == end) return end;
    // The last sixteen bytes: those before p were already seen without a
    // hit, so the first hit of the block is the answer.
    const unsigned char* last = end - 16;
    unsigned mask = block_hits<Bytes...>(last);
    return mask != 0 ? last + __builtin_ctz(mask) : end;
  }
  if (end - p >= 8) {
    // Eight to fifteen bytes: the first eight, then the last eight, as above.
    auto hits_in8 = [](const unsigned char* at) {
      return hits_of<Bytes...>(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at))) & 0xFFu;
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
#ifdef QUENFOLD_SSE2
  if (end - p < 16 && end - begin >= 16) {
    const char* last = end - 16;
    unsigned mask = block_hits<Bytes...>(last) >> (p - last);
    return mask != 0 ? p + __builtin_ctz(mask) : end;
  }
#else
  (void)begin;
#endif
  return find_any<Bytes...>(p, end);
}

}  // namespace quenfold
