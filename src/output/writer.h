// Writer: the buffered output stream, and write_line, which decodes marker
// pairs and "\n" sequences on their way out. Lines are built in the writer's
// own buffer (expansion appends to it directly) and go out only once they
// are complete, so a line whose expansion fails is never written.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/text_buffer.h"

namespace quenfold {

class Writer {
 public:
  // Writes to `fd`, or appends to `*sink` when it is not null.
  explicit Writer(int fd, std::string* sink = nullptr) : Writer(fd, sink, nullptr, nullptr) {}
  // Hands what is written to `write` as stream 1: 0 when taken, -1 on failure.
  using WriteFn = int (*)(void* context, int stream, const char* data, size_t size);
  Writer(WriteFn write, void* context) : Writer(-1, nullptr, write, context) {}
  // The first of `sink`, `write` and `fd` that is set.
  Writer(int fd, std::string* sink, WriteFn write, void* context)
      : fd_(fd), sink_(sink), write_(sink ? nullptr : write), context_(context) {
    buffer_.reserve(kRoom);
  }
  ~Writer() = default;
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Append to the line in progress.
  void put(char c) { buffer_.push_back(c); }
  void put(const char* p, size_t n) { buffer_.append(p, n); }
  void put(std::string_view s) { buffer_.append(s); }
  // The buffer itself, for expansion to append to; what follows the last
  // complete line is the line in progress.
  TextBuffer& text() { return buffer_; }
  size_t size() const { return buffer_.size(); }

  // Everything put so far is complete lines; they go out once enough has
  // gathered.
  void end_line() {
    done_ = buffer_.size();
    if (done_ >= kGather) drain();
  }
  // Writes `text` and a newline as a complete line, as it is. A long line
  // goes out from where it lies.
  void put_line(std::string_view text) {
    if (text.size() >= kGather && buffer_.size() == done_) {
      drain();
      emit(text.data(), text.size());
      emit("\n", 1);
      return;
    }
    buffer_.append(text);
    buffer_.push_back('\n');
    end_line();
  }

  // Writes out the complete lines; false once any write has failed.
  bool flush();
  // True once a write has failed; it stays set.
  bool error() const { return error_; }

  // At most `max` bytes go out (0: no limit): the write that would pass it
  // puts out what fits and fails, and nothing goes out after it.
  void set_limit(size_t max) { limit_ = max; }
  // True when the failed write was the limit's.
  bool limited() const { return limited_; }

 private:
  static constexpr size_t kGather = 64 * 1024;
  // A block and the line that crosses its end, unless that line is long.
  static constexpr size_t kRoom = kGather + 4096;

  void drain();
  void emit(const char* p, size_t n);
  void emit_all(const char* p, size_t n);

  int fd_ = -1;
  std::string* sink_ = nullptr;
  WriteFn write_ = nullptr;
  void* context_ = nullptr;
  bool error_ = false;
  bool limited_ = false;
  size_t limit_ = 0;
  size_t written_ = 0;  // bytes handed out
  TextBuffer buffer_;
  size_t done_ = 0;  // bytes of buffer_ that are complete lines
};

// Decodes the text of `out` from `from` on in place: backslash-n becomes a
// newline, each marker pair becomes the character it protects.
void decode_from(TextBuffer& out, size_t from);

// Writes `text` and a newline, decoded as decode_from does. Returns non-zero
// when the stream's error indicator is set afterwards.
int write_line(Writer& out, std::string_view text);

}  // namespace quenfold
