#include "mem/mem.h"

#include <cstdlib>
#include <cstring>

#include "diag/diag.h"

namespace quenfold {

namespace {

void check_magic(const MEM* buffer, const char* prefix) {
  if (buffer->magic != 0) die_prefixed(prefix, "Invalid magic number");
}

MEM* create(size_t capacity, const char* prefix) {
  MEM* buffer = static_cast<MEM*>(std::malloc(sizeof(MEM)));
  char* text = static_cast<char*>(std::calloc(capacity ? capacity : 1, 1));
  if (buffer == nullptr || text == nullptr) {
    std::free(buffer);
    std::free(text);
    die_prefixed(prefix, "Out of memory");
  }
  buffer->magic = 0;
  buffer->capacity = capacity;
  buffer->length = 0;
  buffer->text = text;
  return buffer;
}

void resize(MEM* buffer, size_t size) {
  check_magic(buffer, "MEM_realloc: ");
  char* text = static_cast<char*>(std::realloc(buffer->text, size ? size : 1));
  if (text == nullptr) die_prefixed("MEM_realloc: ", "Out of memory");
  buffer->text = text;
  buffer->capacity = size;
}

// Grows the text to needed + 1024 bytes when fewer than 8 spare bytes would remain.
void grow_for(MEM* buffer, size_t needed) {
  if (needed + 8 > buffer->capacity) resize(buffer, needed + 1024);
}

}  // namespace

MEM* MEM_realloc(MEM* buffer, size_t size) {
  if (buffer == nullptr) {
    MEM* created = static_cast<MEM*>(std::malloc(sizeof(MEM)));
    if (created == nullptr) return nullptr;
    created->text = static_cast<char*>(std::calloc(size ? size : 1, 1));
    if (created->text == nullptr) {
      std::free(created);
      return nullptr;
    }
    created->magic = 0;
    created->capacity = size;
    created->length = 0;
    return created;
  }
  resize(buffer, size);
  return buffer;
}

MEM* MEM_copy(MEM* buffer, const char* string) {
  size_t needed = std::strlen(string);
  if (buffer == nullptr) {
    buffer = create(needed + 1024, "MEM_copy: ");
  } else {
    grow_for(buffer, needed);
  }
  check_magic(buffer, "MEM_copy: ");
  std::memcpy(buffer->text, string, needed + 1);
  return buffer;
}

MEM* MEM_extend(MEM* buffer, const char* string) {
  size_t added = std::strlen(string);
  size_t needed;
  if (buffer == nullptr) {
    needed = added;
    buffer = create(needed + 1024, "MEM_extend: ");
  } else {
    needed = std::strlen(buffer->text) + added;
    grow_for(buffer, needed);
  }
  check_magic(buffer, "MEM_extend: ");
  size_t old = needed - added;
  std::memcpy(buffer->text + old, string, added + 1);
  buffer->length = needed;
  return buffer;
}

MEM* MEM_putc(MEM* buffer, int character) {
  if (buffer == nullptr) buffer = create(1024, "MEM_putc: ");
  check_magic(buffer, "MEM_putc: ");
  // The character and a terminator must both fit. The step is measured from
  // length rather than from the visible text, so stored zero bytes never
  // leave the buffer too small.
  if (buffer->length + 1 >= buffer->capacity) resize(buffer, buffer->length + 1024);
  buffer->text[buffer->length] = static_cast<char>(character);
  buffer->length += 1;
  buffer->text[buffer->length] = '\0';
  return buffer;
}

void MEM_free(MEM* buffer) {
  if (buffer == nullptr) return;
  check_magic(buffer, "MEM_free: ");
  std::free(buffer->text);
  std::free(buffer);
}

}  // namespace quenfold
