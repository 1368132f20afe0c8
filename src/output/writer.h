// Writer: the buffered output stream, and write_line, which decodes marker
// pairs and "\n" sequences on their way out.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace quenfold {

class Writer {
 public:
  // Writes to `fd`, or appends to `*sink` when it is not null.
  explicit Writer(int fd, std::string* sink = nullptr) : fd_(fd), sink_(sink) {}
  // Hands what is written to `write` as stream 1: 0 when taken, -1 on failure.
  using WriteFn = int (*)(void* context, int stream, const char* data, size_t size);
  Writer(WriteFn write, void* context) : write_(write), context_(context) {}
  // The first of `sink`, `write` and `fd` that is set.
  Writer(int fd, std::string* sink, WriteFn write, void* context)
      : fd_(fd), sink_(sink), write_(sink ? nullptr : write), context_(context) {}
  ~Writer() = default;
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  void put(char c) {
    if (len_ == sizeof buf_) drain();
    buf_[len_++] = c;
  }
  void put(const char* p, size_t n) {
    if (n <= sizeof buf_ - len_) {
      std::memcpy(buf_ + len_, p, n);
      len_ += n;
      return;
    }
    put_slow(p, n);
  }
  void put(std::string_view s) { put(s.data(), s.size()); }

  // Writes out what is buffered; false once any write has failed.
  bool flush();
  // True once a write has failed; it stays set.
  bool error() const { return error_; }

 private:
  void drain();
  void emit(const char* p, size_t n);
  void put_slow(const char* p, size_t n);

  int fd_ = -1;
  std::string* sink_ = nullptr;
  WriteFn write_ = nullptr;
  void* context_ = nullptr;
  bool error_ = false;
  size_t len_ = 0;
  char buf_[64 * 1024];
};

// Writes `text` and a newline: backslash-n becomes a newline, each marker pair
// becomes the character it protects. Returns non-zero when the stream's error
// indicator is set afterwards.
int write_line(Writer& out, std::string_view text);

}  // namespace quenfold
