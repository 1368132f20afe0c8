// The macro list: one ordered list in which the oldest entry of a name wins,
// with an index from each name to its entries in list order so that lookups
// cost the same however many macros are defined.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quenfold {

struct MacroName;

// One entry of the macro list.
struct Macro {
  MacroName* key = nullptr;  // the entry's name, shared by its entries
  bool user_defined = false;
  Macro* prev = nullptr;  // list order
  Macro* next = nullptr;
  Macro* prev_same = nullptr;  // entries of the same name, in list order
  Macro* next_same = nullptr;

  const std::string& name() const;
  // The value as written, not expanded.
  const std::string& value() const { return value_; }
  void set_value(std::string_view text) {
    value_.assign(text.data(), text.size());
    references_ = kUnknown;
  }
  void set_value(std::string&& text) {
    value_ = std::move(text);
    references_ = kUnknown;
  }
  // Whether the value holds a '$', so that expanding it can change it.
  bool has_reference() {
    if (references_ == kUnknown) references_ = value_.find('$') == std::string::npos ? kNo : kYes;
    return references_ == kYes;
  }

 private:
  friend class MacroTable;
  enum : unsigned char { kUnknown, kNo, kYes };
  std::string value_;
  unsigned char references_ = kUnknown;
};

// A name seen by the index, with the chain of its entries. A name keeps its
// place in the index once it has been seen, even when no entry bears it.
struct MacroName {
  std::string name;
  uint64_t hash = 0;
  Macro* first = nullptr;
  Macro* last = nullptr;
  long count = 0;
};

inline const std::string& Macro::name() const { return key->name; }

// Rows of the predefined entries, which stay first in the list for the whole run.
enum PredefinedRow {
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

  // First entry of `name`, or null.
  Macro* find(std::string_view name) const {
    const MacroName* n = lookup(name);
    return n == nullptr ? nullptr : n->first;
  }
  bool contains(std::string_view name) const { return find(name) != nullptr; }

  // The value of `m`; __LINE__ is brought up to date first.
  const std::string& value(Macro& m) {
    if (&m == rows_[kRowLine] && line_shown_ != line_) refresh_line();
    return m.value_;
  }

  // Appends a user-defined entry (no checks).
  void append(std::string_view name, std::string_view value) { append(key_of(name), value); }
  void append(MacroName& key, std::string_view value);
  // The index's record of `name`, made when the name is new.
  MacroName& key_of(std::string_view name) { return lookup_or_add(name); }
  // Removes the first entry of `name` when it is user-defined. Returns how
  // many entries of the name remain, kNoEntry when there was none, or
  // kPredefinedEntry (nothing removed) when the first one is predefined.
  static constexpr long kNoEntry = -1;
  static constexpr long kPredefinedEntry = -2;
  long remove_first(std::string_view name);
  // Removes every entry after `last`.
  void cut_after(Macro* last);

  Macro* head() const { return head_; }
  Macro& predefined(PredefinedRow row) { return *rows_[row]; }
  void set_line(uint64_t line) { line_ = line; }
  size_t size() const { return size_; }

 private:
  static uint64_t hash(std::string_view s);
  MacroName* lookup(std::string_view name) const;
  MacroName& lookup_or_add(std::string_view name);
  void grow_index();
  void refresh_line();
  Macro* new_node();
  void free_node(Macro* m);
  void link(MacroName& key, Macro* m);
  void unlink(Macro* m);

  Macro* head_ = nullptr;
  Macro* tail_ = nullptr;
  size_t size_ = 0;
  std::deque<MacroName> names_;  // stable addresses: entries point at them
  // Open addressing over names_; null when free.
  std::vector<MacroName*> buckets_;
  // Entries come from chunks and go back to a free list.
  std::vector<std::unique_ptr<Macro[]>> chunks_;
  size_t chunk_used_ = 0;
  Macro* free_ = nullptr;
  Macro* rows_[kPredefinedCount] = {};
  uint64_t line_ = 0;
  uint64_t line_shown_ = 0;
};

}  // namespace quenfold
