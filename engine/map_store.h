// The storage of one map: text keys compared without regard to case, kept in
// the order they were first inserted, found through a hash index. Entries
// hold value records; their payloads belong to whoever releases the map
// (the array table), so the store itself never touches the string heap.
// Key texts live in two shared buffers beside the entries, named by offset:
// a map of a million short keys then costs little more than its values.
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/value.h"

namespace orv {

// The hash of a folded key: FNV-1a over its units, then the low bits the
// index uses spread. The same units hash the same whether 8-bit or UTF-16.
namespace map_hash {
inline constexpr std::uint32_t kStart = 2166136261u;
inline std::uint32_t unit(std::uint32_t h, std::uint32_t u) { return (h ^ u) * 16777619u; }
inline std::uint32_t end(std::uint32_t h) {
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  return h;
}
}  // namespace map_hash

// A key as a map looks it up: the text as written, its folded (lower-case)
// form, which alone decides equality, and the hash of the folded form.
// Nearly every key is short ASCII text: that is kept here in 8-bit form and
// folded when compared, so making it allocates nothing; other keys keep
// both forms in UTF-16 strings.
struct MapKey {
  static constexpr std::size_t kShort = 256;
  std::uint32_t hash = 0;
  bool wide = false;        // written as a UTF-16 text (else 8-bit)
  bool isShort = false;     // ASCII of at most kShort bytes in `text`; the strings unused
  bool lowerOnly = false;   // (short) no upper-case letter: the text is its folded form
  std::uint32_t size = 0;   // (short) bytes in `text`
  char text[kShort];
  std::u16string spelling;
  std::u16string folded;

  // Both forms in UTF-16 whatever the key's own form (messages, tests).
  std::u16string spelling_text() const;
  std::u16string folded_text() const;
};

// Fills folded and hash from spelling.
void prepare_map_key(MapKey& key);
// Fills the whole key from an 8-bit text in one pass, when it is ASCII
// (false otherwise: the key is then to be made the general way).
bool prepare_ascii_map_key(std::string_view text, MapKey& key);

// Makes a short key from 8-bit pieces copied in one after another, each
// byte checked, folded and hashed as it is copied: a joined key needs no
// second pass. add() is false once the text is not ASCII or outgrows a
// short key; the key is then to be made the general way.
class ShortKeyBuilder {
 public:
  explicit ShortKeyBuilder(MapKey& key) : key_(key) { key.size = 0; }
  bool add(const char* p, std::size_t n) {
    if (n > MapKey::kShort - key_.size) return false;
    char* out = key_.text + key_.size;
    std::uint32_t h = hash_;
    unsigned seen = 0, upper = 0;
    for (std::size_t k = 0; k < n; ++k) {
      const auto ch = static_cast<unsigned char>(p[k]);
      const unsigned up = static_cast<unsigned>(ch - 'A') < 26u ? 0x20u : 0u;
      seen |= ch;
      upper |= up;
      out[k] = static_cast<char>(ch);
      h = map_hash::unit(h, ch | up);
    }
    if (seen >= 0x80) return false;
    hash_ = h;
    upper_ |= upper;
    key_.size += static_cast<std::uint32_t>(n);
    return true;
  }
  // Digits and signs: ASCII without letters, nothing to fold.
  bool add_number_text(const char* p, std::size_t n) {
    if (n > MapKey::kShort - key_.size) return false;
    char* out = key_.text + key_.size;
    std::uint32_t h = hash_;   // (in a register: the byte stores may alias the members)
    for (std::size_t k = 0; k < n; ++k) {
      out[k] = p[k];
      h = map_hash::unit(h, static_cast<unsigned char>(p[k]));
    }
    hash_ = h;
    key_.size += static_cast<std::uint32_t>(n);
    return true;
  }
  void finish() {
    key_.hash = map_hash::end(hash_);
    key_.wide = false;
    key_.isShort = true;
    key_.lowerOnly = upper_ == 0;
  }

 private:
  MapKey& key_;
  std::uint32_t hash_ = map_hash::kStart;
  unsigned upper_ = 0;
};

// The key texts of one map, appended one key after another and named by
// offset. Room is added without being zeroed first: every unit is written
// as its key is stored.
template <class Unit>
class KeyTexts {
 public:
  std::size_t size() const { return size_; }
  const Unit* data() const { return units_.get(); }
  // Room for `n` more units at the end, to be written at once. Offsets are
  // 32-bit: a buffer that would outgrow them is out of memory.
  Unit* extend(std::size_t n) {
    if (n > kMostUnits - size_) throw std::bad_alloc();
    if (n > capacity_ - size_) grow(size_ + n);
    Unit* at = units_.get() + size_;
    size_ += n;
    return at;
  }
  void reserve(std::size_t n) {
    if (n > capacity_) grow(n);
  }
  void swap(KeyTexts& other) noexcept {
    units_.swap(other.units_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

 private:
  static constexpr std::size_t kMostUnits = 0xFFFFFFFEu;
  void grow(std::size_t need) {
    std::size_t capacity = capacity_ < 64 ? 64 : capacity_;
    while (capacity < need) capacity = capacity > kMostUnits / 2 ? kMostUnits : capacity * 2;
    auto units = std::make_unique_for_overwrite<Unit[]>(capacity);
    if (size_) std::memcpy(units.get(), units_.get(), size_ * sizeof(Unit));
    units_ = std::move(units);
    capacity_ = capacity;
  }
  std::unique_ptr<Unit[]> units_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

class MapStore {
 public:
  struct Entry {
    Value value{};
    std::uint32_t hash = 0;
    std::uint32_t seq = 0;       // insertion order, rising; positions of ForEach
    std::uint32_t keyAt = 0;     // the folded key's first unit in its key buffer
    std::uint32_t keyUnits = 0;
    // Units of the spelling, which follows the folded key in the buffer;
    // kSameSpelling when the key was written in its folded form.
    std::uint32_t spellingUnits = kSameSpelling;
    bool wide = false;
    bool live = true;
    bool narrow = false;         // ASCII: its texts are in the 8-bit buffer
  };
  static constexpr std::uint32_t kSameSpelling = 0xFFFFFFFFu;

  // The value of a key, or nullptr.
  Value* find(const MapKey& key);
  // The value of a key, inserted empty (flags 0) when missing. The reference
  // is good until the next insertion or removal.
  Value& insert(const MapKey& key, bool& inserted);
  // Removes a key; its value moves to `removed` for the caller to release.
  bool erase(const MapKey& key, Value& removed);

  std::size_t size() const { return live_; }
  // The first live entry at or after insertion position `seq`, or nullptr;
  // stable while the body of a loop inserts and removes keys.
  const Entry* at_or_after(std::uint32_t seq) const;
  // Live entries in insertion order.
  template <class Fn>
  void for_each(Fn&& fn) const {
    for (const Entry& e : entries_)
      if (e.live) fn(e);
  }
  template <class Fn>
  void for_each_value(Fn&& fn) {
    for (Entry& e : entries_)
      if (e.live) fn(e.value);
  }
  // Entries and index hold room for `count` keys (a copy of another map).
  void reserve(std::size_t count);
  // The key of an entry as a lookup would make it (to fill another map).
  void key_of(const Entry& e, MapKey& key) const;
  // The key folded to lower case, and as written, in UTF-16.
  std::u16string folded_of(const Entry& e) const;
  std::u16string spelling_of(const Entry& e) const;
  // The spelling of a narrow entry, which is ASCII.
  std::string_view narrow_spelling_of(const Entry& e) const {
    const std::uint32_t at = e.spellingUnits == kSameSpelling ? e.keyAt : e.keyAt + e.keyUnits;
    const std::uint32_t units = e.spellingUnits == kSameSpelling ? e.keyUnits : e.spellingUnits;
    return {narrowKeys_.data() + at, units};
  }

 private:
  static constexpr std::uint32_t kEmpty = 0, kGone = 0xFFFFFFFFu;
  std::uint32_t probe(const MapKey& key, bool& found) const;
  bool same_key(const Entry& e, const MapKey& key) const;
  void rebuild(std::size_t slots);
  void compact();
  // Units the entry's texts take in its key buffer.
  static std::size_t stored_units(const Entry& e) {
    return e.keyUnits + (e.spellingUnits == kSameSpelling ? 0 : e.spellingUnits);
  }

  // Appends the key's texts to a key buffer and points `e` at them.
  void store_key(const MapKey& key, Entry& e);

  std::vector<Entry> entries_;
  // The key texts of live and removed entries: ASCII keys one byte a unit
  // (nearly all, and half the room), others in UTF-16.
  KeyTexts<char> narrowKeys_;
  KeyTexts<char16_t> wideKeys_;
  // An index slot keeps its entry's hash, so a probe passes other keys
  // without reading their entries.
  struct Slot {
    std::uint32_t entry;   // entry number + 1, kEmpty or kGone
    std::uint32_t hash;
  };
  std::vector<Slot> index_;
  std::size_t live_ = 0;
  std::size_t used_ = 0;               // index slots not kEmpty
  std::uint32_t nextSeq_ = 0;
};

}  // namespace orv
