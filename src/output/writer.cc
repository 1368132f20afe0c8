#include "output/writer.h"

#include <unistd.h>

#include <cerrno>

#include "base/byte_scan.h"
#include "input/line_reader.h"

namespace quenfold {

// Hands `n` bytes at `p` to wherever the output goes.
void Writer::emit(const char* p, size_t n) {
  if (n == 0 || limited_) return;
  bool over = limit_ != 0 && n > limit_ - written_;
  if (over) n = limit_ - written_;  // what fits goes out, then the write fails
  written_ += n;
  emit_all(p, n);
  if (over) {
    limited_ = true;
    error_ = true;
  }
}

void Writer::emit_all(const char* p, size_t n) {
  if (n == 0) return;
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
  // Whole blocks go out, so that a pipe is filled a page at a time, and what
  // follows them (complete lines, and the line in progress) moves to the front.
  size_t out = done_ < kGather ? done_ : done_ - done_ % kGather;
  emit(buffer_.data(), out);
  done_ -= out;
  buffer_.drop_front(out);
}

bool Writer::flush() {
  if (done_ != 0) {
    emit(buffer_.data(), done_);
    buffer_.drop_front(done_);
    done_ = 0;
  }
  return !error_;
}

void decode_from(TextBuffer& out, size_t from) {
  char* begin = out.mutable_data();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(begin + from);
  const unsigned char* end = reinterpret_cast<const unsigned char*>(begin + out.size());
  const unsigned char* q = find_any<'\\', kMarker>(p, end);
  if (q == end) return;
  // Nothing grows: each pair or sequence becomes one byte, so the decoded
  // text is written over the text being read.
  unsigned char* w = reinterpret_cast<unsigned char*>(begin) + (q - reinterpret_cast<const unsigned char*>(begin));
  p = q;
  bool marker = false;
  auto emit = [&](unsigned char b) {
    if (marker) {
      marker = false;
      *w++ = b == kMarker ? kMarker : static_cast<unsigned char>(b & 0x7F);
    } else if (b == kMarker) {
      marker = true;
    } else {
      *w++ = b;
    }
  };
  while (p != end) {
    if (!marker) {
      const unsigned char* run = find_any<'\\', kMarker>(p, end);
      if (run != p) {
        std::memmove(w, p, static_cast<size_t>(run - p));
        w += run - p;
        p = run;
      }
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
  // A marker left open takes the line's newline as its partner, which gives
  // the newline itself: the caller's newline follows in either case.
  out.truncate(static_cast<size_t>(reinterpret_cast<char*>(w) - begin));
}

int write_line(Writer& out, std::string_view text) {
  size_t from = out.size();
  out.put(text);
  decode_from(out.text(), from);
  out.put('\n');
  out.end_line();
  return out.error() ? 1 : 0;
}

}  // namespace quenfold
