// Huge pages for large tables: blocks of 2 MiB and more, aligned to 2 MiB and
// marked for the system's huge pages where it has them. Reads scattered over
// such a block miss the address cache far less, and each 2 MiB is one page
// fault rather than 512. Smaller requests, and systems without huge pages,
// get ordinary memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#if defined(__linux__) && !defined(__EMSCRIPTEN__) && !defined(QUENFOLD_PORTABLE)
#include <sys/mman.h>
#endif

namespace quenfold {

constexpr size_t kHugePage = size_t{2} << 20;

// QUENFOLD_PORTABLE builds the plain allocator of other systems.
#if defined(__linux__) && !defined(__EMSCRIPTEN__) && defined(MADV_HUGEPAGE) && !defined(QUENFOLD_PORTABLE)

// `bytes` rounded up to whole huge pages.
inline size_t huge_size(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

// A block of huge_size(bytes) bytes aligned to kHugePage.
// Throws std::bad_alloc when the system has no room.
inline void* huge_alloc(size_t bytes) {
  size_t size = huge_size(bytes);
  void* mapped = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  // Keep the aligned part; what lies before and after it goes back.
  char* start = static_cast<char*>(mapped);
  char* aligned = start + (kHugePage - reinterpret_cast<uintptr_t>(start) % kHugePage) % kHugePage;
  if (aligned != start) munmap(start, static_cast<size_t>(aligned - start));
  size_t after = static_cast<size_t>(start + size + kHugePage - (aligned + size));
  if (after != 0) munmap(aligned + size, after);
  madvise(aligned, size, MADV_HUGEPAGE);  // advice only: ordinary pages if refused
  return aligned;
}

// Returns a block from huge_alloc(bytes).
inline void huge_free(void* block, size_t bytes) {
  if (block != nullptr) munmap(block, huge_size(bytes));
}

// A block of `new_bytes` that begins with the `old_bytes` of `block` (from
// huge_alloc), which goes. The pages move to the new block as they are,
// without their bytes being copied, where the system allows it.
inline void* huge_grow(void* block, size_t old_bytes, size_t new_bytes) {
  void* grown = huge_alloc(new_bytes);
  size_t old_size = huge_size(old_bytes);
  if (mremap(block, old_size, old_size, MREMAP_MAYMOVE | MREMAP_FIXED, grown) == MAP_FAILED) {
    std::memcpy(grown, block, old_bytes);
    munmap(block, old_size);
  }
  return grown;
}

#else

inline size_t huge_size(size_t bytes) { return bytes; }
inline void* huge_alloc(size_t bytes) { return ::operator new(bytes); }
inline void huge_free(void* block, size_t) { ::operator delete(block); }
inline void* huge_grow(void* block, size_t old_bytes, size_t new_bytes) {
  void* grown = huge_alloc(new_bytes);
  std::memcpy(grown, block, old_bytes);
  huge_free(block, old_bytes);
  return grown;
}

#endif

// An allocator for containers that may grow large: requests of a huge page
// or more come from huge_alloc.
template <class T>
struct HugeAllocator {
  using value_type = T;
  HugeAllocator() = default;
  template <class U>
  explicit HugeAllocator(const HugeAllocator<U>&) {}
  T* allocate(size_t n) {
    if (n * sizeof(T) < kHugePage) return std::allocator<T>().allocate(n);
    return static_cast<T*>(huge_alloc(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) {
    if (n * sizeof(T) < kHugePage) {
      std::allocator<T>().deallocate(p, n);
    } else {
      huge_free(p, n * sizeof(T));
    }
  }
  bool operator==(const HugeAllocator&) const { return true; }
};

}  // namespace quenfold
