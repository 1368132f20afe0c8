// read_line: turns the bytes of an input into logical lines. Joins lines
// continued by a backslash, drops comments, blank lines and surrounding white
// space, counts physical lines, and stores escaped characters as marker pairs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_scan.h"
#include "base/chars.h"
#include "input/reader.h"

namespace quenfold {

// The marker byte that begins a pair. 0xFF never occurs in UTF-8 text.
constexpr unsigned char kMarker = 0xFF;


// Reads the next logical line and points `text` at it: at the bytes in the
// reader's buffer when the line needs no rewriting, else at `storage`, where
// it is rewritten. The view lasts until the next read from this reader.
// Returns false at the end of input. `line_count`, when not null, gains one
// for every newline taken from the input. The line holds no NUL byte: a
// stored NUL ends it. `plain`, when not null, tells whether the line is known
// to hold no backslash and no marker byte, so that writing it decodes nothing.
bool read_line_more(Reader& reader, std::string& storage, std::string_view* text, uint64_t* line_count,
                    bool* plain);
inline bool read_line(Reader& reader, std::string& storage, std::string_view* text, uint64_t* line_count,
                      bool* plain = nullptr) {
  // The usual line, inline: it begins with a plain byte, its newline is
  // already buffered and it holds nothing that needs care.
  const unsigned char* p = reader.cur();
  const unsigned char* lim = reader.lim();
  if (p != lim && !is_space(*p)) {
    const unsigned char* q = find_any<'\n', '\\', '#', kMarker, 0>(p, lim);
    if (q != lim && *q == '\n') {
      const unsigned char* end = q;
      while (is_space(end[-1])) --end;  // stops at the plain first byte
      reader.advance_to(q + 1);
      if (line_count) ++*line_count;
      *text = std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(end - p));
      if (plain) *plain = true;
      return true;
    }
  }
  return read_line_more(reader, storage, text, line_count, plain);
}
// The same, with the line copied into `line` (left empty at the end of input).
bool read_line(Reader& reader, std::string& line, uint64_t* line_count, bool* plain = nullptr);

// Where the bytes of a logical line came from, for tools that point into
// the source (quenfold-check). Offsets count the bytes taken from the reader.
struct LineTrace {
  struct Comment {
    uint64_t begin;  // the '#'
    uint64_t end;    // what ended the comment: its newline, a continuing backslash, or the end of input
    size_t at;       // bytes of the line stored before it
  };
  uint64_t begin = 0;             // the first byte the read took, blank lines included
  std::vector<uint64_t> source;   // source[i]: the byte that gave line[i] (for a marker pair, its backslash and its character)
  std::vector<Comment> comments;  // every comment dropped, those of the blank and comment lines before the line included
};
// read_line by the same rules, telling `trace` where each byte of the line
// came from and which comments were dropped. Slower: not for the program.
bool read_line_traced(Reader& reader, std::string& line, uint64_t* line_count, LineTrace& trace);

}  // namespace quenfold
