#include "macros/table.h"

#include <cstring>

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
constexpr size_t kChunk = 256;
// A value kept by a free entry beyond this capacity is released.
constexpr size_t kKeptValue = 256;

uint64_t mix(uint64_t h) {
  h ^= h >> 32;
  h *= 0xd6e8feb86659fd93ULL;
  h ^= h >> 32;
  return h;
}

}  // namespace

MacroTable::MacroTable() : buckets_(kFirstBuckets, nullptr) {
  for (int row = 0; row < kPredefinedCount; ++row) {
    Macro* m = new_node();
    m->set_value(std::string_view(kRows[row].value));
    m->user_defined = false;
    link(lookup_or_add(kRows[row].name), m);
    rows_[row] = m;
  }
}

MacroTable::~MacroTable() = default;

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

namespace {

bool same_name(const std::string& a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const char* p = a.data();
  const char* q = b.data();
  for (size_t i = 0, n = b.size(); i < n; ++i) {
    if (p[i] != q[i]) return false;
  }
  return true;
}

}  // namespace

MacroName* MacroTable::lookup(std::string_view name) const {
  uint64_t h = hash(name);
  size_t mask = buckets_.size() - 1;
  for (size_t i = h & mask;; i = (i + 1) & mask) {
    MacroName* n = buckets_[i];
    if (n == nullptr) return nullptr;
    if (n->hash == h && same_name(n->name, name)) return n;
  }
}

MacroName& MacroTable::lookup_or_add(std::string_view name) {
  uint64_t h = hash(name);
  size_t mask = buckets_.size() - 1;
  size_t i = h & mask;
  for (;; i = (i + 1) & mask) {
    MacroName* n = buckets_[i];
    if (n == nullptr) break;
    if (n->hash == h && same_name(n->name, name)) return *n;
  }
  names_.push_back(MacroName{std::string(name), h});
  buckets_[i] = &names_.back();
  if (names_.size() * 2 > buckets_.size()) grow_index();
  return names_.back();
}

void MacroTable::grow_index() {
  std::vector<MacroName*> grown(buckets_.size() * 2, nullptr);
  size_t mask = grown.size() - 1;
  for (MacroName& n : names_) {
    size_t i = n.hash & mask;
    while (grown[i] != nullptr) i = (i + 1) & mask;
    grown[i] = &n;
  }
  buckets_.swap(grown);
}

Macro* MacroTable::new_node() {
  if (free_ != nullptr) {
    Macro* m = free_;
    free_ = m->next;
    return m;
  }
  if (chunks_.empty() || chunk_used_ == kChunk) {
    chunks_.push_back(std::make_unique<Macro[]>(kChunk));
    chunk_used_ = 0;
  }
  return &chunks_.back()[chunk_used_++];
}

void MacroTable::free_node(Macro* m) {
  if (m->value_.capacity() > kKeptValue) {
    std::string().swap(m->value_);
  } else {
    m->value_.clear();
  }
  m->prev = m->prev_same = m->next_same = nullptr;
  m->next = free_;
  free_ = m;
}

// Appends `m` at the end of the list and of its name's chain.
void MacroTable::link(MacroName& key, Macro* m) {
  m->key = &key;
  m->prev = tail_;
  m->next = nullptr;
  if (tail_ != nullptr) {
    tail_->next = m;
  } else {
    head_ = m;
  }
  tail_ = m;
  m->prev_same = key.last;
  m->next_same = nullptr;
  if (key.last != nullptr) {
    key.last->next_same = m;
  } else {
    key.first = m;
  }
  key.last = m;
  ++key.count;
  ++size_;
}

void MacroTable::append(MacroName& key, std::string_view value) {
  Macro* m = new_node();
  m->set_value(value);
  m->user_defined = true;
  link(key, m);
}

// Takes `m` out of the list and out of its name's chain, and frees it.
void MacroTable::unlink(Macro* m) {
  MacroName* key = m->key;
  (m->prev_same != nullptr ? m->prev_same->next_same : key->first) = m->next_same;
  (m->next_same != nullptr ? m->next_same->prev_same : key->last) = m->prev_same;
  --key->count;
  (m->prev != nullptr ? m->prev->next : head_) = m->next;
  (m->next != nullptr ? m->next->prev : tail_) = m->prev;
  --size_;
  free_node(m);
}

long MacroTable::remove_first(std::string_view name) {
  MacroName* key = lookup(name);
  if (key == nullptr || key->first == nullptr) return kNoEntry;
  if (!key->first->user_defined) return kPredefinedEntry;
  unlink(key->first);
  return key->count;
}

void MacroTable::cut_after(Macro* last) {
  // The predefined entries stay, so the list never runs empty here.
  while (tail_ != nullptr && tail_ != last) unlink(tail_);
}

void MacroTable::refresh_line() {
  rows_[kRowLine]->set_value(std::to_string(line_));
  line_shown_ = line_;
}

}  // namespace quenfold
