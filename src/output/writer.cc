#include "output/writer.h"

#include <unistd.h>

#include <cerrno>

#include "base/byte_scan.h"
#include "input/line_reader.h"

namespace quenfold {

void Writer::drain() {
  size_t done = 0;
  if (sink_ != nullptr) {
    sink_->append(buf_, len_);
    done = len_;
  } else if (write_ != nullptr) {
    if (!error_ && write_(context_, 1, buf_, len_) != 0) error_ = true;
    done = len_;
  }
  while (done < len_ && !error_) {
    ssize_t n = write(fd_, buf_ + done, len_ - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      error_ = true;
    }
  }
  len_ = 0;
}

void Writer::put_slow(const char* p, size_t n) {
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
