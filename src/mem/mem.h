// MEM: a growable, always-terminated text buffer built one character or one
// string at a time. Each operation accepts a null buffer and then creates one.
// Growth keeps at least 8 spare bytes and steps by the needed size plus 1024.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quenfold {

struct MEM {
  uint64_t magic;   // always zero; checked before the text is touched
  size_t capacity;  // bytes allocated for text
  size_t length;    // where MEM_putc stores the next character
  char* text;       // capacity bytes, always holding a terminated string
};

// The text becomes a copy of `string`.
MEM* MEM_copy(MEM* buffer, const char* string);
// Appends `string`; length becomes the length of the whole text.
MEM* MEM_extend(MEM* buffer, const char* string);
// Stores `character` at position length and terminates after it.
MEM* MEM_putc(MEM* buffer, int character);
// Sets the capacity to exactly `size` bytes (creates a buffer when null).
MEM* MEM_realloc(MEM* buffer, size_t size);
// Releases the text and the record.
void MEM_free(MEM* buffer);

}  // namespace quenfold
