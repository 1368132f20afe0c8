// read_line: turns the bytes of an input into logical lines. Joins lines
// continued by a backslash, drops comments, blank lines and surrounding white
// space, counts physical lines, and stores escaped characters as marker pairs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
bool read_line(Reader& reader, std::string& storage, std::string_view* text, uint64_t* line_count,
               bool* plain = nullptr);
// The same, with the line copied into `line` (left empty at the end of input).
bool read_line(Reader& reader, std::string& line, uint64_t* line_count, bool* plain = nullptr);

}  // namespace quenfold
