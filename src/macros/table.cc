#include "macros/table.h"

#include <iterator>

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

}  // namespace

MacroTable::MacroTable() {
  for (int row = 0; row < kPredefinedCount; ++row) {
    list_.push_back(Macro{kRows[row].name, kRows[row].value, false});
    Iter it = std::prev(list_.end());
    rows_[row] = it;
    index_[kRows[row].name].items.push_back(it);
  }
  line_entry_ = &*rows_[kRowLine];
}

void MacroTable::append(std::string_view name, std::string_view value) {
  list_.push_back(Macro{std::string(name), std::string(value), true});
  Iter it = std::prev(list_.end());
  auto slot = index_.find(name);
  if (slot == index_.end()) slot = index_.emplace(std::string(name), Slot{}).first;
  slot->second.items.push_back(it);
}

void MacroTable::remove_first(std::string_view name) {
  auto found = index_.find(name);
  if (found == index_.end()) return;
  Slot& slot = found->second;
  list_.erase(slot.items[slot.head]);
  ++slot.head;
  if (slot.head == slot.items.size()) {
    index_.erase(found);
  } else if (slot.head >= 16 && slot.head * 2 >= slot.items.size()) {
    slot.items.erase(slot.items.begin(), slot.items.begin() + static_cast<long>(slot.head));
    slot.head = 0;
  }
}

void MacroTable::cut_after(Iter last) {
  Iter from = std::next(last);
  for (Iter it = from; it != list_.end(); ++it) {
    auto found = index_.find(it->name);
    Slot& slot = found->second;
    slot.items.pop_back();  // later entries of a name stand last in its slot
    if (slot.items.size() == slot.head) index_.erase(found);
  }
  list_.erase(from, list_.end());
}

void MacroTable::refresh_line() {
  line_entry_->value = std::to_string(line_);
  line_shown_ = line_;
}

}  // namespace quenfold
