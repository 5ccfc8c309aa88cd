#include "engine/map_store.h"

#include <algorithm>
#include <new>

#include "platform/text_case.h"

namespace orv {

namespace {

// The hash of a folded key: FNV-1a over its units, then the low bits the
// index uses spread.
constexpr std::uint32_t kHashStart = 2166136261u;
std::uint32_t hash_unit(std::uint32_t h, char16_t u) { return (h ^ u) * 16777619u; }
std::uint32_t hash_end(std::uint32_t h) {
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  return h;
}

}  // namespace

void prepare_map_key(MapKey& key) {
  key.folded = key.spelling;
  bool ascii = true;
  for (char16_t& u : key.folded) {
    if (u >= u'A' && u <= u'Z') u = static_cast<char16_t>(u + 32);
    else if (u >= 0x80) ascii = false;
  }
  if (!ascii) platform::lower_utf16(key.folded);
  std::uint32_t h = kHashStart;
  for (char16_t u : key.folded) h = hash_unit(h, u);
  key.hash = hash_end(h);
}

bool prepare_ascii_map_key(std::string_view text, MapKey& key) {
  const std::size_t n = text.size();
  key.spelling.resize(n);
  key.folded.resize(n);
  char16_t* spelling = key.spelling.data();
  char16_t* folded = key.folded.data();
  std::uint32_t h = kHashStart;
  for (std::size_t k = 0; k < n; ++k) {
    const auto ch = static_cast<unsigned char>(text[k]);
    if (ch >= 0x80) return false;
    const auto lower = static_cast<char16_t>(ch | (static_cast<unsigned>(ch - 'A') < 26u ? 0x20 : 0));
    spelling[k] = ch;
    folded[k] = lower;
    h = hash_unit(h, lower);
  }
  key.hash = hash_end(h);
  return true;
}

std::uint32_t MapStore::probe(const MapKey& key, bool& found) const {
  found = false;
  const std::uint32_t mask = static_cast<std::uint32_t>(index_.size() - 1);
  std::uint32_t at = key.hash & mask;
  std::uint32_t firstGone = kGone;
  for (;;) {
    const Slot& slot = index_[at];
    if (slot.entry == kEmpty) return firstGone != kGone ? firstGone : at;
    if (slot.entry == kGone) {
      if (firstGone == kGone) firstGone = at;
    } else if (slot.hash == key.hash && folded_of(entries_[slot.entry - 1]) == key.folded) {
      found = true;
      return at;
    }
    at = (at + 1) & mask;
  }
}

Value* MapStore::find(const MapKey& key) {
  if (live_ == 0) return nullptr;
  bool found = false;
  const std::uint32_t at = probe(key, found);
  return found ? &entries_[index_[at].entry - 1].value : nullptr;
}

void MapStore::rebuild(std::size_t slots) {
  // The old index goes first: only the entries are read, and a large map
  // need not hold two indexes at once.
  std::vector<Slot>().swap(index_);
  index_.assign(slots, Slot{kEmpty, 0});
  used_ = 0;
  const std::uint32_t mask = static_cast<std::uint32_t>(slots - 1);
  for (std::size_t n = 0; n < entries_.size(); ++n) {
    if (!entries_[n].live) continue;
    const std::uint32_t hash = entries_[n].hash;
    std::uint32_t at = hash & mask;
    while (index_[at].entry != kEmpty) at = (at + 1) & mask;
    index_[at] = Slot{static_cast<std::uint32_t>(n + 1), hash};
    ++used_;
  }
}

void MapStore::reserve(std::size_t count) {
  entries_.reserve(count);
  std::size_t slots = 16;
  while (slots < count * 2 + 2) slots *= 2;
  if (slots > index_.size()) rebuild(slots);
}

void MapStore::store_key(const MapKey& key, Entry& e) {
  const bool same = key.spelling == key.folded;
  const std::size_t units = key.folded.size() + (same ? 0 : key.spelling.size());
  // Offsets are 32-bit: a buffer that would outgrow them is out of memory.
  if (keys_.size() + units > 0xFFFFFFFEu) throw std::bad_alloc();
  const std::size_t at = keys_.size();
  e.keyAt = static_cast<std::uint32_t>(at);
  e.keyUnits = static_cast<std::uint32_t>(key.folded.size());
  e.spellingUnits = same ? kSameSpelling : static_cast<std::uint32_t>(key.spelling.size());
  keys_.insert(keys_.end(), key.folded.data(), key.folded.data() + key.folded.size());
  if (!same) keys_.insert(keys_.end(), key.spelling.data(), key.spelling.data() + key.spelling.size());
}

void MapStore::compact() {
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [](const Entry& e) { return !e.live; }),
                 entries_.end());
  // The removed keys' texts go too.
  std::vector<char16_t> kept;
  std::size_t units = 0;
  for (const Entry& e : entries_) units += stored_units(e);
  kept.reserve(units);
  for (Entry& e : entries_) {
    const std::size_t n = stored_units(e);
    const std::uint32_t at = static_cast<std::uint32_t>(kept.size());
    kept.insert(kept.end(), keys_.begin() + e.keyAt, keys_.begin() + e.keyAt + n);
    e.keyAt = at;
  }
  keys_.swap(kept);
  std::size_t slots = 16;
  while (slots < live_ * 2 + 2) slots *= 2;
  rebuild(slots);
}

Value& MapStore::insert(const MapKey& key, bool& inserted) {
  inserted = false;
  bool found = false;
  std::uint32_t at = 0;
  // Where the probe stopped is where the key goes, unless the index is made afresh.
  bool placed = !index_.empty();
  if (placed) {
    at = probe(key, found);
    if (found) return entries_[index_[at].entry - 1].value;
  }
  if (nextSeq_ == 0xFFFFFFFFu) {
    // Insertion positions ran out: number the entries afresh (a running
    // ForEach may then see keys again, but never leaves the map).
    compact();
    nextSeq_ = 0;
    for (Entry& e : entries_) e.seq = nextSeq_++;
    placed = false;
  }
  // The index stays at most two thirds full (removed slots count as used)
  // and is rebuilt at least half empty.
  if ((used_ + 1) * 3 > index_.size() * 2) {
    std::size_t slots = 16;
    while (slots < (live_ + 1) * 2 + 2) slots *= 2;
    rebuild(slots);
    placed = false;
  }
  if (!placed) at = probe(key, found);
  Entry e;
  store_key(key, e);
  e.hash = key.hash;
  e.seq = nextSeq_++;
  e.wide = key.wide;
  entries_.push_back(std::move(e));
  if (index_[at].entry == kEmpty) ++used_;
  index_[at] = Slot{static_cast<std::uint32_t>(entries_.size()), key.hash};
  ++live_;
  inserted = true;
  return entries_.back().value;
}

bool MapStore::erase(const MapKey& key, Value& removed) {
  if (live_ == 0) return false;
  bool found = false;
  const std::uint32_t at = probe(key, found);
  if (!found) return false;
  Entry& e = entries_[index_[at].entry - 1];
  removed = e.value;
  e.value = Value{};
  e.live = false;
  index_[at].entry = kGone;
  --live_;
  const std::size_t dead = entries_.size() - live_;
  if (dead > 32 && dead > live_) compact();
  return true;
}

const MapStore::Entry* MapStore::at_or_after(std::uint32_t seq) const {
  auto it = std::lower_bound(entries_.begin(), entries_.end(), seq,
                             [](const Entry& e, std::uint32_t s) { return e.seq < s; });
  while (it != entries_.end() && !it->live) ++it;
  return it == entries_.end() ? nullptr : &*it;
}

}  // namespace orv
