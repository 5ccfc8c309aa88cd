#include "engine/map_store.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>

#include "platform/text_case.h"

namespace orv {

namespace {

// Whether two folded keys, each 8-bit or UTF-16, hold the same units; `foldB`
// lower-cases the ASCII letters of `b` first (a short key kept as written).
template <class A, class B>
bool same_units(const A* a, const B* b, std::size_t n, bool foldB) {
  for (std::size_t k = 0; k < n; ++k) {
    std::uint32_t u = static_cast<std::make_unsigned_t<B>>(b[k]);
    if (foldB && u - 'A' < 26u) u |= 0x20u;
    if (static_cast<std::make_unsigned_t<A>>(a[k]) != u) return false;
  }
  return true;
}

// Equal bytes, eight at a time: keys are short, a call to memcmp costs more.
bool same_bytes(const char* a, const char* b, std::size_t n) {
  for (; n >= 8; n -= 8, a += 8, b += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a, 8);
    std::memcpy(&y, b, 8);
    if (x != y) return false;
  }
  for (; n > 0; --n)
    if (*a++ != *b++) return false;
  return true;
}

bool all_ascii(std::u16string_view text) {
  for (char16_t u : text)
    if (u >= 0x80) return false;
  return true;
}

}  // namespace

std::u16string MapKey::spelling_text() const {
  return isShort ? std::u16string(text, text + size) : spelling;
}

std::u16string MapKey::folded_text() const {
  if (!isShort) return folded;
  std::u16string out(text, text + size);
  for (char16_t& u : out)
    if (u >= u'A' && u <= u'Z') u = static_cast<char16_t>(u + 32);
  return out;
}

void prepare_map_key(MapKey& key) {
  key.isShort = false;
  key.folded = key.spelling;
  bool ascii = true;
  for (char16_t& u : key.folded) {
    if (u >= u'A' && u <= u'Z') u = static_cast<char16_t>(u + 32);
    else if (u >= 0x80) ascii = false;
  }
  if (!ascii) platform::lower_utf16(key.folded);
  std::uint32_t h = map_hash::kStart;
  for (char16_t u : key.folded) h = map_hash::unit(h, u);
  key.hash = map_hash::end(h);
}

bool prepare_ascii_map_key(std::string_view text, MapKey& key) {
  if (text.size() <= MapKey::kShort) {
    ShortKeyBuilder build(key);
    if (!build.add(text.data(), text.size())) return false;
    build.finish();
    return true;
  }
  for (char ch : text)
    if (static_cast<unsigned char>(ch) >= 0x80) return false;
  key.spelling.assign(text.begin(), text.end());
  key.wide = false;
  prepare_map_key(key);
  return true;
}

[[gnu::always_inline]] inline bool MapStore::same_key(const Entry& e, const MapKey& key) const {
  if (key.isShort) {
    if (e.keyUnits != key.size) return false;
    if (e.narrow) {
      const char* stored = narrowKeys_.data() + e.keyAt;
      return key.lowerOnly ? same_bytes(stored, key.text, key.size) : same_units(stored, key.text, key.size, true);
    }
    return same_units(wideKeys_.data() + e.keyAt, key.text, key.size, !key.lowerOnly);
  }
  if (e.keyUnits != key.folded.size()) return false;
  if (e.narrow) return same_units(narrowKeys_.data() + e.keyAt, key.folded.data(), e.keyUnits, false);
  return std::u16string_view(wideKeys_.data() + e.keyAt, e.keyUnits) == key.folded;
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
    } else if (slot.hash == key.hash && same_key(entries_[slot.entry - 1], key)) {
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
  if (key.isShort) {
    const std::size_t n = key.size;
    const std::size_t at = narrowKeys_.size();
    char* out = narrowKeys_.extend(key.lowerOnly ? n : 2 * n);
    e.narrow = true;
    e.keyAt = static_cast<std::uint32_t>(at);
    e.keyUnits = static_cast<std::uint32_t>(n);
    e.spellingUnits = key.lowerOnly ? kSameSpelling : static_cast<std::uint32_t>(n);
    for (std::size_t k = 0; k < n; ++k) {
      const auto ch = static_cast<unsigned char>(key.text[k]);
      out[k] = static_cast<char>(ch | (static_cast<unsigned>(ch - 'A') < 26u ? 0x20 : 0));
    }
    if (!key.lowerOnly) std::memcpy(out + n, key.text, n);
    return;
  }
  const bool same = key.spelling == key.folded;
  e.narrow = all_ascii(key.spelling);   // (then its folded form is ASCII too)
  e.keyUnits = static_cast<std::uint32_t>(key.folded.size());
  e.spellingUnits = same ? kSameSpelling : static_cast<std::uint32_t>(key.spelling.size());
  auto put = [&](auto& texts) {
    e.keyAt = static_cast<std::uint32_t>(texts.size());
    auto* out = texts.extend(stored_units(e));
    out = std::copy(key.folded.begin(), key.folded.end(), out);
    if (!same) std::copy(key.spelling.begin(), key.spelling.end(), out);
  };
  if (e.narrow) put(narrowKeys_);
  else put(wideKeys_);
}

void MapStore::key_of(const Entry& e, MapKey& key) const {
  key.hash = e.hash;
  key.wide = e.wide;
  if (e.narrow && e.keyUnits <= MapKey::kShort) {
    const std::string_view spelling = narrow_spelling_of(e);
    key.isShort = true;
    key.lowerOnly = e.spellingUnits == kSameSpelling;
    key.size = e.keyUnits;
    std::memcpy(key.text, spelling.data(), spelling.size());
    return;
  }
  key.isShort = false;
  key.spelling = spelling_of(e);
  key.folded = folded_of(e);
}

std::u16string MapStore::folded_of(const Entry& e) const {
  if (!e.narrow) return {wideKeys_.data() + e.keyAt, e.keyUnits};
  const char* p = narrowKeys_.data() + e.keyAt;
  return {p, p + e.keyUnits};
}

std::u16string MapStore::spelling_of(const Entry& e) const {
  if (e.narrow) {
    const std::string_view s = narrow_spelling_of(e);
    return {s.begin(), s.end()};
  }
  if (e.spellingUnits == kSameSpelling) return {wideKeys_.data() + e.keyAt, e.keyUnits};
  return {wideKeys_.data() + e.keyAt + e.keyUnits, e.spellingUnits};
}

void MapStore::compact() {
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [](const Entry& e) { return !e.live; }),
                 entries_.end());
  // The removed keys' texts go too.
  KeyTexts<char> narrow;
  KeyTexts<char16_t> wide;
  std::size_t narrowUnits = 0, wideUnits = 0;
  for (const Entry& e : entries_) (e.narrow ? narrowUnits : wideUnits) += stored_units(e);
  narrow.reserve(narrowUnits);
  wide.reserve(wideUnits);
  auto move_texts = [](Entry& e, const auto& from, auto& to) {
    const std::size_t n = stored_units(e);
    const std::uint32_t at = static_cast<std::uint32_t>(to.size());
    if (n) std::memcpy(to.extend(n), from.data() + e.keyAt, n * sizeof(*from.data()));
    e.keyAt = at;
  };
  for (Entry& e : entries_) {
    if (e.narrow) move_texts(e, narrowKeys_, narrow);
    else move_texts(e, wideKeys_, wide);
  }
  narrowKeys_.swap(narrow);
  wideKeys_.swap(wide);
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
