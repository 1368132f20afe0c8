// TextBuffer: the growable byte buffer that expansion builds its results in.
// Appends are inline and short ones copy without a call; the buffer grows by
// doubling, and keeps its room when cleared so that one buffer serves many
// lines.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace quenfold {

// Copies `n` bytes, sizeof(Word) <= n <= 2 * sizeof(Word), as a first and a
// last word that may overlap.
template <typename Word>
inline void copy_ends(char* to, const char* from, size_t n) {
  Word first, last;
  std::memcpy(&first, from, sizeof first);
  std::memcpy(&last, from + n - sizeof last, sizeof last);
  std::memcpy(to, &first, sizeof first);
  std::memcpy(to + n - sizeof last, &last, sizeof last);
}

// Copies `n` bytes that do not overlap. Short copies, the usual case in
// expansion, are a few overlapping moves instead of a call.
inline void copy_bytes(char* to, const char* from, size_t n) {
  if (n > 16) {
    std::memcpy(to, from, n);
  } else if (n >= 8) {
    copy_ends<uint64_t>(to, from, n);
  } else if (n >= 4) {
    copy_ends<uint32_t>(to, from, n);
  } else if (n != 0) {
    to[0] = from[0];
    to[n >> 1] = from[n >> 1];
    to[n - 1] = from[n - 1];
  }
}

class TextBuffer {
 public:
  TextBuffer() = default;
  ~TextBuffer() {
    if (data_ != nullptr) std::free(data_);
  }
  TextBuffer(TextBuffer&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        cap_(std::exchange(other.cap_, 0)) {}
  TextBuffer& operator=(TextBuffer&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(cap_, other.cap_);
    return *this;
  }
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  void append(const char* p, size_t n) {
    if (cap_ - size_ < n || data_ == nullptr) grow(n);
    copy_bytes(data_ + size_, p, n);
    size_ += n;
  }
  void append(std::string_view s) { append(s.data(), s.size()); }
  void push_back(char c) {
    if (cap_ == size_) grow(1);
    data_[size_++] = c;
  }
  // Writing in place: room(n) makes room for `n` more bytes and returns
  // where they go; commit(n) then takes the `n` bytes written there.
  char* room(size_t n) {
    if (cap_ - size_ < n || data_ == nullptr) grow(n);
    return data_ + size_;
  }
  void commit(size_t n) { size_ += n; }
  void clear() { size_ = 0; }
  // Makes room for `n` bytes in all.
  void reserve(size_t n) {
    if (n > cap_) grow(n - size_);
  }
  // Cuts the text to `n` bytes (n <= size()).
  void truncate(size_t n) { size_ = n; }
  // Removes the first `n` bytes (n <= size()); the rest moves to the front.
  void drop_front(size_t n) {
    if (data_ == nullptr || n == 0) return;
    if (n < size_) std::memmove(data_, data_ + n, size_ - n);
    size_ -= n;
  }

  const char* data() const { return data_ != nullptr ? data_ : ""; }
  char* mutable_data() { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::string_view view() const { return {data(), size_}; }
  operator std::string_view() const { return view(); }
  std::string str() const { return std::string(view()); }
  // The text followed by a NUL byte, for C library calls.
  const char* c_str() {
    push_back('\0');
    --size_;
    return data_;
  }

 private:
  void grow(size_t room) {
    size_t cap = cap_ < 256 ? 256 : cap_;
    if (cap_ == 0 && room > cap) cap = room;  // a first size asked for is taken as it is
    while (cap - size_ < room) {
      if (cap > SIZE_MAX / 2) throw std::bad_alloc();
      cap *= 2;
    }
    char* grown = static_cast<char*>(std::realloc(data_, cap));
    if (grown == nullptr) throw std::bad_alloc();
    data_ = grown;
    cap_ = cap;
  }

  char* data_ = nullptr;
  size_t size_ = 0;
  size_t cap_ = 0;
};

}  // namespace quenfold
