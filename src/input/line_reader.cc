#include "input/line_reader.h"

#include <cstring>

#include "base/byte_scan.h"

namespace quenfold {

namespace {

struct ByteTables {
  bool escapable[256] = {};
  constexpr ByteTables() {
    for (const char* p = "!\"#$%&'(),@|~"; *p; ++p) escapable[static_cast<unsigned char>(*p)] = true;
  }
};
constexpr ByteTables kTables;

constexpr int kNone = -2;
constexpr int kEnd = -1;

// No trace: what the program itself reads with. Every call is empty and
// every offset it would be given goes unused.
struct NoTrace {
  static constexpr bool kOn = false;
  void stored(uint64_t, size_t) {}
  void comment_begin(uint64_t, size_t) {}
  void comment_end(uint64_t) {}
};

// Fills a LineTrace.
struct TraceTo {
  static constexpr bool kOn = true;
  Reader& reader;
  LineTrace& trace;
  bool open = false;  // a comment is being dropped
  void stored(uint64_t offset, size_t n) {
    for (size_t i = 0; i < n; ++i) trace.source.push_back(offset + i);
  }
  void comment_begin(uint64_t offset, size_t at) {
    trace.comments.push_back({offset, offset, at});
    open = true;
  }
  void comment_end(uint64_t offset) {
    if (open) trace.comments.back().end = offset;
    open = false;
  }
  ~TraceTo() { comment_end(reader.tell()); }  // a comment the end of input ended
};

// The byte-wise rules, from where the line's plain beginning (already in
// `line`) stops.
template <class Trace>
bool read_bytes(Reader& reader, std::string& line, std::string_view* text, uint64_t* line_count, Trace& trace) {
  bool comment = false;
  bool has_nul = false;
  for (;;) {
    // Bulk paths: copy a run of plain bytes, or skip a run of comment text.
    const unsigned char* p = reader.cur();
    const unsigned char* lim = reader.lim();
    if (p != lim) {
      if (comment) {
        reader.advance_to(find_any<'\n', '\\'>(p, lim));
      } else if (!line.empty()) {
        const unsigned char* q = find_any<'\n', '\\', '#', kMarker, 0>(p, lim);
        if (q != p) {
          if constexpr (Trace::kOn) trace.stored(reader.tell(), static_cast<size_t>(q - p));
          line.append(reinterpret_cast<const char*>(p), static_cast<size_t>(q - p));
          reader.advance_to(q);
        }
      }
    }

    int c = reader.get();
    if (c == kEnd) break;
    uint64_t at = 0;  // where c came from, for a trace
    if constexpr (Trace::kOn) at = reader.tell() - 1;
    int pending = kNone;
    bool made_marker = false;
    if (c == '\n') {
      if (line_count) ++*line_count;
    } else if (c == '\\') {
      int next = reader.get();
      if (next == '\n') {
        if (line_count) ++*line_count;
        c = ' ';
        if constexpr (Trace::kOn) trace.comment_end(at);
        comment = false;
      } else if (next != kEnd && kTables.escapable[next]) {
        c = kMarker;
        made_marker = true;
        pending = next + 0x80;
      } else {
        pending = next;  // the backslash stands for itself
      }
    }

    // Handles c, then the pending byte, in the same way.
    for (int pass = 0; pass < 2; ++pass) {
      if (pass == 1) {
        if (pending == kNone) break;
        c = pending;
        made_marker = false;
        if (c == kEnd) goto end_of_input;
        if constexpr (Trace::kOn) at = reader.tell() - 1;
      }
      unsigned char b = static_cast<unsigned char>(c);
      if (b == '\n') {
        if constexpr (Trace::kOn) trace.comment_end(at);
        comment = false;
      }
      if (line.empty() && is_space(b)) continue;
      if (b == '#') {
        if constexpr (Trace::kOn) {
          if (!comment) trace.comment_begin(at, line.size());
        }
        comment = true;
        continue;
      }
      if (b == '\n') {
        size_t n = line.size();
        while (n != 0 && is_space(static_cast<unsigned char>(line[n - 1]))) --n;
        line.resize(n);
        if (has_nul) line.resize(std::strlen(line.c_str()));
        *text = line;
        return true;
      }
      if (comment) continue;
      if (b == kMarker && !made_marker) {
        line.push_back(static_cast<char>(kMarker));  // a raw 0xFF is stored as a pair
        if constexpr (Trace::kOn) trace.stored(at, 1);
      } else if (b == 0) {
        has_nul = true;
      }
      line.push_back(static_cast<char>(b));
      if constexpr (Trace::kOn) trace.stored(at, 1);
    }
  }

end_of_input:
  if (line.empty()) return false;
  if (has_nul) line.resize(std::strlen(line.c_str()));
  *text = line;
  return true;
}

}  // namespace

bool read_line_more(Reader& reader, std::string& storage, std::string_view* text, uint64_t* line_count,
                    bool* plain) {
  if (plain) *plain = false;
  // Most lines hold nothing that needs care: they are handed out where they
  // lie in the reader's buffer, which is made to hold the whole line. A line
  // that does need care keeps what was plain and goes on by the byte-wise
  // rules below.
  size_t scanned = 0;  // bytes of the line already known to be plain
  for (;;) {
    const unsigned char* p = reader.cur();
    const unsigned char* lim = reader.lim();
    if (scanned == 0) {
      // Blank lines and leading white space go first.
      while (p != lim && is_space(*p)) {
        if (*p == '\n' && line_count) ++*line_count;
        ++p;
      }
      reader.advance_to(p);
      if (p == lim) {
        if (!reader.more()) return false;
        continue;
      }
    }
    const unsigned char* q = find_any<'\n', '\\', '#', kMarker, 0>(p + scanned, lim);
    if (q == lim) {
      scanned = static_cast<size_t>(lim - p);
      if (reader.more()) continue;
      // The input ends without a newline: so does the line. Trying to read
      // may have moved the buffered bytes.
      p = reader.cur();
      q = lim = reader.lim();
    } else if (*q != '\n') {
      storage.assign(reinterpret_cast<const char*>(p), static_cast<size_t>(q - p));
      reader.advance_to(q);
      break;
    }
    // A newline ends the line and its trailing white space goes; the end of
    // the input ends it as it is.
    const unsigned char* end = q;
    if (q != lim) {
      while (is_space(end[-1])) --end;  // stops at the plain first byte
      reader.advance_to(q + 1);
      if (line_count) ++*line_count;
    } else {
      reader.advance_to(q);
    }
    *text = std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(end - p));
    if (plain) *plain = true;
    return true;
  }

  NoTrace none;
  return read_bytes(reader, storage, text, line_count, none);
}

bool read_line_traced(Reader& reader, std::string& line, uint64_t* line_count, LineTrace& trace) {
  line.clear();
  trace.source.clear();
  trace.comments.clear();
  trace.begin = reader.tell();
  TraceTo to{reader, trace};
  std::string_view text;
  if (!read_bytes(reader, line, &text, line_count, to)) {
    trace.source.clear();
    return false;
  }
  // The trailing white space and what a NUL byte cut off were stored, then dropped.
  trace.source.resize(text.size());
  line.resize(text.size());
  return true;
}

bool read_line(Reader& reader, std::string& line, uint64_t* line_count, bool* plain) {
  std::string_view text;
  if (!read_line(reader, line, &text, line_count, plain)) {
    line.clear();
    return false;
  }
  if (text.data() != line.data()) line.assign(text);
  return true;
}

}  // namespace quenfold
