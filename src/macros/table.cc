#include "macros/table.h"

#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "base/byte_scan.h"
#include "base/text_buffer.h"

namespace quenfold {

namespace {

struct Row {
  const char* name;
  const char* value;
};

// Computed rows (process id, date, time, user, line) start empty or "0"; the
// start-up code fills them.
constexpr Row kRows[kPredefinedCount] = {
    {"__PID__", "0"},
    {"__DATE__", ""},
    {"__TIME__", ""},
    {"__USER__", ""},
    {"__LINE__", "0"},
    {"__FILE__", "stdin"},
    {"__OFILE__", "stdout"},
    {"__INCLUDE__", "/usr/package"},
    {"__V_MAJOR__", "3"},
    {"__V_MINOR__", "2"},
    {"__UNIX__", "UNIX version of quenfold"},
    {"__OS__", "UNIX"},
};

constexpr size_t kFirstBuckets = 64;
constexpr size_t kStorageChunk = 64 * 1024;
// Values from this length on get a block of their own.
constexpr size_t kHeapValueLength = 4096;

// Where empty names and values point.
constexpr char kEmpty[1] = "";

// A heap value is preceded by the size of its block.
inline size_t& heap_capacity(const char* value) {
  return *reinterpret_cast<size_t*>(const_cast<char*>(value) - sizeof(size_t));
}
char* heap_block(size_t capacity) {
  void* block = std::malloc(sizeof(size_t) + capacity);
  if (block == nullptr) throw std::bad_alloc();
  char* value = static_cast<char*>(block) + sizeof(size_t);
  heap_capacity(value) = capacity;
  return value;
}
char* heap_grow(const char* value, size_t capacity) {
  void* block = std::realloc(const_cast<char*>(value) - sizeof(size_t), sizeof(size_t) + capacity);
  if (block == nullptr) throw std::bad_alloc();
  char* grown = static_cast<char*>(block) + sizeof(size_t);
  heap_capacity(grown) = capacity;
  return grown;
}
void heap_free(const char* value) { std::free(const_cast<char*>(value) - sizeof(size_t)); }

inline bool holds(std::string_view text, char c) {
  return !text.empty() && std::memchr(text.data(), c, text.size()) != nullptr;
}

// Whether writing `text` may have something to decode.
bool may_escape(std::string_view text) {
  const char* end = text.data() + text.size();
  return find_any<'\\', 0xFF>(text.data(), end) != end;
}

}  // namespace

// The value flags of a short value, from its bytes zero-padded to a block.
uint16_t MacroTable::block_flags(const char* bytes) {
#ifdef QUENFOLD_SSE2
  __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  unsigned dollar = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8('$'))));
  unsigned escape = static_cast<unsigned>(_mm_movemask_epi8(
      _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('\\')), _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(0xFF))))));
  return static_cast<uint16_t>((dollar != 0 ? kHasReference : 0) | (escape != 0 ? kHasEscape : 0));
#else
  std::string_view text(bytes, kInlineValueLength);
  return static_cast<uint16_t>((holds(text, '$') ? kHasReference : 0) | (may_escape(text) ? kHasEscape : 0));
#endif
}

MacroTable::MacroTable() : buckets_(kFirstBuckets, Bucket{0, kNoMacro}), mask_(kFirstBuckets - 1) {
  for (MacroId row = 0; row < kPredefinedCount; ++row) {
    uint16_t flags = row == kRowLine ? kFixedValue : 0;
    MacroId id = new_entry(kRows[row].name, kRows[row].value, flags);
    insert_bucket(hash(kRows[row].name), id);
  }
}

MacroTable::~MacroTable() {
  for (MacroId id = 0; id < count_; ++id) {
    const Entry& e = at(id);
    if ((e.flags & (kRemoved | kHeapValue)) == kHeapValue) heap_free(e.value);
  }
  drop_chunks(0);
}

void MacroTable::add_chunk() {
  static_assert(std::is_trivially_destructible_v<EntryChunk>, "chunks are dropped without destroying entries");
  // Room first, so that nothing is lost when there is none.
  if (entry_chunks_.size() == entry_chunks_.capacity()) entry_chunks_.reserve(2 * entry_chunks_.size() + 16);
  size_t index = entry_chunks_.size();
  if (index < kSmallChunks) {
    entry_chunks_.push_back(new EntryChunk);
    return;
  }
  size_t arena = (index - kSmallChunks) / kChunksPerArena;
  if (arena == entry_arenas_.size()) {
    entry_arenas_.reserve(arena + 1);
    entry_arenas_.push_back(huge_alloc(kHugePage));
  }
  char* at = static_cast<char*>(entry_arenas_[arena]) + (index - kSmallChunks) % kChunksPerArena * kChunkBytes;
  EntryChunk* chunk = reinterpret_cast<EntryChunk*>(at);
  std::uninitialized_default_construct_n(chunk, 1);
  entry_chunks_.push_back(chunk);
}

void MacroTable::drop_chunks(size_t keep) {
  if (keep >= entry_chunks_.size()) return;
  for (size_t i = keep; i < entry_chunks_.size() && i < kSmallChunks; ++i) delete entry_chunks_[i];
  entry_chunks_.resize(keep);
  size_t arenas = keep <= kSmallChunks ? 0 : (keep - kSmallChunks + kChunksPerArena - 1) / kChunksPerArena;
  for (size_t a = arenas; a < entry_arenas_.size(); ++a) huge_free(entry_arenas_[a], kHugePage);
  entry_arenas_.resize(arenas);
}

uint32_t MacroTable::hash_long(std::string_view s) {
  const char* p = s.data();
  size_t n = s.size();
  uint64_t h = 0x9e3779b97f4a7c15ULL * (n + 1);
  while (n > 8) {
    h = (h ^ load_le64(p)) * 0x9fb21c651e98df25ULL;
    h ^= h >> 29;
    p += 8;
    n -= 8;
  }
  h = (h ^ load_le64(p + n - 8)) * 0x9e3779b97f4a7c15ULL;  // the last eight bytes, overlapping
  return static_cast<uint32_t>(__builtin_bswap64(h));  // the best-mixed byte picks the bucket
}

char* MacroTable::store(const char* bytes, size_t n) {
  if (n == 0) return const_cast<char*>(kEmpty);
  char* out;
  if (n > kStorageChunk / 4) {
    // A block of its own, kept before the chunk being filled.
    auto at = chunks_.insert(chunks_.empty() ? chunks_.end() : chunks_.end() - 1,
                             Chunk{std::unique_ptr<char[]>(new char[n]), n, n});
    out = at->bytes.get();
  } else {
    if (chunks_.empty() || chunks_.back().size - chunks_.back().used < n) {
      chunks_.push_back(Chunk{std::unique_ptr<char[]>(new char[kStorageChunk]), kStorageChunk, 0});
    }
    Chunk& chunk = chunks_.back();
    out = chunk.bytes.get() + chunk.used;
    chunk.used += n;
  }
  copy_bytes(out, bytes, n);
  stored_ += n;
  return out;
}

const char* MacroTable::store_name(std::string_view name) {
  if (name.size() < kLongName) return store(name.data(), name.size());
  std::string prefixed(sizeof(uint64_t) + name.size(), '\0');
  uint64_t n = name.size();
  std::memcpy(prefixed.data(), &n, sizeof n);
  std::memcpy(prefixed.data() + sizeof n, name.data(), name.size());
  return store(prefixed.data(), prefixed.size()) + sizeof n;
}

void MacroTable::maybe_compact_storage() {
  // Copy what is still used once the garbage outweighs it, so that storage
  // stays in proportion to the live names and values.
  if (garbage_ <= stored_ - garbage_ + 4 * kStorageChunk) return;
  std::vector<Chunk> old;
  old.swap(chunks_);
  stored_ = 0;
  garbage_ = 0;
  for (MacroId id = 0; id < count_; ++id) {
    Entry& e = at(id);
    if (e.flags & kRemoved) continue;
    if (e.name_len > kShortName) {
      const char* from = stored_name(e);
      e.name = store(from, stored_name_bytes(e)) + (e.name - from);
    }
    if ((e.flags & (kHeapValue | kFixedValue | kInlineValue)) == 0) {
      e.value = store(e.value, length_of(e, id));
    }
  }
}

void MacroTable::set_length(Entry& e, MacroId id, size_t length) {
  if (e.value_len == kLongLength) long_lengths_.erase(id);
  if (length >= kLongLength) {
    e.value_len = kLongLength;
    long_lengths_[id] = length;
  } else {
    e.value_len = static_cast<uint32_t>(length);
  }
}

__attribute__((always_inline)) inline void MacroTable::store_value(Entry& e, MacroId id, std::string_view text) {
  forget_pieces(id);
  uint16_t flags = 0;
  if (text.size() <= kInlineValueLength) {
    // Copied first (the text may be the entry's own inline value), then
    // looked at in the zero-padded copy with one block compare.
    char bytes[kInlineValueLength] = {};
    copy_bytes(bytes, text.data(), text.size());
    flags = kInlineValue | block_flags(bytes);
    std::memcpy(e.bytes, bytes, kInlineValueLength);
  } else {
    const char* end = text.data() + text.size();
    const char* at = find_any<'$', '\\', 0xFF>(text.data(), end);
    if (at != end) {  // one look for the usual value, which holds none of them
      if (*at == '$' || find_any<'$'>(at, end) != end) flags |= kHasReference;
      if (*at != '$' || may_escape(std::string_view(at, static_cast<size_t>(end - at)))) flags |= kHasEscape;
    }
    if (text.size() >= kHeapValueLength) {
      char* block = heap_block(text.size());
      std::memcpy(block, text.data(), text.size());
      e.value = block;
      flags |= kHeapValue;
    } else {
      e.value = store(text.data(), text.size());
    }
  }
  e.flags |= flags;
  set_length(e, id, text.size());
}

void MacroTable::release_value(Entry& e, MacroId id) {
  forget_pieces(id);
  size_t length = length_of(e, id);
  if (e.flags & kHeapValue) {
    heap_free(e.value);
  } else if ((e.flags & (kFixedValue | kInlineValue)) == 0) {
    release(length);
  }
  set_length(e, id, 0);
  e.value = kEmpty;
  e.flags &= static_cast<uint16_t>(~kValueFlags);
}

__attribute__((always_inline)) inline MacroId MacroTable::new_entry(std::string_view name, std::string_view value, uint16_t flags) {
  if (count_ == kNoMacro - 1) throw std::bad_alloc();
  if ((count_ >> kEntryChunkBits) == entry_chunks_.size()) {
    add_chunk();
  }
  MacroId id = count_;
  Entry& e = at(id);
  e = Entry{{0}, {kEmpty}, 0, 0, flags};
  rest(id) = EntryRest{kNoMacro, id, 0, 0};
  if (name.size() <= kShortName) {
    e.short_name = le(load_padded(name.data(), name.size()));
  } else {
    e.name = store_name(name);
  }
  e.name_len = static_cast<uint16_t>(name.size() < kLongName ? name.size() : kLongName);
  if (flags & kFixedValue) {
    e.value = line_text_;
    e.value_len = static_cast<uint32_t>(std::strlen(line_text_));
  } else {
    store_value(e, id, value);
  }
  ++count_;
  ++live_;
  return id;
}

void MacroTable::set_value(MacroId id, std::string_view text) {
  Entry& e = at(id);
  // The new text is stored before the old one goes, in case they overlap.
  const char* old_value = e.value;
  size_t old_length = length_of(e, id);
  forget_pieces(id);
  uint16_t old_flags = e.flags;
  e.flags &= static_cast<uint16_t>(~(kValueFlags | kFixedValue));
  store_value(e, id, text);
  if (old_flags & kHeapValue) {
    heap_free(old_value);
  } else if ((old_flags & (kFixedValue | kInlineValue)) == 0) {
    release(old_length);
  }
  maybe_compact_storage();
}

MacroTable::Frozen MacroTable::frozen(MacroId id) {
  Entry& e = at(id);
  if ((e.flags & kFrozenKnown) == 0) rescan(e, id, 0, 0);
  char quote = (e.flags & kSingleQuote) ? '\'' : (e.flags & kDoubleQuote) ? '"' : '\0';
  return Frozen{rest(id).frozen, quote};
}

void MacroTable::rescan(Entry& e, MacroId id, size_t from, char quote) {
  const char* text = value_bytes(e);
  size_t length = length_of(e, id);
  const char* p = text + from;
  const char* end = text + length;
  while (p != end) {
    if (quote != 0) {
      const char* close = static_cast<const char*>(std::memchr(p, quote, static_cast<size_t>(end - p)));
      if (close == nullptr) {
        p = end;
        break;
      }
      p = close + 1;
      quote = 0;
    } else {
      const char* q = find_any<'$', '\'', '"'>(p, end);
      if (q == end || *q == '$') {
        p = q;
        break;
      }
      quote = *q;
      p = q + 1;
    }
  }
  size_t frozen = static_cast<size_t>(p - text);
  e.flags &= static_cast<uint16_t>(~(kSingleQuote | kDoubleQuote));
  if (frozen >= UINT32_MAX) {
    rest(id).frozen = 0;  // the empty part is always frozen
  } else {
    rest(id).frozen = static_cast<uint32_t>(frozen);
    if (quote == '\'') e.flags |= kSingleQuote;
    if (quote == '"') e.flags |= kDoubleQuote;
  }
  e.flags |= kFrozenKnown;
}

void MacroTable::extend(MacroId id, std::string_view expanded_rest, std::string_view text) {
  Entry& e = at(id);
  forget_pieces(id);
  Frozen f = frozen(id);
  size_t old_length = length_of(e, id);
  size_t length = f.length + expanded_rest.size() + 1 + text.size();
  bool references = (e.flags & kHasReference) != 0;  // a '$' may stay in the frozen part
  char* block;
  if ((e.flags & kHeapValue) && heap_capacity(e.value) >= length) {
    block = const_cast<char*>(e.value);
  } else {
    size_t capacity = std::bit_ceil(length < 64 ? size_t{64} : length);
    if (e.flags & kHeapValue) {
      block = heap_grow(e.value, capacity);
    } else {
      block = heap_block(capacity);
      std::memcpy(block, value_bytes(e), f.length);
      if ((e.flags & (kFixedValue | kInlineValue)) == 0) release(old_length);
    }
  }
  if (!expanded_rest.empty()) std::memcpy(block + f.length, expanded_rest.data(), expanded_rest.size());
  block[f.length + expanded_rest.size()] = ' ';
  if (!text.empty()) std::memcpy(block + f.length + expanded_rest.size() + 1, text.data(), text.size());
  e.value = block;
  e.flags = (e.flags & ~kInlineValue) | kHeapValue;
  set_length(e, id, length);
  if (holds(expanded_rest, '$') || holds(text, '$')) {
    references = true;
  }
  if (may_escape(expanded_rest) || may_escape(text)) e.flags |= kHasEscape;
  if (references) {
    e.flags |= kHasReference;
  } else {
    e.flags &= static_cast<uint16_t>(~kHasReference);
  }
  // Only what was added needs looking at for the next extension.
  rescan(e, id, f.length, f.quote);
  maybe_compact_storage();
}

const ValuePieces* MacroTable::keep_pieces(MacroId id, ValuePieces pieces) {
  uint32_t slot;
  if (!free_piece_slots_.empty()) {
    slot = free_piece_slots_.back();
    free_piece_slots_.pop_back();
  } else if (piece_slots_.size() < (uint32_t{1} << 23) - 1) {
    piece_slots_.emplace_back();
    slot = static_cast<uint32_t>(piece_slots_.size());
  } else {
    return nullptr;
  }
  piece_slots_[slot - 1] = std::make_unique<ValuePieces>(std::move(pieces));
  rest(id).pieces = slot;
  return piece_slots_[slot - 1].get();
}

void MacroTable::insert_bucket(uint32_t h, MacroId id) {
  size_t mask = buckets_.size() - 1;
  size_t i = h & mask;
  while (buckets_[i].id != kNoMacro) i = (i + 1) & mask;
  buckets_[i] = Bucket{h, id};
  count_name();
}

void MacroTable::erase_bucket(Bucket* b) {
  // Backward-shift deletion keeps every name reachable from its home bucket.
  size_t mask = buckets_.size() - 1;
  size_t hole = static_cast<size_t>(b - buckets_.data());
  for (size_t i = (hole + 1) & mask; buckets_[i].id != kNoMacro; i = (i + 1) & mask) {
    size_t home = buckets_[i].hash & mask;
    // The entry at i may fill the hole if its home is not between hole and i.
    bool between = hole <= i ? (hole < home && home <= i) : (hole < home || home <= i);
    if (!between) {
      buckets_[hole] = buckets_[i];
      hole = i;
    }
  }
  buckets_[hole] = Bucket{0, kNoMacro};
  --names_;
}

void MacroTable::grow_index() {
  std::vector<Bucket, HugeAllocator<Bucket>> grown(buckets_.size() * 2, Bucket{0, kNoMacro});
  size_t mask = grown.size() - 1;
  for (const Bucket& b : buckets_) {
    if (b.id == kNoMacro) continue;
    size_t i = b.hash & mask;
    while (grown[i].id != kNoMacro) i = (i + 1) & mask;
    grown[i] = b;
  }
  buckets_.swap(grown);
  mask_ = buckets_.size() - 1;
}

MacroId MacroTable::append(std::string_view name, std::string_view value, bool only_new) {
  uint32_t h = hash(name);
  size_t slot = slot_of(name, h);
  Bucket* b = &buckets_[slot];
  if (b->id != kNoMacro && only_new) return kNoMacro;
  MacroId id = new_entry(name, value, 0);
  if (b->id == kNoMacro) {
    // A new name goes in the free bucket the look found.
    *b = Bucket{h, id};
    count_name();
  } else {
    EntryRest& first = rest(b->id);
    MacroId newest = first.prev_same;
    rest(newest).next_same = id;
    rest(id).prev_same = newest;
    first.prev_same = id;
  }
  return id;
}

// Releases what the entry holds and leaves a gap in its place.
void MacroTable::remove_entry(MacroId id) {
  Entry& e = at(id);
  release_value(e, id);
  if (e.name_len > kShortName) release(stored_name_bytes(e));
  e.flags = kRemoved;
  e.short_name = 0;
  e.name_len = 0;
  --live_;
}

long MacroTable::remove_first(std::string_view name) {
  Bucket* b = bucket_of(name, hash(name));
  if (b == nullptr) return kNoEntry;
  MacroId id = b->id;
  if (!user_defined(id)) return kPredefinedEntry;
  const EntryRest& r = rest(id);
  long left = 0;
  if (r.next_same == kNoMacro) {
    erase_bucket(b);
  } else {
    rest(r.next_same).prev_same = r.prev_same;
    b->id = r.next_same;
    left = 1;
  }
  remove_entry(id);
  ++removed_;
  // Gaps at the end of the list close at once; others once they outnumber
  // the entries.
  while (count_ > kPredefinedCount && (at(count_ - 1).flags & kRemoved)) {
    --count_;
    --removed_;
  }
  if (removed_ > live_ + kEntryChunk) compact_entries();
  maybe_compact_storage();
  return left;
}

void MacroTable::cut_after(MacroId last) {
  while (count_ > last + 1) {
    MacroId id = count_ - 1;
    Entry& e = at(id);
    if (e.flags & kRemoved) {
      --removed_;
    } else {
      // Everything after it is gone, so it is the newest entry of its name.
      std::string_view name = name_of(e);
      Bucket* b = bucket_of(name, hash(name));
      if (rest(id).prev_same == id) {
        erase_bucket(b);
      } else {
        MacroId older = rest(id).prev_same;
        rest(older).next_same = kNoMacro;
        rest(b->id).prev_same = older;
      }
      remove_entry(id);
    }
    --count_;
  }
  maybe_compact_storage();
}

void MacroTable::compact_entries() {
  std::vector<MacroId> renumbered(count_, kNoMacro);
  MacroId n = 0;
  for (MacroId id = 0; id < count_; ++id) {
    if (at(id).flags & kRemoved) continue;
    renumbered[id] = n;
    if (n != id) {
      at(n) = at(id);
      rest(n) = rest(id);
    }
    ++n;
  }
  for (MacroId id = 0; id < n; ++id) {
    EntryRest& r = rest(id);
    if (r.next_same != kNoMacro) r.next_same = renumbered[r.next_same];
    r.prev_same = renumbered[r.prev_same];
  }
  for (Bucket& b : buckets_) {
    if (b.id != kNoMacro) b.id = renumbered[b.id];
  }
  if (!long_lengths_.empty()) {
    std::unordered_map<MacroId, size_t> moved;
    for (const auto& [id, length] : long_lengths_) moved[renumbered[id]] = length;
    long_lengths_.swap(moved);
  }

  count_ = n;
  removed_ = 0;
  drop_chunks((count_ >> kEntryChunkBits) + 1);
}

void MacroTable::refresh_line() {
  // 20 digits at the most, and the terminator: the text always has room.
  char* end = std::to_chars(line_text_, line_text_ + sizeof line_text_ - 1, line_).ptr;
  *end = '\0';
  at(kRowLine).value_len = static_cast<uint32_t>(end - line_text_);
  line_shown_ = line_;
}

}  // namespace quenfold
