#include "output/writer.h"

#include <unistd.h>

#include <cerrno>

#include "base/byte_scan.h"
#include "input/line_reader.h"

namespace quenfold {

// Hands `n` bytes at `p` to wherever the output goes.
void Writer::emit(const char* p, size_t n) {
  if (sink_ != nullptr) {
    sink_->append(p, n);
    return;
  }
  if (write_ != nullptr) {
    if (!error_ && write_(context_, 1, p, n) != 0) error_ = true;
    return;
  }
  size_t done = 0;
  while (done < n && !error_) {
    ssize_t w = write(fd_, p + done, n - done);
    if (w > 0) {
      done += static_cast<size_t>(w);
    } else if (w < 0 && errno == EINTR) {
      continue;
    } else {
      error_ = true;
    }
  }
}

void Writer::drain() {
  emit(buf_, len_);
  len_ = 0;
}

void Writer::put_slow(const char* p, size_t n) {
  // A piece larger than the buffer goes out from where it lies.
  if (n >= sizeof buf_) {
    if (len_ != 0) drain();
    emit(p, n);
    return;
  }
  while (n != 0) {
    if (len_ == sizeof buf_) drain();
    size_t k = sizeof buf_ - len_;
    if (k > n) k = n;
    std::memcpy(buf_ + len_, p, k);
    len_ += k;
    p += k;
    n -= k;
  }
}

bool Writer::flush() {
  if (len_ != 0) drain();
  return !error_;
}

int write_line(Writer& out, std::string_view text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  bool marker = false;
  // Every byte goes out through the marker rule.
  auto emit = [&](unsigned char b) {
    if (marker) {
      marker = false;
      out.put(static_cast<char>(b == kMarker ? kMarker : (b & 0x7F)));
    } else if (b == kMarker) {
      marker = true;
    } else {
      out.put(static_cast<char>(b));
    }
  };
  while (p != end) {
    if (!marker) {
      const unsigned char* q = find_any<'\\', kMarker>(p, end);
      out.put(reinterpret_cast<const char*>(p), static_cast<size_t>(q - p));
      p = q;
      if (p == end) break;
    }
    unsigned char b = *p++;
    if (b != '\\') {
      emit(b);
    } else if (p == end) {
      emit('\\');  // a lone backslash at the end is written as itself
    } else {
      unsigned char next = *p++;
      if (next == 'n') {
        emit('\n');
      } else {
        emit('\\');
        emit(next);
      }
    }
  }
  emit('\n');
  return out.error() ? 1 : 0;
}

}  // namespace quenfold
