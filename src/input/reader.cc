#include "input/reader.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/huge_pages.h"

namespace quenfold {

namespace {
constexpr size_t kFirstBlock = 64 * 1024;
}

Reader::Reader(int fd, bool owns_fd) : fd_(fd), owns_fd_(owns_fd) {
  struct stat st;
  if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    off_t at = lseek(fd, 0, SEEK_CUR);
    if (at >= 0) {
      seekable_ = true;
      origin_ = at;
    }
  }
}

Reader::Reader(std::string_view data) : owns_buf_(false), eof_(true) {
  // Only read, never written: the bytes are used where they lie.
  buf_ = const_cast<char*>(data.data());
  cap_ = end_ = data.size();
}

Reader::Reader(ReadFn read, void* context) : read_(read), context_(context) {}

Reader::~Reader() {
  if (owns_buf_) release_buffer();
  if (owns_fd_ && fd_ >= 0) close(fd_);
}

bool Reader::fill() {
  if (eof_) return false;
  // Drop what no held position needs any more.
  uint64_t keep = tell();
  for (uint64_t h : holds_) keep = std::min(keep, h);
  if (keep < base_) keep = base_;
  size_t drop = static_cast<size_t>(keep - base_);
  if (drop != 0) {
    std::memmove(buf_, buf_ + drop, end_ - drop);
    end_ -= drop;
    pos_ -= drop;
    base_ = keep;
  }
  if (end_ == cap_) grow();
  for (;;) {
    errno = 0;
    ssize_t n = read_ != nullptr ? read_(context_, buf_ + end_, cap_ - end_) : read(fd_, buf_ + end_, cap_ - end_);
    if (n > static_cast<ssize_t>(cap_ - end_)) n = -1;  // a reader that overran its room
    if (n < 0 && errno == 0) errno = EIO;
    if (n > 0) {
      end_ += static_cast<size_t>(n);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && read_ == nullptr && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A descriptor left non-blocking by whoever started us: wait for data.
      pollfd ready = {fd_, POLLIN, 0};
      if (poll(&ready, 1, -1) >= 0 || errno == EINTR) continue;
    }
    if (n < 0) error_ = errno;  // the input ends here, and says why
    eof_ = true;
    return false;
  }
}

// A line longer than the buffer doubles it. From kHugePage on, the buffer is
// a block of huge pages: a line of many megabytes is read with one page fault
// every 2 MiB rather than every 4 KiB, and its pages move to each larger
// block without being copied.
void Reader::grow() {
  size_t cap = cap_ == 0 ? kFirstBlock : cap_ * 2;
  if (cap < kHugePage) {
    char* grown = static_cast<char*>(std::realloc(buf_, cap));
    if (grown == nullptr) throw std::bad_alloc();
    buf_ = grown;
  } else if (cap_ < kHugePage) {
    char* grown = static_cast<char*>(huge_alloc(cap));
    std::memcpy(grown, buf_, end_);
    std::free(buf_);
    buf_ = grown;
  } else {
    buf_ = static_cast<char*>(huge_grow(buf_, cap_, cap));
  }
  cap_ = cap;
}

void Reader::release_buffer() {
  if (cap_ < kHugePage) {
    std::free(buf_);
  } else {
    huge_free(buf_, cap_);
  }
}

bool Reader::seek(uint64_t offset) {
  if (offset >= base_ && offset - base_ <= end_) {
    pos_ = static_cast<size_t>(offset - base_);
    return true;
  }
  if (!seekable_) return false;
  if (lseek(fd_, static_cast<off_t>(origin_ + static_cast<int64_t>(offset)), SEEK_SET) < 0) {
    return false;
  }
  base_ = offset;
  pos_ = end_ = 0;
  eof_ = false;
  return true;
}

void Reader::hold(uint64_t offset) { holds_.push_back(offset); }

void Reader::release(uint64_t offset) {
  auto it = std::find(holds_.begin(), holds_.end(), offset);
  if (it != holds_.end()) holds_.erase(it);
}

}  // namespace quenfold
