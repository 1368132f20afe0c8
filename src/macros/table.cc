#include "macros/table.h"

#include <cstring>
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

constexpr size_t kFirstBuckets = 64;

uint64_t mix(uint64_t h) {
  h ^= h >> 32;
  h *= 0xd6e8feb86659fd93ULL;
  h ^= h >> 32;
  return h;
}

}  // namespace

MacroTable::MacroTable() : buckets_(kFirstBuckets, 0) {
  for (int row = 0; row < kPredefinedCount; ++row) {
    list_.push_back(Macro{kRows[row].name, kRows[row].value, false});
    Iter it = std::prev(list_.end());
    rows_[row] = it;
    lookup_or_add(kRows[row].name).items.push_back(it);
  }
  line_entry_ = &*rows_[kRowLine];
}

uint64_t MacroTable::hash(std::string_view s) {
  uint64_t h = 0x9e3779b97f4a7c15ULL ^ s.size();
  const char* p = s.data();
  size_t n = s.size();
  while (n >= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    h = mix(h ^ word);
    p += 8;
    n -= 8;
  }
  uint64_t tail = 0;
  for (size_t i = 0; i < n; ++i) tail |= static_cast<uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
  return mix(h ^ tail ^ (static_cast<uint64_t>(n) << 56));
}

const MacroTable::Name* MacroTable::lookup(std::string_view name) const {
  uint64_t h = hash(name);
  size_t mask = buckets_.size() - 1;
  for (size_t i = h & mask;; i = (i + 1) & mask) {
    uint32_t slot = buckets_[i];
    if (slot == 0) return nullptr;
    const Name& n = names_[slot - 1];
    if (n.hash == h && n.name == name) return &n;
  }
}

MacroTable::Name& MacroTable::lookup_or_add(std::string_view name) {
  uint64_t h = hash(name);
  size_t mask = buckets_.size() - 1;
  size_t i = h & mask;
  for (;; i = (i + 1) & mask) {
    uint32_t slot = buckets_[i];
    if (slot == 0) break;
    Name& n = names_[slot - 1];
    if (n.hash == h && n.name == name) return n;
  }
  names_.push_back(Name{std::string(name), h, {}, 0});
  buckets_[i] = static_cast<uint32_t>(names_.size());
  if (names_.size() * 2 > buckets_.size()) grow_index();
  return names_.back();
}

void MacroTable::grow_index() {
  std::vector<uint32_t> grown(buckets_.size() * 2, 0);
  size_t mask = grown.size() - 1;
  for (uint32_t slot = 1; slot <= names_.size(); ++slot) {
    size_t i = names_[slot - 1].hash & mask;
    while (grown[i] != 0) i = (i + 1) & mask;
    grown[i] = slot;
  }
  buckets_.swap(grown);
}

void MacroTable::append(std::string_view name, std::string_view value) {
  Name& n = lookup_or_add(name);
  list_.push_back(Macro{n.name, std::string(value), true});
  n.items.push_back(std::prev(list_.end()));
}

long MacroTable::remove_first(std::string_view name) {
  Name* n = const_cast<Name*>(lookup(name));
  if (n == nullptr || n->empty()) return kNoEntry;
  if (!n->front()->user_defined) return kPredefinedEntry;
  list_.erase(n->front());
  ++n->head;
  if (n->empty()) {
    n->items.clear();
    n->head = 0;
  } else if (n->head >= 16 && n->head * 2 >= n->items.size()) {
    n->items.erase(n->items.begin(), n->items.begin() + static_cast<long>(n->head));
    n->head = 0;
  }
  return static_cast<long>(n->items.size() - n->head);
}

void MacroTable::cut_after(Iter last) {
  Iter from = std::next(last);
  for (Iter it = from; it != list_.end(); ++it) {
    Name* n = const_cast<Name*>(lookup(it->name));
    n->items.pop_back();  // later entries of a name stand last among its items
    if (n->empty()) {
      n->items.clear();
      n->head = 0;
    }
  }
  list_.erase(from, list_.end());
}

void MacroTable::refresh_line() {
  line_entry_->value = std::to_string(line_);
  line_shown_ = line_;
}

}  // namespace quenfold
