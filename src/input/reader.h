// Reader: the buffered byte source under every input (files, pipes, sockets,
// standard input, in-memory text). The next-byte path is inline; refilling is
// out of line. Positions can be held: while any is held, everything read since
// the oldest one is kept, so a held position can be returned to even on a
// stream that cannot seek.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quenfold {

class Reader {
 public:
  // Reads `fd`; closes it when the reader is destroyed if `owns_fd`.
  Reader(int fd, bool owns_fd);
  // Reads the bytes of `data`, which must outlive the reader, then reports
  // the end of input.
  explicit Reader(std::string_view data);
  // Pulls bytes from `read`: a count, 0 at the end, or -1 with errno set.
  using ReadFn = long (*)(void* context, char* buffer, size_t size);
  Reader(ReadFn read, void* context);
  ~Reader();
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  // Next byte (0..255), or -1 at the end of input or on a read error. Once the
  // end has been met it stays met, unless a seek leaves the buffered text.
  // error() then tells a failed read from the end.
  int get() {
    if (pos_ < end_) return static_cast<unsigned char>(buf_[pos_++]);
    return fill() ? static_cast<unsigned char>(buf_[pos_++]) : -1;
  }

  // The unread bytes that are already buffered: [cur(), lim()).
  const unsigned char* cur() const { return reinterpret_cast<const unsigned char*>(buf_) + pos_; }
  const unsigned char* lim() const { return reinterpret_cast<const unsigned char*>(buf_) + end_; }
  void advance_to(const unsigned char* p) {
    pos_ = static_cast<size_t>(p - reinterpret_cast<const unsigned char*>(buf_));
  }

  // Reads more bytes after those buffered, keeping the unread ones (which may
  // move). False at the end of input or after a failed read.
  bool more() { return fill(); }

  // Number of bytes consumed since the reader was made.
  uint64_t tell() const { return base_ + pos_; }
  // Returns to `offset`: inside the kept text, or by seeking the descriptor
  // of a regular file. Returns false (and changes nothing) when neither works.
  bool seek(uint64_t offset);
  // Keeps everything from `offset` on until the matching release.
  void hold(uint64_t offset);
  void release(uint64_t offset);

  // The error number of a read that failed, or 0 when the input simply ended.
  int error() const { return error_; }

 private:
  bool fill();  // false at the end of input
  void grow();
  void release_buffer();

  char* buf_ = nullptr;
  size_t cap_ = 0;
  size_t pos_ = 0;  // next byte to hand out
  size_t end_ = 0;  // end of the buffered bytes
  uint64_t base_ = 0;  // stream offset of buf_[0], counted from the start
  int fd_ = -1;
  bool owns_fd_ = false;
  bool owns_buf_ = true;
  ReadFn read_ = nullptr;
  void* context_ = nullptr;
  bool eof_ = false;
  int error_ = 0;
  bool seekable_ = false;
  int64_t origin_ = 0;  // descriptor offset when the reader was made
  std::vector<uint64_t> holds_;
};

}  // namespace quenfold
