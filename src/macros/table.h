// The macro list: one ordered list in which the oldest entry of a name wins,
// with an index from each name to its entries in list order so that lookups
// cost the same however many macros are defined.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
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
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : &*it->second.front();
  }
  bool contains(std::string_view name) const { return index_.find(name) != index_.end(); }

  // The value of `m`; __LINE__ is brought up to date first.
  const std::string& value(Macro& m) {
    if (&m == line_entry_ && line_shown_ != line_) refresh_line();
    return m.value;
  }

  // Appends a user-defined entry (no checks).
  void append(std::string_view name, std::string_view value);
  // Removes the first entry of `name`, which must exist and be user-defined.
  void remove_first(std::string_view name);
  // Removes every entry after `last`.
  void cut_after(Iter last);
  // Position of the first entry of `name`, or end().
  Iter find_iter(std::string_view name) {
    auto it = index_.find(name);
    return it == index_.end() ? list_.end() : it->second.front();
  }
  Iter end() { return list_.end(); }
  Iter row_iter(PredefinedRow row) { return rows_[row]; }

  Macro& predefined(PredefinedRow row) { return *rows_[row]; }
  void set_line(uint64_t line) { line_ = line; }

  List& entries() { return list_; }

 private:
  struct Slot {
    std::vector<Iter> items;  // entries of one name, in list order
    size_t head = 0;
    Iter front() const { return items[head]; }
  };
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  using Index = std::unordered_map<std::string, Slot, Hash, std::equal_to<>>;

  void refresh_line();
  void erase_tail(Iter from);

  List list_;
  Index index_;
  Iter rows_[kPredefinedCount];
  Macro* line_entry_ = nullptr;
  uint64_t line_ = 0;
  uint64_t line_shown_ = 0;
};

}  // namespace quenfold
