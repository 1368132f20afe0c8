#include "mem/mem.h"

#include <gtest/gtest.h>

#include <string>

#include "diag/diag.h"

namespace quenfold {
namespace {

TEST(Mem, CreatesOnNullBuffer) {
  struct Case {
    const char* name;
    MEM* (*make)();
    const char* text;
    size_t length;
    size_t capacity;
  };
  const Case cases[] = {
      {"putc", [] { return MEM_putc(nullptr, 'a'); }, "a", 1, 1024},
      {"extend", [] { return MEM_extend(nullptr, "abc"); }, "abc", 3, 1027},
      {"copy empty", [] { return MEM_copy(nullptr, ""); }, "", 0, 1024},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MEM* m = c.make();
    EXPECT_STREQ(m->text, c.text);
    EXPECT_EQ(m->length, c.length);
    EXPECT_EQ(m->capacity, c.capacity);
    EXPECT_EQ(m->magic, 0u);
    MEM_free(m);
  }
}

TEST(Mem, ExtendKeepsEightSpareBytes) {
  // 1024 - 8 = 1016 characters leave exactly 8 bytes free: no resize.
  MEM* m = MEM_copy(nullptr, "");
  m = MEM_extend(m, std::string(1016, 'x').c_str());
  EXPECT_EQ(m->capacity, 1024u);
  EXPECT_EQ(m->length, 1016u);
  // One more leaves only 7: resize to needed + 1024.
  m = MEM_extend(m, "y");
  EXPECT_EQ(m->capacity, 1017u + 1024u);
  EXPECT_EQ(m->length, 1017u);
  EXPECT_EQ(std::string(m->text), std::string(1016, 'x') + "y");
  MEM_free(m);
}

TEST(Mem, ExtendLongStringOnPutcBuffer) {
  MEM* m = MEM_putc(nullptr, 'a');
  std::string long_text(3000, 'z');
  m = MEM_extend(m, long_text.c_str());
  EXPECT_EQ(m->capacity, 3001u + 1024u);
  EXPECT_EQ(std::string(m->text), "a" + long_text);
  EXPECT_EQ(m->length, 3001u);
  MEM_free(m);
}

TEST(Mem, PutcGrowsBeforeTheLastByte) {
  MEM* m = nullptr;
  for (int i = 0; i < 1023; ++i) m = MEM_putc(m, 'c');
  EXPECT_EQ(m->capacity, 1024u);  // 1023 characters and the terminator fill it
  EXPECT_EQ(m->length, 1023u);
  m = MEM_putc(m, 'd');
  EXPECT_EQ(m->capacity, 1023u + 1024u);
  EXPECT_EQ(m->length, 1024u);
  EXPECT_EQ(m->text[1023], 'd');
  EXPECT_EQ(m->text[1024], '\0');
  MEM_free(m);
}

TEST(Mem, PutcWithStoredZeroBytesNeverOverflows) {
  // Zero bytes end the visible text but length still counts them.
  MEM* m = nullptr;
  for (int i = 0; i < 5000; ++i) m = MEM_putc(m, i % 2 ? 'x' : '\0');
  EXPECT_EQ(m->length, 5000u);
  EXPECT_GT(m->capacity, 5000u);
  EXPECT_EQ(m->text[4999], 'x');
  MEM_free(m);
}

TEST(Mem, CopyReplacesText) {
  MEM* m = MEM_extend(nullptr, "hello");
  m = MEM_copy(m, "hi");
  EXPECT_STREQ(m->text, "hi");
  m = MEM_copy(m, std::string(2000, 'q').c_str());
  EXPECT_EQ(m->capacity, 2000u + 1024u);
  EXPECT_EQ(std::string(m->text), std::string(2000, 'q'));
  MEM_free(m);
}

TEST(Mem, ReallocSetsExactCapacity) {
  MEM* m = MEM_realloc(nullptr, 16);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->capacity, 16u);
  EXPECT_STREQ(m->text, "");
  m = MEM_realloc(m, 4096);
  EXPECT_EQ(m->capacity, 4096u);
  MEM_free(m);
}

TEST(Mem, InvalidMagicStopsWithTheOperationsPrefix) {
  struct Case {
    const char* name;
    void (*op)(MEM*);
    const char* line;
  };
  const Case cases[] = {
      {"putc", [](MEM* m) { MEM_putc(m, 'x'); }, "MEM_putc: Invalid magic number"},
      {"extend", [](MEM* m) { MEM_extend(m, "x"); }, "MEM_extend: Invalid magic number"},
      {"copy", [](MEM* m) { MEM_copy(m, "x"); }, "MEM_copy: Invalid magic number"},
      {"extend resizing", [](MEM* m) { MEM_extend(m, std::string(2000, 'x').c_str()); },
       "MEM_realloc: Invalid magic number"},
      {"realloc", [](MEM* m) { MEM_realloc(m, 10); }, "MEM_realloc: Invalid magic number"},
      {"free", [](MEM* m) { MEM_free(m); }, "MEM_free: Invalid magic number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MEM* m = MEM_copy(nullptr, "abc");
    m->magic = 1;
    try {
      c.op(m);
      ADD_FAILURE() << "no error";
    } catch (const Fatal& f) {
      EXPECT_EQ(f.line(), c.line);
    }
    m->magic = 0;
    MEM_free(m);
  }
}

}  // namespace
}  // namespace quenfold
