// The macro list: one ordered list in which the oldest entry of a name wins,
// with an index from each name to its entries, so that a lookup costs the
// same however many macros are defined and touches few cache lines.
//
// Entries are numbered in list order (an entry's id is its place in the list,
// and new entries go at the end); a removed entry leaves a gap that later
// removals close up by renumbering. Names and values live in shared storage;
// the index is an open-addressing table of (hash, id of the name's oldest
// entry) pairs, and the entries of one name are chained in list order.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/byte_scan.h"
#include "base/huge_pages.h"

namespace quenfold {

// A piece of a macro value as expansion sees it: a run of text that stays
// as it is, or a reference (its text, without "$(" and ")"). Expansion
// parses a value into its pieces once and keeps them with it.
struct ValuePiece {
  // Text and parameters come first: expansion writes a stretch of them at once.
  enum Kind : uint8_t {
    kText,       // copied as it is
    kParameter,  // $N or $(N), N one digit: the parameter at index N
    kName,       // a name alone: the macro's value, expanded without parameters
    kReference,  // any other reference holding no '$'; `colon` is its first ':'
    kNested,     // a reference holding a '$': expanded before it is resolved
  };
  uint32_t begin;
  uint32_t length;
  uint32_t colon;  // kReference: position of the first ':' in the text, or kNoColon
  Kind kind;
  uint8_t index;  // kParameter
  static constexpr uint32_t kNoColon = 0xFFFFFFFF;
};
// A value's pieces; `parsed` is false when the value cannot be parsed ahead
// (expansion then reads it as it goes, and meets its error in turn).
struct ValuePieces {
  bool parsed = false;
  std::vector<ValuePiece> pieces;
  size_t text_bytes = 0;        // in the text pieces
  size_t parameter_pieces = 0;  // how many pieces are parameters
};

// An entry of the macro list. Ids stay valid until an entry is removed.
using MacroId = uint32_t;
constexpr MacroId kNoMacro = 0xFFFFFFFF;

// Rows of the predefined entries, which stay first in the list for the whole
// run: a predefined entry's id is its row.
enum PredefinedRow : MacroId {
  kRowPid = 0,
  kRowDate,
  kRowTime,
  kRowUser,
  kRowLine,
  kRowFile,
  kRowOutFile,
  kRowInclude,
  kRowMajor,
  kRowMinor,
  kRowUnix,
  kRowOs,
  kPredefinedCount
};

class MacroTable {
 public:
  MacroTable();
  ~MacroTable();
  MacroTable(const MacroTable&) = delete;
  MacroTable& operator=(const MacroTable&) = delete;

  // The first (oldest) entry of `name`, or kNoMacro.
  MacroId find(std::string_view name) const {
    if (name.size() <= kShortName) return find_short(load_padded(name.data(), name.size()), name.size());
    const Bucket* b = bucket_of(name, hash_long(name));
    return b ? b->id : kNoMacro;
  }

  // Names of up to this many bytes are kept in their entry, and found by
  // one comparison of a word.
  static constexpr size_t kShortName = 8;
  // The first entry of the short name whose word is `word` (its bytes as
  // load_padded gives them) and length `n`.
  MacroId find_short(uint64_t word, size_t n) const {
    MacroId id = kNoMacro;
    short_entry(word, n, &id);
    return id;
  }

  bool contains(std::string_view name) const { return find(name) != kNoMacro; }

  // Expansion's common case in one step: the entry of the short name of
  // `n` bytes whose word is `word` when its value holds no '$', with
  // the value and whether it may hold something to decode; false otherwise.
  // `padded` tells that kInlineValueLength bytes may be read at the value,
  // whatever its length.
  bool plain_value(uint64_t word, size_t n, std::string_view* value, bool* escape, bool* padded) {
    MacroId id;
    const Entry* e = short_entry(word, n, &id);
    if (e == nullptr) return false;
    unsigned flags = e->flags;
    if ((flags & (kInlineValue | kHasReference)) == kInlineValue) {  // the usual value
      *value = {e->bytes, e->value_len};
      *escape = (flags & kHasEscape) != 0;
      *padded = true;
      return true;
    }
    if (flags & kHasReference) return false;
    if (id == kRowLine && line_shown_ != line_) refresh_line();
    *value = {e->value, length_of(*e, id)};  // in storage, a block of its own or the line text
    *escape = (flags & kHasEscape) != 0;
    *padded = false;
    return true;
  }

  std::string_view name(MacroId id) const { return name_of(at(id)); }
  // The value as written, not expanded; __LINE__ is brought up to date first.
  // The view lasts until the table changes.
  std::string_view value(MacroId id) {
    if (id == kRowLine && line_shown_ != line_) refresh_line();
    const Entry& e = at(id);
    return {value_bytes(e), length_of(e, id)};
  }
  bool user_defined(MacroId id) const { return id >= kPredefinedCount; }
  // Whether the value holds a '$', so that expanding it can change it.
  bool has_reference(MacroId id) const { return (at(id).flags & kHasReference) != 0; }
  // Whether the value may hold a backslash or a marker byte, which writing
  // decodes.
  bool has_escape(MacroId id) const { return (at(id).flags & kHasEscape) != 0; }

  // The leading part of a value that expansion leaves as it is (it holds no
  // '$' outside quotes), and the quote that is open after it (0 for none):
  // the expansion of the value is that part followed by the expansion of the
  // rest, begun inside that quote.
  struct Frozen {
    size_t length;
    char quote;
  };
  Frozen frozen(MacroId id);

  void set_value(MacroId id, std::string_view text);
  // @EXTEND: the value becomes its frozen part, `expanded_rest` (the
  // expansion of the rest), a blank and `text`. Appends in place, so that a
  // value built by many extensions costs time in proportion to its length.
  void extend(MacroId id, std::string_view expanded_rest, std::string_view text);

  // The pieces kept with a value, or null; they go when the value changes.
  const ValuePieces* pieces(MacroId id) const {
    uint32_t slot = rest(id).pieces;
    return slot != 0 ? piece_slots_[slot - 1].get() : nullptr;
  }
  // Keeps `pieces` with the value of `id` and returns them (null when no
  // more can be kept).
  const ValuePieces* keep_pieces(MacroId id, ValuePieces pieces);

  // Appends a user-defined entry (no checks) and returns its id.
  MacroId append(std::string_view name, std::string_view value) { return append(name, value, false); }
  // Appends a user-defined entry when no entry bears the name; kNoMacro when one does.
  MacroId append_new(std::string_view name, std::string_view value) { return append(name, value, true); }
  // Removes the first entry of `name` when it is user-defined. Returns 1 when
  // entries of the name remain, 0 when none do, kNoEntry when there was none,
  // or kPredefinedEntry (nothing removed) when the first one is predefined.
  static constexpr long kNoEntry = -1;
  static constexpr long kPredefinedEntry = -2;
  long remove_first(std::string_view name);
  // Removes every entry after `last`.
  void cut_after(MacroId last);

  // List order: the first entry is always __PID__.
  MacroId head() const { return 0; }
  // The entry after `id` in the list, or kNoMacro.
  MacroId next(MacroId id) const {
    for (++id; id < count_; ++id) {
      if ((at(id).flags & kRemoved) == 0) return id;
    }
    return kNoMacro;
  }
  // The next entry of the same name, or kNoMacro.
  MacroId next_same(MacroId id) const { return rest(id).next_same; }

  void set_line(uint64_t line) { line_ = line; }
  // Entries in the list.
  size_t size() const { return live_; }

 private:
  enum : uint16_t {
    kRemoved = 1,
    kHasReference = 2,
    kHeapValue = 4,    // the value has a block of its own, grown by doubling
    kFixedValue = 8,   // the value is the line text
    kSingleQuote = 16,  // quote open after the frozen part
    kDoubleQuote = 32,
    kFrozenKnown = 64,  // frozen and the quote flags are up to date
    kHasEscape = 128,
    kInlineValue = 256,  // the value's bytes are in the entry
    kValueFlags =
        kHasReference | kHeapValue | kSingleQuote | kDoubleQuote | kFrozenKnown | kHasEscape | kInlineValue,
  };
  static constexpr uint32_t kLongLength = 0xFFFFFFFF;  // the length is in long_lengths_
  static constexpr uint16_t kLongName = 0xFFFF;        // the length is in the 8 bytes before the name
 public:
  // Values of up to this many bytes are kept in their entry, so that the
  // usual lookup of a short name with a short value touches its bucket and
  // its entry and nothing else.
  static constexpr size_t kInlineValueLength = 16;

 private:
  // What a lookup reads of an entry: 32 bytes, two to a cache line.
  struct Entry {
    union {
      uint64_t short_name;  // a name of up to kShortName bytes, zero-padded, as they lie in memory (le() of its word)
      const char* name;     // a longer one, in storage
    };
    union {
      const char* value;                // in storage, in a block of its own, or the line text
      char bytes[kInlineValueLength];  // kInlineValue: the value itself
    };
    uint32_t value_len;  // kLongLength for a value of 4 GiB or more
    uint16_t name_len;   // kLongName for a name of 65,535 bytes or more
    uint16_t flags;
  };
  static_assert(sizeof(Entry) == 32);
  // The rest of an entry, kept apart so that lookups do not bring it in.
  struct EntryRest {
    MacroId next_same;  // the next newer entry of the name, or kNoMacro
    MacroId prev_same;  // the next older one; the oldest's is the newest
    uint32_t frozen;    // length of the frozen part (0 when it would not fit)
    uint32_t pieces;    // 1 + the slot of the value's pieces, 0 for none
  };
  static const char* value_bytes(const Entry& e) { return (e.flags & kInlineValue) ? e.bytes : e.value; }
  struct Bucket {
    uint32_t hash;  // the name's hash, whose low bits pick the home bucket
    MacroId id;    // the name's oldest entry; kNoMacro when free
  };

  static constexpr size_t kEntryChunkBits = 10;
  static constexpr size_t kEntryChunk = size_t{1} << kEntryChunkBits;

  static size_t name_length(const Entry& e) {
    if (e.name_len != kLongName) return e.name_len;
    uint64_t n;
    std::memcpy(&n, e.name - sizeof n, sizeof n);
    return static_cast<size_t>(n);
  }
  static std::string_view name_of(const Entry& e) {
    const char* bytes = e.name_len <= kShortName ? reinterpret_cast<const char*>(&e.short_name) : e.name;
    return {bytes, name_length(e)};
  }

  Entry& at(MacroId id) { return entry_chunks_[id >> kEntryChunkBits]->entries[id & (kEntryChunk - 1)]; }
  const Entry& at(MacroId id) const {
    return entry_chunks_[id >> kEntryChunkBits]->entries[id & (kEntryChunk - 1)];
  }
  EntryRest& rest(MacroId id) { return entry_chunks_[id >> kEntryChunkBits]->rest[id & (kEntryChunk - 1)]; }
  const EntryRest& rest(MacroId id) const {
    return entry_chunks_[id >> kEntryChunkBits]->rest[id & (kEntryChunk - 1)];
  }

  // Names of up to eight bytes, the usual case, are hashed here with one
  // multiplication; longer ones word by word.
  static uint32_t hash(std::string_view s) {
    size_t n = s.size();
    return n <= kShortName ? hash_short(load_padded(s.data(), n), n) : hash_long(s);
  }
  static uint32_t hash_short(uint64_t word, size_t n) {
    // A bit of a product depends only on the bits of what is multiplied
    // at and below it: the high half of the word is folded into the low
    // half, and the bucket is picked by the product's top byte (byte-swapped
    // to the bottom), which depends on every bit.
    uint64_t x = word ^ (static_cast<uint64_t>(n) << 59);
    uint64_t h = (x ^ (x >> 32)) * 0x9e3779b97f4a7c15ULL;
    return static_cast<uint32_t>(__builtin_bswap64(h));
  }
  static uint32_t hash_long(std::string_view s);
  // The first entry of a short name and its id, or null.
  const Entry* short_entry(uint64_t word, size_t n, MacroId* id) const {
    uint32_t h = hash_short(word, n);
    uint64_t bytes = le(word);
    const Bucket* buckets = buckets_.data();
    for (size_t i = h & mask_;; i = (i + 1) & mask_) {
      const Bucket& b = buckets[i];
      if (b.id == kNoMacro) return nullptr;
      if (b.hash == h) {
        const Entry& e = at(b.id);
        if (e.short_name == bytes && e.name_len == n) {
          *id = b.id;
          return &e;
        }
      }
    }
  }
  // The bucket of `name` (hash `h`), or the free one where it would go.
  size_t slot_of(std::string_view name, uint32_t h) const {
    size_t n = name.size();
    bool short_name = n <= kShortName;
    uint64_t bytes = short_name ? le(load_padded(name.data(), n)) : 0;
    size_t mask = mask_;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
      const Bucket& b = buckets_[i];
      if (b.id == kNoMacro) return i;
      if (b.hash == h) {
        const Entry& e = at(b.id);
        bool same_length = n < kLongName ? e.name_len == n : name_length(e) == n;
        if (same_length && (short_name ? e.short_name == bytes : std::memcmp(e.name, name.data(), n) == 0)) {
          return i;
        }
      }
    }
  }
  const Bucket* bucket_of(std::string_view name, uint32_t h) const {
    const Bucket& b = buckets_[slot_of(name, h)];
    return b.id != kNoMacro ? &b : nullptr;
  }
  Bucket* bucket_of(std::string_view name, uint32_t h) {
    return const_cast<Bucket*>(static_cast<const MacroTable*>(this)->bucket_of(name, h));
  }

  MacroId append(std::string_view name, std::string_view value, bool only_new);
  MacroId new_entry(std::string_view name, std::string_view value, uint16_t flags);
  void store_value(Entry& e, MacroId id, std::string_view text);
  static uint16_t block_flags(const char* bytes);
  void release_value(Entry& e, MacroId id);
  void rescan(Entry& e, MacroId id, size_t from, char quote);
  size_t long_length(MacroId id) const { return long_lengths_.at(id); }
  size_t length_of(const Entry& e, MacroId id) const {
    return e.value_len != kLongLength ? e.value_len : long_length(id);
  }
  void set_length(Entry& e, MacroId id, size_t length);
  void forget_pieces(MacroId id) {
    EntryRest& r = rest(id);
    if (r.pieces != 0) {
      piece_slots_[r.pieces - 1].reset();
      free_piece_slots_.push_back(r.pieces);
      r.pieces = 0;
    }
  }
  void insert_bucket(uint32_t h, MacroId id);
  void erase_bucket(Bucket* b);
  void grow_index();
  // Counts a name that took a free bucket. The index doubles when four
  // buckets in five are taken: the probes of a lookup stay within a cache
  // line or two, and a large table's index stays half the size it would be
  // at three in four, where its misses, not its probes, are the cost.
  void count_name() {
    if (++names_ * 5 > buckets_.size() * 4) grow_index();
  }
  void remove_entry(MacroId id);
  void compact_entries();
  void refresh_line();

  // Bytes of names and values that are not heap values: chunks that are
  // filled in turn and copied afresh when most of what they hold is garbage.
  char* store(const char* bytes, size_t n);
  // Stores a name of more than kShortName bytes; from kLongName bytes on,
  // its length goes in the 8 bytes before it.
  const char* store_name(std::string_view name);
  // Where such a name's bytes in storage begin, and how many there are.
  static const char* stored_name(const Entry& e) {
    return e.name_len != kLongName ? e.name : e.name - sizeof(uint64_t);
  }
  static size_t stored_name_bytes(const Entry& e) {
    return e.name_len != kLongName ? e.name_len : sizeof(uint64_t) + name_length(e);
  }
  void release(size_t n) { garbage_ += n; }
  void maybe_compact_storage();

  // Entries live in chunks of kEntryChunk. The first kSmallChunks are
  // allocated one by one; a table larger than that takes the rest from
  // blocks of huge pages, kChunksPerArena chunks to a block.
  static constexpr size_t kSmallChunks = 64;
  struct EntryChunk {
    Entry entries[kEntryChunk];
    EntryRest rest[kEntryChunk];
  };
  static constexpr size_t kChunkBytes = sizeof(EntryChunk);
  static constexpr size_t kChunksPerArena = kHugePage / kChunkBytes;
  void add_chunk();
  void drop_chunks(size_t keep);  // frees the chunks from `keep` on
  std::vector<EntryChunk*> entry_chunks_;
  std::vector<void*> entry_arenas_;  // kHugePage bytes each
  MacroId count_ = 0;  // ids in use, removed ones included
  size_t live_ = 0;
  size_t removed_ = 0;
  std::vector<Bucket, HugeAllocator<Bucket>> buckets_;
  size_t mask_ = 0;   // buckets_.size() - 1
  size_t names_ = 0;  // buckets in use

  struct Chunk {
    std::unique_ptr<char[]> bytes;
    size_t size;
    size_t used;
  };
  std::vector<Chunk> chunks_;
  size_t stored_ = 0;   // bytes handed out from the chunks
  size_t garbage_ = 0;  // of which no longer used

  std::unordered_map<MacroId, size_t> long_lengths_;
  std::vector<std::unique_ptr<ValuePieces>> piece_slots_;
  std::vector<uint32_t> free_piece_slots_;
  uint64_t line_ = 0;
  uint64_t line_shown_ = 0;
  char line_text_[24] = "0";
};

}  // namespace quenfold
