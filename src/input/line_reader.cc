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

}  // namespace

bool read_line(Reader& reader, std::string& line, uint64_t* line_count, bool* plain) {
  line.clear();
  if (plain) *plain = false;
  bool comment = false;
  bool has_nul = false;

  // Most lines begin with a plain byte and hold nothing that needs care: take
  // them whole. Otherwise what was plain is kept and the byte-wise rules go on.
  const unsigned char* start = reader.cur();
  const unsigned char* lim = reader.lim();
  if (start != lim && !is_space(*start)) {
    const unsigned char* q = find_any<'\n', '\\', '#', kMarker, 0>(start, lim);
    if (q != lim && *q == '\n') {
      const unsigned char* end = q;
      while (is_space(end[-1])) --end;  // stops at the plain first byte
      line.assign(reinterpret_cast<const char*>(start), static_cast<size_t>(end - start));
      reader.advance_to(q + 1);
      if (line_count) ++*line_count;
      if (plain) *plain = true;
      return true;
    }
    line.assign(reinterpret_cast<const char*>(start), static_cast<size_t>(q - start));
    reader.advance_to(q);
  }

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
          line.append(reinterpret_cast<const char*>(p), static_cast<size_t>(q - p));
          reader.advance_to(q);
        }
      }
    }

    int c = reader.get();
    if (c == kEnd) break;
    int pending = kNone;
    bool made_marker = false;
    if (c == '\n') {
      if (line_count) ++*line_count;
    } else if (c == '\\') {
      int next = reader.get();
      if (next == '\n') {
        if (line_count) ++*line_count;
        c = ' ';
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
      }
      unsigned char b = static_cast<unsigned char>(c);
      if (b == '\n') comment = false;
      if (line.empty() && is_space(b)) continue;
      if (b == '#') {
        comment = true;
        continue;
      }
      if (b == '\n') {
        size_t n = line.size();
        while (n != 0 && is_space(static_cast<unsigned char>(line[n - 1]))) --n;
        line.resize(n);
        if (has_nul) line.resize(std::strlen(line.c_str()));
        return true;
      }
      if (comment) continue;
      if (b == kMarker && !made_marker) {
        line.push_back(static_cast<char>(kMarker));  // a raw 0xFF is stored as a pair
      } else if (b == 0) {
        has_nul = true;
      }
      line.push_back(static_cast<char>(b));
    }
  }

end_of_input:
  if (line.empty()) return false;
  if (has_nul) line.resize(std::strlen(line.c_str()));
  return true;
}

}  // namespace quenfold
