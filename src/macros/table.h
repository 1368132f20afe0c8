// The macro list: one ordered list in which the oldest entry of a name wins,
// with an index from each name to its entries in list order so that lookups
// cost the same however many macros are defined.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <vector>

namespace quenfold {

struct Macro {
  std::string name;
  std::string value;
  bool user_defined;
};

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
  using List = std::list<Macro>;
  using Iter = List::iterator;

  MacroTable();

  // First entry of `name`, or null.
  Macro* find(std::string_view name) {
    const Name* n = lookup(name);
    return n == nullptr || n->empty() ? nullptr : &*n->front();
  }
  bool contains(std::string_view name) const {
    const Name* n = lookup(name);
    return n != nullptr && !n->empty();
  }
  // Position of the first entry of `name`, or end().
  Iter find_iter(std::string_view name) {
    const Name* n = lookup(name);
    return n == nullptr || n->empty() ? list_.end() : n->front();
  }

  // The value of `m`; __LINE__ is brought up to date first.
  const std::string& value(Macro& m) {
    if (&m == line_entry_ && line_shown_ != line_) refresh_line();
    return m.value;
  }

  // Appends a user-defined entry (no checks).
  void append(std::string_view name, std::string_view value);
  // Removes the first entry of `name` when it is user-defined. Returns how
  // many entries of the name remain, kNoEntry when there was none, or
  // kPredefinedEntry (nothing removed) when the first one is predefined.
  static constexpr long kNoEntry = -1;
  static constexpr long kPredefinedEntry = -2;
  long remove_first(std::string_view name);
  // Removes every entry after `last`.
  void cut_after(Iter last);

  Iter end() { return list_.end(); }
  Iter row_iter(PredefinedRow row) { return rows_[row]; }
  Macro& predefined(PredefinedRow row) { return *rows_[row]; }
  void set_line(uint64_t line) { line_ = line; }

  List& entries() { return list_; }

 private:
  // The entries of one name, in list order (those before `head` are gone).
  // A name keeps its place in the index once it has been seen.
  struct Name {
    std::string name;
    uint64_t hash;
    std::vector<Iter> items;
    size_t head = 0;
    bool empty() const { return head == items.size(); }
    Iter front() const { return items[head]; }
  };

  static uint64_t hash(std::string_view s);
  const Name* lookup(std::string_view name) const;
  Name& lookup_or_add(std::string_view name);
  void grow_index();
  void refresh_line();

  List list_;
  std::vector<Name> names_;
  // Open addressing over names_: each bucket holds an index + 1, 0 when free.
  std::vector<uint32_t> buckets_;
  Iter rows_[kPredefinedCount];
  Macro* line_entry_ = nullptr;
  uint64_t line_ = 0;
  uint64_t line_shown_ = 0;
};

}  // namespace quenfold
